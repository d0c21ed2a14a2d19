#include "Widgets/Input/SButton.h"

#include "Widgets/Text/STextBlock.h"

SButton::SButton() = default;

void SButton::Construct(const FArguments& InArgs)
{
	OnClicked = InArgs._OnClicked;
	bIsFocusable = InArgs._IsFocusable;
	TSharedRef<SWidget> Content = InArgs._Content.Widget;
	if (Content == SNullWidget::NullWidget && InArgs._Text.IsSet())
	{
		Content = SNew(STextBlock).Text(InArgs._Text);
	}
	ChildSlot.HAlign(InArgs._HAlign).VAlign(InArgs._VAlign).Padding(InArgs._ContentPadding)[Content];
}

void SButton::SetContent(const TSharedRef<SWidget>& InContent)
{
	CheckOwningThread();
	ChildSlot[InContent];
}

void SButton::SimulateClick()
{
	ExecuteOnClick();
}

FReply SButton::ExecuteOnClick()
{
	CheckOwningThread();
	return OnClicked.IsBound() ? OnClicked.Execute() : FReply::Unhandled();
}
