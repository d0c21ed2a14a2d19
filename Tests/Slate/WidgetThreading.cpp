#include "Widgets/DeclarativeSyntaxSupport.h"
#include "Widgets/Input/SEditableTextBox.h"

#include <gtest/gtest.h>

#include <thread>

TEST(WidgetThreading, WidgetIsUsableOnTheThreadThatMadeIt)
{
	FString Read;
	std::thread Worker([&Read]() {
		const TSharedRef<SEditableTextBox> Entry = SNew(SEditableTextBox);
		Entry->SetText(FText::FromString(TEXT("made here")));
		Read = Entry->GetText().ToString();
	});
	Worker.join();

	EXPECT_EQ(Read.ToUtf8(), "made here");
}

TEST(WidgetThreadingDeathTest, ChangingAWidgetFromAnotherThreadFailsLoudly)
{
	GTEST_FLAG_SET(death_test_style, "threadsafe");
	const TSharedRef<SEditableTextBox> Entry = SNew(SEditableTextBox);

	EXPECT_DEATH(
		{
			std::thread Worker([&Entry]() { Entry->SetText(FText::FromString(TEXT("from a worker"))); });
			Worker.join();
		},
		"off the thread that made it");
}
