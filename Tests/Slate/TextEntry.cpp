#include "Framework/SlateUser.h"
#include "MockConnectionPanel.h"

#include <gtest/gtest.h>

namespace
{
TSharedRef<SEditableTextBox> GetAddressEntry(const TSharedRef<SMockConnectionPanel>& Panel)
{
	const TSharedPtr<SEditableTextBox> Entry = FSlateUser::FindEditableTextBoxByLabel(Panel, TEXT("Address"));
	check(Entry.IsValid());
	return Entry.ToSharedRef();
}
} // namespace

TEST(TextEntry, TypingChangesTheTextWithoutCommitting)
{
	const TSharedRef<SMockConnectionPanel> Panel = SNew(SMockConnectionPanel).InitialAddress(TEXT("10.0.0.1"));
	const TSharedRef<SEditableTextBox> Entry = GetAddressEntry(Panel);
	EXPECT_EQ(Entry->GetText().ToString().ToUtf8(), "10.0.0.1");

	FSlateUser::TypeText(Entry, TEXT("192.168.1.20"));

	EXPECT_EQ(Entry->GetText().ToString().ToUtf8(), "192.168.1.20");
	EXPECT_TRUE(Entry->HasUncommittedEdit());
	EXPECT_EQ(Panel->NumCommits, 0);
}

TEST(TextEntry, CommitReportsTheTypedText)
{
	const TSharedRef<SMockConnectionPanel> Panel = SNew(SMockConnectionPanel);
	const TSharedRef<SEditableTextBox> Entry = GetAddressEntry(Panel);

	FSlateUser::EnterText(Entry, TEXT("192.168.1.20"));

	EXPECT_EQ(Panel->NumCommits, 1);
	EXPECT_EQ(Panel->LastCommittedText.ToUtf8(), "192.168.1.20");
	EXPECT_EQ(Panel->LastCommitType, ETextCommit::OnEnter);
	EXPECT_FALSE(Entry->HasUncommittedEdit());
	EXPECT_EQ(Entry->GetText().ToString().ToUtf8(), "192.168.1.20");
}

TEST(TextEntry, CommitWithoutTypingReportsTheHeldText)
{
	const TSharedRef<SMockConnectionPanel> Panel = SNew(SMockConnectionPanel).InitialAddress(TEXT("10.0.0.1"));

	FSlateUser::CommitText(GetAddressEntry(Panel), ETextCommit::OnUserMovedFocus);

	EXPECT_EQ(Panel->NumCommits, 1);
	EXPECT_EQ(Panel->LastCommittedText.ToUtf8(), "10.0.0.1");
}

TEST(TextEntry, HandlerThatReplacesTheTextHasTheLastWord)
{
	const TSharedRef<SMockConnectionPanel> Panel = SNew(SMockConnectionPanel).InitialAddress(TEXT("10.0.0.1"));
	const TSharedRef<SEditableTextBox> Entry = GetAddressEntry(Panel);

	FSlateUser::EnterText(Entry, FString());

	EXPECT_EQ(Panel->LastCommittedText.ToUtf8(), "");
	EXPECT_EQ(Entry->GetText().ToString().ToUtf8(), "localhost");
}

TEST(TextEntry, SetTextDiscardsTheEditInProgress)
{
	const TSharedRef<SMockConnectionPanel> Panel = SNew(SMockConnectionPanel);
	const TSharedRef<SEditableTextBox> Entry = GetAddressEntry(Panel);
	FSlateUser::TypeText(Entry, TEXT("half-typed"));

	Entry->SetText(FText::FromString(TEXT("10.0.0.9")));

	EXPECT_FALSE(Entry->HasUncommittedEdit());
	EXPECT_EQ(Entry->GetText().ToString().ToUtf8(), "10.0.0.9");
	EXPECT_EQ(Panel->NumCommits, 0);
}

TEST(TextEntry, TextBoundToAGetterShowsTheGetterAgainAfterTheEdit)
{
	FString Source = TEXT("from getter");
	FString Committed;
	// clang-format off
	const TSharedRef<SEditableTextBox> Entry = SNew(SEditableTextBox)
		.Text_Lambda([&Source]() { return FText::FromString(Source); })
		.OnTextCommitted_Lambda([&Committed](const FText& InText, ETextCommit::Type) { Committed = InText.ToString(); });
	// clang-format on

	FSlateUser::TypeText(Entry, TEXT("typed"));
	EXPECT_EQ(Entry->GetText().ToString().ToUtf8(), "typed");
	FSlateUser::CommitText(Entry, ETextCommit::OnEnter);

	EXPECT_EQ(Committed.ToUtf8(), "typed");
	EXPECT_EQ(Entry->GetText().ToString().ToUtf8(), "from getter");
}

TEST(TextEntry, EveryKeystrokeBatchRaisesTextChanged)
{
	TArray<FString> Changes;
	// clang-format off
	const TSharedRef<SEditableTextBox> Entry = SNew(SEditableTextBox)
		.OnTextChanged_Lambda([&Changes](const FText& InText) { Changes.Add(InText.ToString()); });
	// clang-format on

	FSlateUser::TypeText(Entry, TEXT("1"));
	FSlateUser::TypeText(Entry, TEXT("12"));

	ASSERT_EQ(Changes.Num(), 2);
	EXPECT_EQ(Changes[1].ToUtf8(), "12");
}

class TextCommitKinds : public testing::TestWithParam<ETextCommit::Type>
{
};

TEST_P(TextCommitKinds, EveryKindRaisesTheCommitOnceWithTheCurrentText)
{
	const TSharedRef<SMockConnectionPanel> Panel = SNew(SMockConnectionPanel);
	const TSharedRef<SEditableTextBox> Entry = GetAddressEntry(Panel);
	FSlateUser::TypeText(Entry, TEXT("172.16.0.4"));

	FSlateUser::CommitText(Entry, GetParam());

	EXPECT_EQ(Panel->NumCommits, 1);
	EXPECT_EQ(Panel->LastCommitType, GetParam());
	EXPECT_EQ(Panel->LastCommittedText.ToUtf8(), "172.16.0.4");
	EXPECT_EQ(Entry->GetText().ToString().ToUtf8(), "172.16.0.4");
}

INSTANTIATE_TEST_SUITE_P(AllKinds, TextCommitKinds,
	testing::Values(ETextCommit::Default, ETextCommit::OnEnter, ETextCommit::OnUserMovedFocus, ETextCommit::OnCleared));
