#pragma once

#include "CoreMinimal.h"

#include <cmath>
#include <limits>

namespace TavrixConversions
{
/**
 * Nearest 32-bit float, ties to even; magnitudes that round past the float range become an infinity of the same
 * sign. Written out because a plain cast of an out-of-range double is undefined behaviour.
 */
inline float ToFloat(double Value)
{
	// FLT_MAX plus half an ulp: from here on round-to-nearest yields infinity.
	constexpr double OverflowBound = 0x1.ffffffp+127;
	if (Value >= OverflowBound)
	{
		return std::numeric_limits<float>::infinity();
	}
	if (Value <= -OverflowBound)
	{
		return -std::numeric_limits<float>::infinity();
	}
	return static_cast<float>(Value);
}

/** Truncates toward zero and saturates to the int32 range; NaN gives 0. Defined for every double. */
inline int32 TruncateToInt32(double Value)
{
	if (std::isnan(Value))
	{
		return 0;
	}
	if (Value >= 2147483647.0)
	{
		return std::numeric_limits<int32>::max();
	}
	if (Value <= -2147483648.0)
	{
		return std::numeric_limits<int32>::min();
	}
	return static_cast<int32>(Value);
}

/** Clamps a 64-bit value into the int32 range. */
inline int32 SaturateToInt32(int64 Value)
{
	return static_cast<int32>(Value < std::numeric_limits<int32>::min() ? std::numeric_limits<int32>::min()
			: Value > std::numeric_limits<int32>::max()					? std::numeric_limits<int32>::max()
																		: Value);
}
} // namespace TavrixConversions

namespace TavrixConversions
{
/**
 * The take number written as decimal text, read as the C runtime's _wtoi reads it: leading white space, an optional
 * sign, then decimal digits up to the first other character; no digits give 0. Out-of-range values saturate to the
 * int32 range instead of being undefined. Only the ASCII digits count: the engine's digit test follows the
 * platform's wide-character classification, which on Windows also takes superscripts and full-width digits (a
 * 1 followed by a superscript 2 would read as 140).
 */
inline int32 ParseTakeNumber(const FString& Text)
{
	const int32 Length = Text.Len();
	int32 Pos = 0;
	while (Pos < Length && FChar::IsWhitespace(Text[Pos]))
	{
		++Pos;
	}
	bool bNegative = false;
	if (Pos < Length && (Text[Pos] == u'+' || Text[Pos] == u'-'))
	{
		bNegative = Text[Pos] == u'-';
		++Pos;
	}
	int64 Magnitude = 0;
	while (Pos < Length && Text[Pos] >= u'0' && Text[Pos] <= u'9')
	{
		Magnitude = Magnitude * 10 + (Text[Pos] - u'0');
		if (Magnitude > int64(1) << 32)
		{
			Magnitude = int64(1) << 32; // saturated: already beyond every int32
		}
		++Pos;
	}
	return SaturateToInt32(bNegative ? -Magnitude : Magnitude);
}
} // namespace TavrixConversions
