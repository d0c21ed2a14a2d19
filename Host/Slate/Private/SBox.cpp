#include "Widgets/Layout/SBox.h"

#include "SlateLayoutText.h"

SBox::SBox() = default;

void SBox::Construct(const FArguments& InArgs)
{
	WidthOverride = InArgs._WidthOverride;
	HeightOverride = InArgs._HeightOverride;
	ChildSlot.HAlign(InArgs._HAlign).VAlign(InArgs._VAlign).Padding(InArgs._Padding)[InArgs._Content.Widget];
}

FString SBox::DescribeState() const
{
	FString Out;
	if (const FOptionalSize Width = GetWidthOverride(); Width.IsSet())
	{
		SlateLayoutText::AppendItem(Out, FString(TEXT("WidthOverride=")) + SlateLayoutText::FromNumber(Width.Get()));
	}
	if (const FOptionalSize Height = GetHeightOverride(); Height.IsSet())
	{
		SlateLayoutText::AppendItem(Out, FString(TEXT("HeightOverride=")) + SlateLayoutText::FromNumber(Height.Get()));
	}
	return Out;
}

void SBox::SetContent(const TSharedRef<SWidget>& InContent)
{
	CheckOwningThread();
	ChildSlot[InContent];
}

void SBox::SetWidthOverride(const TAttribute<FOptionalSize>& InWidthOverride)
{
	CheckOwningThread();
	WidthOverride = InWidthOverride;
}

void SBox::SetHeightOverride(const TAttribute<FOptionalSize>& InHeightOverride)
{
	CheckOwningThread();
	HeightOverride = InHeightOverride;
}
