#include "Framework/SlateUser.h"
#include "MockConnectionPanel.h"

#include <gtest/gtest.h>

TEST(WidgetFinding, FindsTheEntryAndCheckBoxInTheRowOfTheirLabels)
{
	const TSharedRef<SMockConnectionPanel> Panel = SNew(SMockConnectionPanel);

	EXPECT_EQ(FSlateUser::FindEditableTextBoxByLabel(Panel, TEXT("Address")).Get(), Panel->AddressTextBox.Pin().Get());
	EXPECT_EQ(FSlateUser::FindCheckBoxByLabel(Panel, TEXT("Verbose")).Get(), Panel->VerboseCheckBox.Pin().Get());
	EXPECT_EQ(FSlateUser::FindCheckBoxByLabel(Panel, TEXT("Auto Start")).Get(), Panel->AutoStartCheckBox.Get());
}

TEST(WidgetFinding, LabelNeverReachesIntoAnotherRow)
{
	const TSharedRef<SMockConnectionPanel> Panel = SNew(SMockConnectionPanel);

	EXPECT_FALSE(FSlateUser::FindEditableTextBoxByLabel(Panel, TEXT("Verbose")).IsValid());
	EXPECT_FALSE(FSlateUser::FindCheckBoxByLabel(Panel, TEXT("Address")).IsValid());
}

TEST(WidgetFinding, UnknownOrDifferentlyCasedTextFindsNothing)
{
	const TSharedRef<SMockConnectionPanel> Panel = SNew(SMockConnectionPanel);

	EXPECT_FALSE(FSlateUser::FindTextBlock(Panel, TEXT("Port")).IsValid());
	EXPECT_FALSE(FSlateUser::FindCheckBoxByLabel(Panel, TEXT("verbose")).IsValid());
	EXPECT_FALSE(FSlateUser::FindButton(Panel, TEXT("OK")).IsValid());
	EXPECT_FALSE(FSlateUser::FindButton(Panel, TEXT("Cancel")).IsValid());
}

TEST(WidgetFinding, FindsAButtonByItsContentText)
{
	const TSharedRef<SMockConnectionPanel> Panel = SNew(SMockConnectionPanel);

	const TSharedPtr<SButton> Ok = FSlateUser::FindButton(Panel, TEXT("Ok"));
	ASSERT_TRUE(Ok.IsValid());
	EXPECT_EQ(FSlateUser::FindSlotOf<SVerticalBox::FSlot>(Panel, *Ok)->GetHorizontalAlignment(), HAlign_Right);
}

TEST(WidgetFinding, CheckBoxWhoseContentIsTheLabelIsFound)
{
	TSharedPtr<SCheckBox> Mute;
	// clang-format off
	const TSharedRef<SVerticalBox> List = SNew(SVerticalBox)
		+ SVerticalBox::Slot()[SNew(SCheckBox)[SNew(STextBlock).Text(FText::FromString(TEXT("Loop")))]]
		+ SVerticalBox::Slot()[SAssignNew(Mute, SCheckBox)[SNew(STextBlock).Text(FText::FromString(TEXT("Mute")))]];
	// clang-format on

	EXPECT_EQ(FSlateUser::FindCheckBoxByLabel(List, TEXT("Mute")).Get(), Mute.Get());
}

TEST(WidgetFinding, PathAndParentFollowTheTree)
{
	const TSharedRef<SMockConnectionPanel> Panel = SNew(SMockConnectionPanel);
	const TSharedPtr<SEditableTextBox> Entry = Panel->AddressTextBox.Pin();
	ASSERT_TRUE(Entry.IsValid());

	const TArray<TSharedRef<SWidget>> Path = FSlateUser::FindPathTo(Panel, *Entry);
	ASSERT_EQ(Path.Num(), 5);
	EXPECT_EQ(&Path[0].Get(), static_cast<SWidget*>(&Panel.Get()));
	EXPECT_EQ(Path[3]->GetTypeAsString().ToUtf8(), "SHorizontalBox");
	EXPECT_EQ(&Path[4].Get(), static_cast<SWidget*>(Entry.Get()));
	EXPECT_EQ(FSlateUser::FindParent(Panel, *Entry).Get(), &Path[3].Get());
	EXPECT_FALSE(FSlateUser::FindParent(Panel, *Panel).IsValid());
	const TSharedRef<STextBlock> Outsider = SNew(STextBlock);
	EXPECT_EQ(FSlateUser::FindPathTo(Panel, *Outsider).Num(), 0);
}
