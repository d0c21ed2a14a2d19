// Stand-in for the engine's FFrameTime: a frame number and a sub-frame in [0, MaxSubframe].
#pragma once

#include "CoreTypes.h"
#include "Misc/FrameNumber.h"

struct FFrameTime
{
	/** The largest sub-frame: the float just below 1. */
	static constexpr float MaxSubframe = 0x1.fffffep-1f;

	FFrameNumber FrameNumber;

	constexpr FFrameTime() = default;
	constexpr FFrameTime(int32 InFrameNumber)
		: FrameNumber(InFrameNumber)
	{
	}
	/** A sub-frame outside [0, MaxSubframe] is a caller's bug, as in the engine. */
	FFrameTime(FFrameNumber InFrameNumber, float InSubFrame)
		: FrameNumber(InFrameNumber)
		, SubFrame(InSubFrame)
	{
		checkf(InSubFrame >= 0.0f && InSubFrame <= MaxSubframe, "sub-frame outside [0, MaxSubframe]");
	}

	FFrameNumber GetFrame() const { return FrameNumber; }
	float GetSubFrame() const { return SubFrame; }
	bool operator==(const FFrameTime& Other) const { return FrameNumber == Other.FrameNumber && SubFrame == Other.SubFrame; }
	bool operator!=(const FFrameTime& Other) const { return !(*this == Other); }

private:
	float SubFrame = 0.0f;
};
