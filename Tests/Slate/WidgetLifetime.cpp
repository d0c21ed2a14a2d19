#include "Framework/SlateUser.h"
#include "MockConnectionPanel.h"

#include <gtest/gtest.h>

TEST(WidgetLifetime, WeakReferencesExpireWhenTheTreeIsReleased)
{
	TSharedPtr<SMockConnectionPanel> Panel = SNew(SMockConnectionPanel);
	TArray<TWeakPtr<SWidget>> Widgets;
	for (const TSharedRef<SWidget>& Widget : FSlateUser::GetAllWidgets(Panel.ToSharedRef()))
	{
		Widgets.Add(Widget);
	}
	ASSERT_EQ(Widgets.Num(), 14);
	const TWeakPtr<SEditableTextBox> Address = Panel->AddressTextBox;

	Panel.Reset();

	for (int32 Index = 0; Index < Widgets.Num(); ++Index)
	{
		EXPECT_FALSE(Widgets[Index].IsValid()) << "widget " << Index << " outlived its tree";
	}
	EXPECT_FALSE(Address.IsValid());
}

TEST(WidgetLifetime, ChildEventBoundToItsPanelDoesNotKeepThePanelAlive)
{
	TSharedPtr<SMockConnectionPanel> Panel = SNew(SMockConnectionPanel);
	const TWeakPtr<SMockConnectionPanel> WeakPanel = Panel;

	Panel.Reset();

	EXPECT_FALSE(WeakPanel.IsValid());
}

TEST(WidgetLifetime, DelegateMadeWithCreateSPDoesNotKeepItsWidgetAlive)
{
	TSharedPtr<SMockConnectionPanel> Panel = SNew(SMockConnectionPanel);
	const TWeakPtr<SMockConnectionPanel> WeakPanel = Panel;
	const TSharedRef<SButton> Outside =
		SNew(SButton).OnClicked(FOnClicked::CreateSP(Panel.ToSharedRef(), &SMockConnectionPanel::HandleOkClicked));
	EXPECT_TRUE(FSlateUser::Click(Outside).IsEventHandled());

	Panel.Reset();

	EXPECT_FALSE(WeakPanel.IsValid());
}

TEST(WidgetLifetime, ButtonThatOutlivesItsPanelLeavesTheClickUnhandled)
{
	TSharedPtr<SMockConnectionPanel> Panel = SNew(SMockConnectionPanel);
	const TSharedPtr<SButton> Ok = FSlateUser::FindButton(Panel.ToSharedRef(), TEXT("Ok"));
	ASSERT_TRUE(Ok.IsValid());
	EXPECT_TRUE(FSlateUser::Click(Ok.ToSharedRef()).IsEventHandled());

	Panel.Reset();

	EXPECT_FALSE(FSlateUser::Click(Ok.ToSharedRef()).IsEventHandled());
}

TEST(WidgetLifetime, ReplacedContentIsReleased)
{
	TSharedPtr<STextBlock> First;
	const TSharedRef<SBox> Box = SNew(SBox)[SAssignNew(First, STextBlock)];
	const TWeakPtr<STextBlock> WeakFirst = First;
	First.Reset();
	ASSERT_TRUE(WeakFirst.IsValid());

	Box->SetContent(SNew(STextBlock));

	EXPECT_FALSE(WeakFirst.IsValid());
}
