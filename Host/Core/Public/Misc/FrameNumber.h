// Stand-in for the engine's FFrameNumber: a signed 32-bit frame index.
#pragma once

#include "CoreTypes.h"

struct FFrameNumber
{
	int32 Value = 0;

	constexpr FFrameNumber() = default;
	constexpr FFrameNumber(int32 InValue)
		: Value(InValue)
	{
	}
	constexpr bool operator==(const FFrameNumber& Other) const { return Value == Other.Value; }
	constexpr bool operator!=(const FFrameNumber& Other) const { return !(*this == Other); }
};
