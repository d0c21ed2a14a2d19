// Private to the Slate module: the texts of the tree dump (numbers, margins, alignments).
#pragma once

#include "CoreMinimal.h"
#include "Layout/Margin.h"
#include "Types/SlateEnums.h"

/** Texts of the tree dump, shared by the widgets that describe themselves. */
namespace SlateLayoutText
{
/** A layout number as a person writes it: 300, 0.5. */
FString FromNumber(float Value);
FString FromMargin(const FMargin& Margin);
const TCHAR* FromAlignment(EHorizontalAlignment Alignment);
const TCHAR* FromAlignment(EVerticalAlignment Alignment);
/** Appends Item to Out, separated by a space from what is already there. */
void AppendItem(FString& Out, const FString& Item);
} // namespace SlateLayoutText
