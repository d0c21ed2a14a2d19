#include "Framework/SlateUser.h"
#include "MockConnectionPanel.h"

#include <gtest/gtest.h>

#include <string>

namespace
{
// clang-format off
/** A widget with extra Construct arguments, as SNew(SWidget, A, B) passes them. */
class SLabelledCounter : public SCompoundWidget
{
public:
	SLATE_BEGIN_ARGS(SLabelledCounter) {}
	SLATE_END_ARGS()

	void Construct(const FArguments&, int32 InStart, FString& OutLog)
	{
		Start = InStart;
		OutLog += TEXT("constructed");
	}

	int32 Start = 0;
};
// clang-format on

/** A plain object, not a widget: a method binding to it is raw. */
struct FClickCounter
{
	FReply HandleClick(int32 Increment)
	{
		Count += Increment;
		return FReply::Handled();
	}
	FText GetLabel() const { return FText::FromString(Label); }

	int32 Count = 0;
	FString Label = TEXT("first");
};

int32 GStaticClicks = 0;

FReply HandleStaticClick(int32 Increment)
{
	GStaticClicks += Increment;
	return FReply::Handled();
}

class FReplyOwner : public TSharedFromThis<FReplyOwner>
{
public:
	FReply HandleClick() const
	{
		++Count;
		return FReply::Handled();
	}
	mutable int32 Count = 0;
};
} // namespace

TEST(DeclarativeSyntax, SAssignNewFillsWeakAndSharedReferencesWithTheTreeWidgets)
{
	const TSharedRef<SMockConnectionPanel> Panel = SNew(SMockConnectionPanel);

	const TSharedPtr<SCheckBox> Verbose = FSlateUser::FindCheckBoxByLabel(Panel, TEXT("Verbose"));
	const TSharedPtr<SCheckBox> AutoStart = FSlateUser::FindCheckBoxByLabel(Panel, TEXT("Auto Start"));
	const TSharedPtr<SEditableTextBox> Address = FSlateUser::FindEditableTextBoxByLabel(Panel, TEXT("Address"));
	ASSERT_TRUE(Verbose.IsValid() && AutoStart.IsValid() && Address.IsValid());
	EXPECT_EQ(Panel->VerboseCheckBox.Pin().Get(), Verbose.Get());
	EXPECT_EQ(Panel->AutoStartCheckBox.Get(), AutoStart.Get());
	EXPECT_EQ(Panel->AddressTextBox.Pin().Get(), Address.Get());
	// Construct ran after the assignment: the state it set is on the widget the reference holds.
	EXPECT_TRUE(Verbose->IsChecked());
}

TEST(DeclarativeSyntax, SNewRecordsTheDeclaredTypeAndWhereItWasDeclared)
{
	const TSharedRef<SWidget> Box = SNew(SBox);
	const TSharedRef<SWidget> Panel = SNew(SMockConnectionPanel);

	EXPECT_EQ(Box->GetTypeAsString().ToUtf8(), "SBox");
	EXPECT_EQ(Panel->GetTypeAsString().ToUtf8(), "SMockConnectionPanel");
	EXPECT_NE(Box->GetReadableLocation().ToUtf8().find("DeclarativeSyntax.cpp("), std::string::npos);
}

TEST(DeclarativeSyntax, ExtraSNewArgumentsReachConstruct)
{
	FString Log;
	const TSharedRef<SLabelledCounter> Counter = SNew(SLabelledCounter, 7, Log);

	EXPECT_EQ(Counter->Start, 7);
	EXPECT_EQ(Log.ToUtf8(), "constructed");
}

TEST(DeclarativeSyntax, EmptySlotHoldsTheNullWidget)
{
	const TSharedRef<SBox> Box = SNew(SBox);

	ASSERT_EQ(Box->GetChildren()->Num(), 1);
	EXPECT_TRUE(Box->GetChildren()->GetChildAt(0) == SNullWidget::NullWidget);
	EXPECT_EQ(FSlateUser::GetAllWidgets(Box).Num(), 1);
}

TEST(DeclarativeSyntax, EveryEventFormBindsWithItsPayload)
{
	FClickCounter Counter;
	int32 LambdaClicks = 0;
	const TSharedRef<FReplyOwner> Owner = MakeShared<FReplyOwner>();
	GStaticClicks = 0;

	const TSharedRef<SButton> Raw = SNew(SButton).OnClicked(&Counter, &FClickCounter::HandleClick, 5);
	const TSharedRef<SButton> RawExplicit = SNew(SButton).OnClicked_Raw(&Counter, &FClickCounter::HandleClick, 10);
	const TSharedRef<SButton> Delegate = SNew(SButton).OnClicked(FOnClicked::CreateRaw(&Counter, &FClickCounter::HandleClick, 100));
	const TSharedRef<SButton> Shared = SNew(SButton).OnClicked(Owner, &FReplyOwner::HandleClick);
	// clang-format off
	const TSharedRef<SButton> Lambda = SNew(SButton).OnClicked_Lambda([&LambdaClicks]()
		{
			++LambdaClicks;
			return FReply::Handled();
		});
	// clang-format on
	const TSharedRef<SButton> Static = SNew(SButton).OnClicked_Static(&HandleStaticClick, 3);

	for (const TSharedRef<SButton>& Button : {Raw, RawExplicit, Delegate, Shared, Lambda, Static})
	{
		EXPECT_TRUE(FSlateUser::Click(Button).IsEventHandled());
	}
	EXPECT_EQ(Counter.Count, 115);
	EXPECT_EQ(Owner->Count, 1);
	EXPECT_EQ(LambdaClicks, 1);
	EXPECT_EQ(GStaticClicks, 3);
}

TEST(DeclarativeSyntax, AttributeBoundToAGetterIsReadOnEveryQuery)
{
	FClickCounter Source;
	int32 Reads = 0;
	const TSharedRef<STextBlock> Bound = SNew(STextBlock).Text(&Source, &FClickCounter::GetLabel);
	const TSharedRef<STextBlock> Lambda = SNew(STextBlock).Text_Lambda([&Reads]() { return FText::FromString(FString::FromInt(++Reads)); });

	EXPECT_EQ(Bound->GetText().ToString().ToUtf8(), "first");
	Source.Label = TEXT("second");
	EXPECT_EQ(Bound->GetText().ToString().ToUtf8(), "second");
	EXPECT_EQ(Lambda->GetText().ToString().ToUtf8(), "1");
	EXPECT_EQ(Lambda->GetText().ToString().ToUtf8(), "2");
}

TEST(DeclarativeSyntax, ButtonTextArgumentBecomesItsContent)
{
	const TSharedRef<SButton> WithText = SNew(SButton).Text(FText::FromString(TEXT("Apply")));
	// clang-format off
	const TSharedRef<SButton> WithContent = SNew(SButton).Text(FText::FromString(TEXT("Ignored")))
	[
		SNew(STextBlock).Text(FText::FromString(TEXT("Shown")))
	];
	// clang-format on

	EXPECT_TRUE(FSlateUser::FindTextBlock(WithText, TEXT("Apply")).IsValid());
	EXPECT_TRUE(FSlateUser::FindTextBlock(WithContent, TEXT("Shown")).IsValid());
	EXPECT_FALSE(FSlateUser::FindTextBlock(WithContent, TEXT("Ignored")).IsValid());
}
