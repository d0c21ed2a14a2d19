#include "Framework/SlateUser.h"
#include "Widgets/Input/SCheckBox.h"

#include <gtest/gtest.h>

namespace
{
struct FStateLog
{
	void HandleChanged(ECheckBoxState InState) { States.Add(InState); }
	TArray<ECheckBoxState> States;
};
} // namespace

TEST(CheckBoxState, BoxMadeWithoutAStateIsUnchecked)
{
	const TSharedRef<SCheckBox> Box = SNew(SCheckBox);

	EXPECT_EQ(Box->GetCheckedState(), ECheckBoxState::Unchecked);
	EXPECT_FALSE(Box->IsChecked());
}

TEST(CheckBoxState, OnlyCheckedCountsAsChecked)
{
	const TSharedRef<SCheckBox> Checked = SNew(SCheckBox).IsChecked(ECheckBoxState::Checked);
	const TSharedRef<SCheckBox> Undetermined = SNew(SCheckBox).IsChecked(ECheckBoxState::Undetermined);

	EXPECT_TRUE(Checked->IsChecked());
	EXPECT_FALSE(Undetermined->IsChecked());
	EXPECT_EQ(Undetermined->GetCheckedState(), ECheckBoxState::Undetermined);
}

TEST(CheckBoxState, ClicksAlternateAndReportTheNewState)
{
	FStateLog Log;
	const TSharedRef<SCheckBox> Box = SNew(SCheckBox).OnCheckStateChanged_Raw(&Log, &FStateLog::HandleChanged);

	FSlateUser::ClickCheckBox(Box);
	EXPECT_TRUE(Box->IsChecked());
	FSlateUser::ClickCheckBox(Box);
	EXPECT_FALSE(Box->IsChecked());

	ASSERT_EQ(Log.States.Num(), 2);
	EXPECT_EQ(Log.States[0], ECheckBoxState::Checked);
	EXPECT_EQ(Log.States[1], ECheckBoxState::Unchecked);
}

TEST(CheckBoxState, SetIsCheckedRaisesNoEvent)
{
	FStateLog Log;
	const TSharedRef<SCheckBox> Box = SNew(SCheckBox).OnCheckStateChanged_Raw(&Log, &FStateLog::HandleChanged);

	Box->SetIsChecked(ECheckBoxState::Checked);

	EXPECT_TRUE(Box->IsChecked());
	EXPECT_EQ(Log.States.Num(), 0);
}

TEST(CheckBoxState, TickingClicksOnlyWhenTheStateDiffers)
{
	FStateLog Log;
	// clang-format off
	const TSharedRef<SCheckBox> Box = SNew(SCheckBox)
		.IsChecked(ECheckBoxState::Undetermined)
		.OnCheckStateChanged_Raw(&Log, &FStateLog::HandleChanged);
	// clang-format on

	EXPECT_TRUE(FSlateUser::SetCheckBoxTicked(Box, false));
	EXPECT_EQ(Box->GetCheckedState(), ECheckBoxState::Unchecked);
	EXPECT_EQ(Log.States.Num(), 2);
	EXPECT_TRUE(FSlateUser::SetCheckBoxTicked(Box, false));
	EXPECT_EQ(Log.States.Num(), 2);
	EXPECT_TRUE(FSlateUser::SetCheckBoxTicked(Box, true));
	EXPECT_EQ(Log.States.Num(), 3);
}

TEST(CheckBoxState, StateBoundToAGetterIsLeftToTheGetter)
{
	FStateLog Log;
	// clang-format off
	const TSharedRef<SCheckBox> Box = SNew(SCheckBox)
		.IsChecked_Lambda([]() { return ECheckBoxState::Unchecked; })
		.OnCheckStateChanged_Raw(&Log, &FStateLog::HandleChanged);
	// clang-format on

	FSlateUser::ClickCheckBox(Box);
	EXPECT_FALSE(Box->IsChecked());
	ASSERT_EQ(Log.States.Num(), 1);
	EXPECT_EQ(Log.States[0], ECheckBoxState::Checked);
	EXPECT_FALSE(FSlateUser::SetCheckBoxTicked(Box, true));
}
