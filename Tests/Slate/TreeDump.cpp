#include "Framework/SlateUser.h"
#include "MockConnectionPanel.h"

#include <gtest/gtest.h>

TEST(TreeDump, ShowsThePanelAsIndentedTextWithLayoutAndState)
{
	const TSharedRef<SMockConnectionPanel> Panel = SNew(SMockConnectionPanel).InitialAddress(TEXT("10.0.0.1"));

	EXPECT_EQ(FSlateUser::DumpTree(Panel).ToUtf8(),
		"SMockConnectionPanel\n"
		"  SBox WidthOverride=300\n"
		"    SVerticalBox\n"
		"      SHorizontalBox {AutoHeight}\n"
		"        STextBlock \"Address\" {FillWidth=0.5 HAlign_Left}\n"
		"        SEditableTextBox \"10.0.0.1\" {FillWidth=0.5}\n"
		"      SHorizontalBox {AutoHeight}\n"
		"        STextBlock \"Verbose\" {FillWidth=0.5 HAlign_Left}\n"
		"        SCheckBox Checked {FillWidth=0.5}\n"
		"      SHorizontalBox {AutoHeight}\n"
		"        STextBlock \"Auto Start\" {FillWidth=0.5 HAlign_Left}\n"
		"        SCheckBox Unchecked {FillWidth=0.5}\n"
		"      SButton {AutoHeight HAlign_Right}\n"
		"        STextBlock \"Ok\"\n");
}

TEST(TreeDump, ShowsTypingAndTheChangedChecks)
{
	const TSharedRef<SMockConnectionPanel> Panel = SNew(SMockConnectionPanel);
	// The box first: a click on it would take the focus from the entry and end the typing.
	FSlateUser::ClickCheckBox(FSlateUser::FindCheckBoxByLabel(Panel, TEXT("Verbose")).ToSharedRef());
	FSlateUser::TypeText(FSlateUser::FindEditableTextBoxByLabel(Panel, TEXT("Address")).ToSharedRef(), TEXT("10.9.9.9"));

	const std::string Dump = FSlateUser::DumpTree(Panel).ToUtf8();

	EXPECT_NE(Dump.find("SEditableTextBox \"10.9.9.9\" (typing) {FillWidth=0.5}\n"), std::string::npos) << Dump;
	EXPECT_EQ(Dump.find("Checked {"), std::string::npos) << Dump;
}

TEST(TreeDump, ShowsPaddingHeightAndOtherAlignments)
{
	// clang-format off
	const TSharedRef<SBox> Box = SNew(SBox).HeightOverride(24.5f).VAlign(VAlign_Center).Padding(FMargin(1.0f, 2.0f))
	[
		SNew(SVerticalBox) + SVerticalBox::Slot().FillHeight(2.0f).VAlign(VAlign_Bottom)[SNew(STextBlock)]
	];
	// clang-format on

	EXPECT_EQ(FSlateUser::DumpTree(Box).ToUtf8(),
		"SBox HeightOverride=24.5\n"
		"  SVerticalBox {VAlign_Center Padding=(1,2,1,2)}\n"
		"    STextBlock \"\" {FillHeight=2 VAlign_Bottom}\n");
}
