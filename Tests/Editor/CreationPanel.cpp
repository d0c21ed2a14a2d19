#include "EditorTestSupport.h"

#include "Layout/Children.h"
#include "Widgets/Input/SButton.h"
#include "Widgets/Layout/SBox.h"
#include "Widgets/SBoxPanel.h"
#include "Widgets/Text/STextBlock.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
TEST(CreationPanel, DefaultSettingsGiveEveryInterfaceOnPort9001WithLensAndSceneTakeTicked)
{
	FScopedProject Project;
	FPanelUnderTest Panel;
	ASSERT_TRUE(Panel.Endpoint.IsValid());
	ASSERT_TRUE(Panel.AutoLens.IsValid() && Panel.AutoSceneTake.IsValid() && Panel.AutoRecord.IsValid());
	EXPECT_EQ(Panel.EndpointText(), "0.0.0.0:9001");
	EXPECT_TRUE(Panel.AutoLens->IsChecked());
	EXPECT_TRUE(Panel.AutoSceneTake->IsChecked());
	EXPECT_FALSE(Panel.AutoRecord->IsChecked());
}

TEST(CreationPanel, InitialValuesComeFromTheSettingsAsTheyAreAtConstruction)
{
	FScopedProject Project;
	FScopedProject::Settings()->NetworkServerAddressByDefault = TEXT("10.1.2.3");
	FScopedProject::Settings()->NetworkPortIdByDefault = 5000;
	FScopedProject::Settings()->bAutoLens = false;
	FScopedProject::Settings()->bAutoRecord = true;
	FPanelUnderTest Panel;
	EXPECT_EQ(Panel.EndpointText(), "10.1.2.3:5000");
	EXPECT_FALSE(Panel.AutoLens->IsChecked());
	EXPECT_TRUE(Panel.AutoSceneTake->IsChecked());
	EXPECT_TRUE(Panel.AutoRecord->IsChecked());
}

TEST(CreationPanel, UnusableSettingsAreCopedWithNotRefused)
{
	FScopedProject Project;
	const std::pair<int32, const char*> Ports[] = {{70000, "0.0.0.0:4464"}, {-1, "0.0.0.0:65535"}};
	for (const auto& [Port, Expected] : Ports)
	{
		FScopedProject::Settings()->NetworkPortIdByDefault = Port;
		EXPECT_EQ(FPanelUnderTest().EndpointText(), Expected);
	}
	FScopedProject::Settings()->NetworkServerAddressByDefault = TEXT("stage-pc.local");
	FScopedProject::Settings()->NetworkPortIdByDefault = 6100;
	EXPECT_EQ(FPanelUnderTest().EndpointText(), "0.0.0.0:6100");
}

TEST(CreationPanel, CommittingAnUnusableEntryResetsItToTheFixedFallback)
{
	FScopedProject Project;
	FScopedProject::Settings()->NetworkPortIdByDefault = 5000; // the fallback does not come from the settings
	FPanelUnderTest Panel;
	const ETextCommit::Type Kinds[] = {ETextCommit::OnEnter, ETextCommit::OnUserMovedFocus, ETextCommit::OnCleared, ETextCommit::Default};
	const TCHAR* Entries[] = {TEXT("abc"), TEXT("10.1.2.3"), TEXT(""), TEXT("1.2.3.4:99999"), TEXT("host:9001")};
	for (const ETextCommit::Type Kind : Kinds)
	{
		for (const TCHAR* Entry : Entries)
		{
			FSlateUser::TypeText(Panel.Endpoint.ToSharedRef(), Entry);
			FSlateUser::CommitText(Panel.Endpoint.ToSharedRef(), Kind);
			EXPECT_EQ(Panel.EndpointText(), "0.0.0.0:9001") << FString(Entry).ToUtf8();
		}
	}
}

TEST(CreationPanel, CommittingAValidEntryLeavesItExactlyAsTyped)
{
	FScopedProject Project;
	FPanelUnderTest Panel;
	FSlateUser::EnterText(Panel.Endpoint.ToSharedRef(), TEXT("010.000.000.001:09001"));
	EXPECT_EQ(Panel.EndpointText(), "010.000.000.001:09001");
}

TEST(CreationPanel, OkReportsTheEnteredEndpointAndTheBoxesOnce)
{
	FScopedProject Project;
	std::vector<FTavrixSourceChoice> Choices;
	FPanelUnderTest Panel(FOnTavrixSourceChoice::CreateLambda([&](FTavrixSourceChoice Choice) { Choices.push_back(Choice); }));
	FSlateUser::TypeText(Panel.Endpoint.ToSharedRef(), TEXT("127.0.0.1:6000")); // committed by the next click elsewhere
	FSlateUser::SetCheckBoxTicked(Panel.AutoLens.ToSharedRef(), false);
	FSlateUser::SetCheckBoxTicked(Panel.AutoSceneTake.ToSharedRef(), true);
	FSlateUser::SetCheckBoxTicked(Panel.AutoRecord.ToSharedRef(), true);

	EXPECT_TRUE(Panel.ClickOk().IsEventHandled());
	ASSERT_EQ(Choices.size(), 1u);
	EXPECT_EQ(Choices[0].Endpoint, FIPv4Endpoint(FIPv4Address(127, 0, 0, 1), 6000));
	EXPECT_FALSE(Choices[0].bAutoLens);
	EXPECT_TRUE(Choices[0].bAutoSceneTake);
	EXPECT_TRUE(Choices[0].bAutoRecord);

	// The panel stays as it is: a second Ok reports the choice again.
	Panel.ClickOk();
	EXPECT_EQ(Choices.size(), 2u);
}

TEST(CreationPanel, OkTellsSceneTakeAndRecordApart)
{
	FScopedProject Project;
	std::vector<FTavrixSourceChoice> Choices;
	FPanelUnderTest Panel(FOnTavrixSourceChoice::CreateLambda([&](FTavrixSourceChoice Choice) { Choices.push_back(Choice); }));
	FSlateUser::SetCheckBoxTicked(Panel.AutoLens.ToSharedRef(), true);
	FSlateUser::SetCheckBoxTicked(Panel.AutoSceneTake.ToSharedRef(), true);
	FSlateUser::SetCheckBoxTicked(Panel.AutoRecord.ToSharedRef(), false);
	Panel.ClickOk();
	FSlateUser::SetCheckBoxTicked(Panel.AutoLens.ToSharedRef(), false);
	FSlateUser::SetCheckBoxTicked(Panel.AutoSceneTake.ToSharedRef(), false);
	FSlateUser::SetCheckBoxTicked(Panel.AutoRecord.ToSharedRef(), true);
	Panel.ClickOk();

	ASSERT_EQ(Choices.size(), 2u);
	EXPECT_TRUE(Choices[0].bAutoLens);
	EXPECT_TRUE(Choices[0].bAutoSceneTake);
	EXPECT_FALSE(Choices[0].bAutoRecord);
	EXPECT_FALSE(Choices[1].bAutoLens);
	EXPECT_FALSE(Choices[1].bAutoSceneTake);
	EXPECT_TRUE(Choices[1].bAutoRecord);
}

TEST(CreationPanel, OkWithAnUnusableEntryReportsNothingAndSaysWhatWasRefused)
{
	FScopedProject Project;
	for (const TCHAR* Typo : {TEXT("192.168.1.5:90O1"), TEXT("192.168.1.5:9001 "), TEXT("not an endpoint")})
	{
		std::vector<FTavrixSourceChoice> Choices;
		FPanelUnderTest Panel(FOnTavrixSourceChoice::CreateLambda([&](FTavrixSourceChoice Choice) { Choices.push_back(Choice); }));
		FSlateUser::TypeText(Panel.Endpoint.ToSharedRef(), Typo);
		// Pressing Ok takes the focus from the entry, whose commit resets it before the click's handler runs.
		EXPECT_TRUE(Panel.ClickOk().IsEventHandled());
		EXPECT_TRUE(Choices.empty()) << "a source on every interface nobody asked for, from " << FString(Typo).ToUtf8();
		EXPECT_EQ(Panel.EndpointText(), "0.0.0.0:9001");
		const TSharedPtr<STextBlock> Problem = FSlateUser::FindTextBlock(Panel.Panel, TEXT("Not an address and port, reset:"));
		ASSERT_TRUE(Problem.IsValid()) << FSlateUser::DumpTree(Panel.Panel).ToUtf8();
		EXPECT_EQ(FTextInspector::GetNamespace(Problem->GetText()).ToUtf8(), "TavrixLiveLinkSourceEditor");
		EXPECT_EQ(FTextInspector::GetKey(Problem->GetText()).ToUtf8(), "EndpointNotUnderstood");
		const FString Quoted = FString(TEXT("\"")) + Typo + TEXT("\"");
		EXPECT_TRUE(FSlateUser::FindTextBlock(Panel.Panel, Quoted).IsValid()) << FSlateUser::DumpTree(Panel.Panel).ToUtf8();

		// Now that the reset is in view, Ok accepts it.
		Panel.ClickOk();
		ASSERT_EQ(Choices.size(), 1u);
		EXPECT_EQ(Choices[0].Endpoint, FIPv4Endpoint(FIPv4Address::Any, 9001));
	}

	FPanelUnderTest Unbound;
	EXPECT_TRUE(Unbound.ClickOk().IsEventHandled());
}

TEST(CreationPanel, AResetSeenWhereItHappenedDoesNotHoldOkBack)
{
	// Enter is pressed in the entry: the reset and the message show at once, so Ok creates the source.
	FScopedProject Project;
	std::vector<FTavrixSourceChoice> Choices;
	FPanelUnderTest Panel(FOnTavrixSourceChoice::CreateLambda([&](FTavrixSourceChoice Choice) { Choices.push_back(Choice); }));
	FSlateUser::EnterText(Panel.Endpoint.ToSharedRef(), TEXT("192.168.1.5:90O1"));
	EXPECT_EQ(Panel.EndpointText(), "0.0.0.0:9001");
	EXPECT_TRUE(FSlateUser::FindTextBlock(Panel.Panel, TEXT("Not an address and port, reset:")).IsValid());
	Panel.ClickOk();
	ASSERT_EQ(Choices.size(), 1u);
	EXPECT_EQ(Choices[0].Endpoint, FIPv4Endpoint(FIPv4Address::Any, 9001));
}

TEST(CreationPanel, AValidEntryAfterATypoClearsTheMessageAndOkCreatesAtOnce)
{
	FScopedProject Project;
	std::vector<FTavrixSourceChoice> Choices;
	FPanelUnderTest Panel(FOnTavrixSourceChoice::CreateLambda([&](FTavrixSourceChoice Choice) { Choices.push_back(Choice); }));
	// The typo is committed by a click on a box, which moves the focus there.
	FSlateUser::TypeText(Panel.Endpoint.ToSharedRef(), TEXT("192.168.1.5:90O1"));
	FSlateUser::ClickCheckBox(Panel.AutoRecord.ToSharedRef());
	EXPECT_EQ(Panel.EndpointText(), "0.0.0.0:9001");
	EXPECT_TRUE(FSlateUser::FindTextBlock(Panel.Panel, TEXT("Not an address and port, reset:")).IsValid());

	FSlateUser::TypeText(Panel.Endpoint.ToSharedRef(), TEXT("192.168.1.5:9001"));
	Panel.ClickOk();
	ASSERT_EQ(Choices.size(), 1u);
	EXPECT_EQ(Choices[0].Endpoint, FIPv4Endpoint(FIPv4Address(192, 168, 1, 5), 9001));
	EXPECT_TRUE(Choices[0].bAutoRecord);
	EXPECT_FALSE(FSlateUser::FindTextBlock(Panel.Panel, TEXT("Not an address and port, reset:")).IsValid());
	EXPECT_FALSE(FSlateUser::FindTextBlock(Panel.Panel, TEXT("\"192.168.1.5:90O1\"")).IsValid());
}

TEST(CreationPanel, TickingBoxesNeverChangesTheSettings)
{
	FScopedProject Project;
	{
		FPanelUnderTest Panel(FOnTavrixSourceChoice::CreateLambda([](FTavrixSourceChoice) {}));
		FSlateUser::SetCheckBoxTicked(Panel.AutoLens.ToSharedRef(), false);
		FSlateUser::SetCheckBoxTicked(Panel.AutoRecord.ToSharedRef(), true);
		FSlateUser::EnterText(Panel.Endpoint.ToSharedRef(), TEXT("127.0.0.1:7000"));
		Panel.ClickOk();
	}
	EXPECT_TRUE(FScopedProject::Settings()->bAutoLens);
	EXPECT_FALSE(FScopedProject::Settings()->bAutoRecord);
	EXPECT_EQ(FScopedProject::Settings()->NetworkPortIdByDefault, 9001);
	FPanelUnderTest Next;
	EXPECT_EQ(Next.EndpointText(), "0.0.0.0:9001");
	EXPECT_TRUE(Next.AutoLens->IsChecked());
	EXPECT_FALSE(Next.AutoRecord->IsChecked());
}

TEST(CreationPanel, LayoutIsAFixedWidthListOfSixRowsWithTheButtonOnTheRight)
{
	FScopedProject Project;
	FPanelUnderTest Panel;
	const TSharedPtr<SBox> Box = FSlateUser::FindWidget<SBox>(Panel.Panel);
	ASSERT_TRUE(Box.IsValid());
	EXPECT_EQ(Box->GetWidthOverride().Get(), 300.0f);
	const TSharedPtr<SVerticalBox> List = FSlateUser::FindWidget<SVerticalBox>(Panel.Panel);
	ASSERT_TRUE(List.IsValid());
	// The entry, the row that says why an entry was refused, the three options and the button.
	ASSERT_EQ(List->GetChildren()->Num(), 6);

	const TSharedRef<SWidget> Root = Panel.Panel;
	const auto* EntrySlot = FSlateUser::FindSlotOf<SHorizontalBox::FSlot>(Root, *Panel.Endpoint);
	ASSERT_NE(EntrySlot, nullptr);
	EXPECT_EQ(EntrySlot->GetSizeRule(), FSizeParam::SizeRule_Stretch);
	EXPECT_EQ(EntrySlot->GetSizeValue(), 0.5f);
	const TSharedPtr<STextBlock> Label = FSlateUser::FindTextBlock(Root, TEXT("Auto Record"));
	const auto* LabelSlot = FSlateUser::FindSlotOf<SHorizontalBox::FSlot>(Root, *Label);
	ASSERT_NE(LabelSlot, nullptr);
	EXPECT_EQ(LabelSlot->GetHorizontalAlignment(), HAlign_Left);
	const TSharedPtr<SButton> Ok = FSlateUser::FindButton(Root, TEXT("Ok"));
	const auto* ButtonSlot = FSlateUser::FindSlotOf<SVerticalBox::FSlot>(Root, *Ok);
	ASSERT_NE(ButtonSlot, nullptr);
	EXPECT_EQ(ButtonSlot->GetHorizontalAlignment(), HAlign_Right);
	EXPECT_EQ(ButtonSlot->GetSizeRule(), FSizeParam::SizeRule_Auto);

	const FText Text = Label->GetText();
	EXPECT_EQ(FTextInspector::GetNamespace(Text).ToUtf8(), "TavrixLiveLinkSourceEditor");
	EXPECT_EQ(FTextInspector::GetKey(Text).ToUtf8(), "AutoRecord");
}

TEST(CreationPanel, EveryTextIsLocalisableUnderThePanelNamespace)
{
	FScopedProject Project;
	FPanelUnderTest Panel;
	const std::pair<const TCHAR*, const char*> TextsAndKeys[] = {{TEXT("Network Address:Port"), "TavrixPortNumber"},
		{TEXT("Auto Lens Update"), "AutoLens"}, {TEXT("Auto Scene/Take"), "AutoSceneTake"}, {TEXT("Auto Record"), "AutoRecord"},
		{TEXT("Ok"), "Ok"}};
	for (const auto& [Shown, Key] : TextsAndKeys)
	{
		const TSharedPtr<STextBlock> Block = FSlateUser::FindTextBlock(Panel.Panel, Shown);
		ASSERT_TRUE(Block.IsValid()) << Key;
		EXPECT_EQ(FTextInspector::GetNamespace(Block->GetText()).ToUtf8(), "TavrixLiveLinkSourceEditor") << Key;
		EXPECT_EQ(FTextInspector::GetKey(Block->GetText()).ToUtf8(), Key);
	}
}

TEST(CreationPanel, PanelKeepsOnlyWeakReferencesSoItsTreeGoesWithIt)
{
	FScopedProject Project;
	TWeakPtr<SEditableTextBox> Entry;
	{
		FPanelUnderTest Panel;
		Entry = Panel.Endpoint;
		Panel.Endpoint.Reset();
		Panel.AutoLens.Reset();
		Panel.AutoSceneTake.Reset();
		Panel.AutoRecord.Reset();
	}
	EXPECT_FALSE(Entry.IsValid());
}
} // namespace
