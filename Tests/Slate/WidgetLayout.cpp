#include "Framework/SlateUser.h"
#include "MockConnectionPanel.h"

#include <gtest/gtest.h>

TEST(WidgetLayout, PanelLayoutNumbersAreQueryable)
{
	const TSharedRef<SMockConnectionPanel> Panel = SNew(SMockConnectionPanel);

	const TSharedPtr<SBox> Box = FSlateUser::FindWidget<SBox>(Panel);
	ASSERT_TRUE(Box.IsValid());
	ASSERT_TRUE(Box->GetWidthOverride().IsSet());
	EXPECT_FLOAT_EQ(Box->GetWidthOverride().Get(), 300.0f);
	EXPECT_FALSE(Box->GetHeightOverride().IsSet());

	const TSharedPtr<SVerticalBox> List = FSlateUser::FindWidget<SVerticalBox>(Panel);
	ASSERT_TRUE(List.IsValid());
	ASSERT_EQ(List->NumSlots(), 4);
	for (int32 Index = 0; Index < List->NumSlots(); ++Index)
	{
		EXPECT_EQ(List->GetSlot(Index).GetSizeRule(), FSizeParam::SizeRule_Auto) << "row " << Index;
		EXPECT_EQ(List->GetSlot(Index).GetPadding(), FMargin()) << "row " << Index;
	}
	EXPECT_EQ(List->GetSlot(0).GetHorizontalAlignment(), HAlign_Fill);
	EXPECT_EQ(List->GetSlot(3).GetHorizontalAlignment(), HAlign_Right);

	const TSharedPtr<STextBlock> Label = FSlateUser::FindTextBlock(Panel, TEXT("Address"));
	const TSharedPtr<SEditableTextBox> Entry = FSlateUser::FindEditableTextBoxByLabel(Panel, TEXT("Address"));
	ASSERT_TRUE(Label.IsValid() && Entry.IsValid());
	const SHorizontalBox::FSlot* LabelSlot = FSlateUser::FindSlotOf<SHorizontalBox::FSlot>(Panel, *Label);
	const SHorizontalBox::FSlot* EntrySlot = FSlateUser::FindSlotOf<SHorizontalBox::FSlot>(Panel, *Entry);
	ASSERT_TRUE(LabelSlot != nullptr && EntrySlot != nullptr);
	EXPECT_EQ(LabelSlot->GetSizeRule(), FSizeParam::SizeRule_Stretch);
	EXPECT_FLOAT_EQ(LabelSlot->GetSizeValue(), 0.5f);
	EXPECT_EQ(LabelSlot->GetHorizontalAlignment(), HAlign_Left);
	EXPECT_FLOAT_EQ(EntrySlot->GetSizeValue(), 0.5f);
	EXPECT_EQ(EntrySlot->GetHorizontalAlignment(), HAlign_Fill);
}

TEST(WidgetLayout, SlotOfAnotherKindIsNotReported)
{
	const TSharedRef<SMockConnectionPanel> Panel = SNew(SMockConnectionPanel);
	const TSharedPtr<STextBlock> Label = FSlateUser::FindTextBlock(Panel, TEXT("Address"));
	ASSERT_TRUE(Label.IsValid());

	EXPECT_EQ(FSlateUser::FindSlotOf<SVerticalBox::FSlot>(Panel, *Label), nullptr);
	EXPECT_EQ(FSlateUser::FindSlotOf<FSlotBase>(Panel, *Panel), nullptr);
	const TSharedRef<STextBlock> Outsider = SNew(STextBlock);
	EXPECT_EQ(FSlateUser::FindSlotOf<FSlotBase>(Panel, *Outsider), nullptr);
}

TEST(WidgetLayout, NewSlotsStretchWithWeightOneAndFill)
{
	const TSharedRef<SHorizontalBox> Row = SNew(SHorizontalBox) + SHorizontalBox::Slot()[SNew(STextBlock)];
	SHorizontalBox::FSlot& Added = Row->AddSlot();

	for (const SHorizontalBox::FSlot* Slot : {&Row->GetSlot(0), &Added})
	{
		EXPECT_EQ(Slot->GetSizeRule(), FSizeParam::SizeRule_Stretch);
		EXPECT_FLOAT_EQ(Slot->GetSizeValue(), 1.0f);
		EXPECT_EQ(Slot->GetHorizontalAlignment(), HAlign_Fill);
		EXPECT_EQ(Slot->GetVerticalAlignment(), VAlign_Fill);
	}
	EXPECT_EQ(Row->NumSlots(), 2);
	EXPECT_EQ(Row->GetOrientation(), Orient_Horizontal);
}

TEST(WidgetLayout, PaddingFormsSetTheFourSides)
{
	// clang-format off
	const TSharedRef<SVerticalBox> List = SNew(SVerticalBox)
		+ SVerticalBox::Slot().Padding(2.0f)
		+ SVerticalBox::Slot().Padding(1.0f, 2.0f)
		+ SVerticalBox::Slot().Padding(1.0f, 2.0f, 3.0f, 4.0f).VAlign(VAlign_Center).FillHeight(2.0f);
	// clang-format on

	EXPECT_EQ(List->GetSlot(0).GetPadding(), FMargin(2.0f, 2.0f, 2.0f, 2.0f));
	EXPECT_EQ(List->GetSlot(1).GetPadding(), FMargin(1.0f, 2.0f, 1.0f, 2.0f));
	EXPECT_EQ(List->GetSlot(2).GetPadding(), FMargin(1.0f, 2.0f, 3.0f, 4.0f));
	EXPECT_EQ(List->GetSlot(2).GetVerticalAlignment(), VAlign_Center);
	EXPECT_FLOAT_EQ(List->GetSlot(2).GetSizeValue(), 2.0f);
}
