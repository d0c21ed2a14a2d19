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
	EXPECT_EQ(Panel->NumCommits, 0);
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
