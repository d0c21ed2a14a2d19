#include "Framework/SlateUser.h"
#include "MockConnectionPanel.h"

#include <gtest/gtest.h>

TEST(ButtonClick, ClickReturnsTheHandlerReply)
{
	const TSharedRef<SButton> Consuming = SNew(SButton).OnClicked_Lambda([]() { return FReply::Handled(); });
	const TSharedRef<SButton> Passing = SNew(SButton).OnClicked_Lambda([]() { return FReply::Unhandled(); });

	EXPECT_TRUE(FSlateUser::Click(Consuming).IsEventHandled());
	EXPECT_FALSE(FSlateUser::Click(Passing).IsEventHandled());
}

TEST(ButtonClick, ButtonWithoutHandlerLeavesTheClickUnhandled)
{
	const TSharedRef<SButton> Button = SNew(SButton);

	EXPECT_FALSE(FSlateUser::Click(Button).IsEventHandled());
}

TEST(ButtonClick, OkReportsWhatTheUserEnteredAndTicked)
{
	TArray<FMockConnectionChoice> Choices;
	TArray<int32> Tags;
	// clang-format off
	const TSharedRef<SMockConnectionPanel> Panel = SNew(SMockConnectionPanel)
		.OnOk(FOnMockConnectionChoice::CreateLambda([&Choices](FMockConnectionChoice InChoice) { Choices.Add(InChoice); }));
	// clang-format on
	const TSharedPtr<SButton> Ok = FSlateUser::FindButton(Panel, TEXT("Ok"));
	const TSharedPtr<SEditableTextBox> Address = FSlateUser::FindEditableTextBoxByLabel(Panel, TEXT("Address"));
	const TSharedPtr<SCheckBox> Verbose = FSlateUser::FindCheckBoxByLabel(Panel, TEXT("Verbose"));
	const TSharedPtr<SCheckBox> AutoStart = FSlateUser::FindCheckBoxByLabel(Panel, TEXT("Auto Start"));
	ASSERT_TRUE(Ok.IsValid() && Address.IsValid() && Verbose.IsValid() && AutoStart.IsValid());

	FSlateUser::TypeText(Address.ToSharedRef(), TEXT("10.1.2.3"));
	FSlateUser::SetCheckBoxTicked(Verbose.ToSharedRef(), false);
	FSlateUser::SetCheckBoxTicked(AutoStart.ToSharedRef(), true);
	const FReply Reply = FSlateUser::Click(Ok.ToSharedRef());

	EXPECT_TRUE(Reply.IsEventHandled());
	ASSERT_EQ(Choices.Num(), 1);
	EXPECT_EQ(Choices[0].Address.ToUtf8(), "10.1.2.3");
	EXPECT_FALSE(Choices[0].bVerbose);
	EXPECT_TRUE(Choices[0].bAutoStart);
	// The first click on a box took the focus from the entry, which committed what was typed.
	EXPECT_EQ(Panel->NumCommits, 1);
	EXPECT_EQ(Panel->LastCommitType, ETextCommit::OnUserMovedFocus);
}

namespace
{
/** An entry and a button whose handlers write down, in order, what happened. */
struct FEntryAndButton
{
	explicit FEntryAndButton(bool bButtonIsFocusable = true)
		: Entry(SNew(SEditableTextBox)
					.Text(FText::FromString(TEXT("held")))
					.OnTextCommitted_Lambda([this](const FText& InText, ETextCommit::Type InCommitType) {
						Events.Add(
							FString(InCommitType == ETextCommit::OnUserMovedFocus ? TEXT("moved:") : TEXT("commit:")) + InText.ToString());
					}))
		, Button(SNew(SButton).IsFocusable(bButtonIsFocusable).OnClicked_Lambda([this]() {
			Events.Add(FString(TEXT("click:")) + Entry->GetText().ToString());
			return FReply::Handled();
		}))
	{
	}

	TArray<FString> Events;
	TSharedRef<SEditableTextBox> Entry;
	TSharedRef<SButton> Button;
};

std::string Joined(const TArray<FString>& Events)
{
	std::string Out;
	for (const FString& Event : Events)
	{
		Out += (Out.empty() ? "" : " ") + Event.ToUtf8();
	}
	return Out;
}
} // namespace

TEST(ButtonClick, PressingAButtonTakesTheFocusAndTheEntryCommitsBeforeTheClick)
{
	FEntryAndButton Widgets;
	FSlateUser::TypeText(Widgets.Entry, TEXT("typed"));
	EXPECT_EQ(FSlateUser::GetKeyboardFocusedWidget().Get(), &Widgets.Entry.Get());

	FSlateUser::Click(Widgets.Button);

	EXPECT_EQ(Joined(Widgets.Events), "moved:typed click:typed");
	EXPECT_EQ(FSlateUser::GetKeyboardFocusedWidget().Get(), &Widgets.Button.Get());
	// The focus is on the button already: a second click commits nothing.
	FSlateUser::Click(Widgets.Button);
	EXPECT_EQ(Joined(Widgets.Events), "moved:typed click:typed click:typed");
}

TEST(ButtonClick, AButtonThatTakesNoFocusLeavesTheEditOpen)
{
	FEntryAndButton Widgets(false);
	FSlateUser::TypeText(Widgets.Entry, TEXT("typed"));

	FSlateUser::Click(Widgets.Button);

	EXPECT_EQ(Joined(Widgets.Events), "click:typed");
	EXPECT_TRUE(Widgets.Entry->HasUncommittedEdit());
	EXPECT_EQ(FSlateUser::GetKeyboardFocusedWidget().Get(), &Widgets.Entry.Get());
}

TEST(ButtonClick, AnEntryEndedWithEnterIsNotCommittedAgainByAClick)
{
	FEntryAndButton Widgets;
	FSlateUser::EnterText(Widgets.Entry, TEXT("typed"));
	EXPECT_FALSE(FSlateUser::GetKeyboardFocusedWidget().IsValid());

	FSlateUser::Click(Widgets.Button);

	EXPECT_EQ(Joined(Widgets.Events), "commit:typed click:typed");
}

TEST(ButtonClick, ClickingABoxTakesTheFocusToo)
{
	FEntryAndButton Widgets;
	const TSharedRef<SCheckBox> Box = SNew(SCheckBox);
	FSlateUser::TypeText(Widgets.Entry, TEXT("typed"));

	FSlateUser::ClickCheckBox(Box);

	EXPECT_EQ(Joined(Widgets.Events), "moved:typed");
	EXPECT_TRUE(Box->IsChecked());
	EXPECT_EQ(FSlateUser::GetKeyboardFocusedWidget().Get(), &Box.Get());
}

TEST(ButtonClick, ASimulatedClickFromCodeLeavesTheFocusAlone)
{
	FEntryAndButton Widgets;
	FSlateUser::TypeText(Widgets.Entry, TEXT("typed"));

	Widgets.Button->SimulateClick();

	EXPECT_EQ(Joined(Widgets.Events), "click:typed");
	EXPECT_TRUE(Widgets.Entry->HasUncommittedEdit());
}

TEST(ButtonClick, OkEventCarriesTheBindingPayload)
{
	struct FReceiver
	{
		void HandleOk(FMockConnectionChoice InChoice, FString InTag) { Received.Add(InTag + TEXT(":") + InChoice.Address); }
		TArray<FString> Received;
	} Receiver;
	// clang-format off
	const TSharedRef<SMockConnectionPanel> Panel = SNew(SMockConnectionPanel)
		.InitialAddress(TEXT("10.0.0.7"))
		.OnOk(FOnMockConnectionChoice::CreateRaw(&Receiver, &FReceiver::HandleOk, FString(TEXT("first"))));
	// clang-format on

	FSlateUser::Click(FSlateUser::FindButton(Panel, TEXT("Ok")).ToSharedRef());
	FSlateUser::Click(FSlateUser::FindButton(Panel, TEXT("Ok")).ToSharedRef());

	ASSERT_EQ(Receiver.Received.Num(), 2);
	EXPECT_EQ(Receiver.Received[0].ToUtf8(), "first:10.0.0.7");
	EXPECT_EQ(Receiver.Received[1].ToUtf8(), "first:10.0.0.7");
}
