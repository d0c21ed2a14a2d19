#include "SlateLayoutText.h"

namespace SlateLayoutText
{
FString FromNumber(float Value)
{
	return FString::Printf(TEXT("%g"), static_cast<double>(Value));
}

FString FromMargin(const FMargin& Margin)
{
	return FString(TEXT("(")) + FromNumber(Margin.Left) + TEXT(",") + FromNumber(Margin.Top) + TEXT(",") + FromNumber(Margin.Right) +
		TEXT(",") + FromNumber(Margin.Bottom) + TEXT(")");
}

const TCHAR* FromAlignment(EHorizontalAlignment Alignment)
{
	switch (Alignment)
	{
	case HAlign_Fill:
		return TEXT("HAlign_Fill");
	case HAlign_Left:
		return TEXT("HAlign_Left");
	case HAlign_Center:
		return TEXT("HAlign_Center");
	case HAlign_Right:
		return TEXT("HAlign_Right");
	}
	return TEXT("HAlign_Unknown");
}

const TCHAR* FromAlignment(EVerticalAlignment Alignment)
{
	switch (Alignment)
	{
	case VAlign_Fill:
		return TEXT("VAlign_Fill");
	case VAlign_Top:
		return TEXT("VAlign_Top");
	case VAlign_Center:
		return TEXT("VAlign_Center");
	case VAlign_Bottom:
		return TEXT("VAlign_Bottom");
	}
	return TEXT("VAlign_Unknown");
}

void AppendItem(FString& Out, const FString& Item)
{
	if (Item.IsEmpty())
	{
		return;
	}
	if (!Out.IsEmpty())
	{
		Out += TEXT(" ");
	}
	Out += Item;
}
} // namespace SlateLayoutText
