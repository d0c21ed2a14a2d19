// Stand-in for the engine's FFrameRate: frames per second as a fraction.
#pragma once

#include "CoreTypes.h"

struct FFrameRate
{
	int32 Numerator = 60000;
	int32 Denominator = 1000;

	constexpr FFrameRate() = default;
	constexpr FFrameRate(int32 InNumerator, int32 InDenominator)
		: Numerator(InNumerator)
		, Denominator(InDenominator)
	{
	}

	constexpr bool IsValid() const { return Denominator > 0; }
	constexpr double AsDecimal() const { return static_cast<double>(Numerator) / static_cast<double>(Denominator); }
	constexpr bool operator==(const FFrameRate& Other) const { return Numerator == Other.Numerator && Denominator == Other.Denominator; }
	constexpr bool operator!=(const FFrameRate& Other) const { return !(*this == Other); }
};
