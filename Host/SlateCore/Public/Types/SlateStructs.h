// Stand-in for the engine's SlateStructs.h: FOptionalSize, a size that may be unspecified. No other structs.
#pragma once

#include "CoreTypes.h"

struct FOptionalSize
{
	/** Unspecified: the widget sizes itself to its content. */
	FOptionalSize() = default;
	/** A size in layout units; implicit so that a declaration can say WidthOverride(300). */
	FOptionalSize(float InSpecifiedSize)
		: Size(InSpecifiedSize)
		, bIsSet(true)
	{
	}

	bool IsSet() const { return bIsSet; }
	/** The size in layout units; meaningful only when IsSet. */
	float Get() const { return Size; }

private:
	float Size = 0.0f;
	bool bIsSet = false;
};
