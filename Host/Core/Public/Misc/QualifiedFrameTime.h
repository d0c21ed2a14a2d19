// Stand-in for the engine's FQualifiedFrameTime: a frame time with the rate it counts in.
#pragma once

#include "Misc/FrameRate.h"
#include "Misc/FrameTime.h"

struct FQualifiedFrameTime
{
	FFrameTime Time;
	FFrameRate Rate;

	/** Frame 0 at 24 frames per second, as the engine's. */
	FQualifiedFrameTime()
		: Rate(24, 1)
	{
	}
	FQualifiedFrameTime(const FFrameTime& InTime, const FFrameRate& InRate)
		: Time(InTime)
		, Rate(InRate)
	{
	}
	bool operator==(const FQualifiedFrameTime& Other) const { return Time == Other.Time && Rate == Other.Rate; }
	bool operator!=(const FQualifiedFrameTime& Other) const { return !(*this == Other); }
};
