#pragma once

#include "CoreMinimal.h"

/**
 * The local frame clock that carries the sender's timecode between datagrams: pure arithmetic, so that the tick
 * stays a thin caller and the clock can be driven by any elapsed time.
 */
namespace TavrixFrameClock
{
/** Frames counted by the local clock since the source was made, at the clock's current rate. */
struct FLocalCount
{
	/** Kept in double: a float loses sub-frame precision after some twelve hours at 25 fps. */
	double Count = 0.0;
	/** floor(Count + 0.5): what the drift test compares against. */
	int64 Rounded = 0;
	/** floor(Count): the whole frames the published time is built on, so it never runs backwards. */
	int64 Whole = 0;
	/** Count - floor(Count), in [0, 1). */
	double Fraction = 0.0;
};

FLocalCount CountLocalFrames(uint64 ElapsedMs, double FrameRate);

/** The sender's timecode as decoded: frame number, rate numerator, rate denominator. */
struct FTimecode
{
	int32 Frame = 0;
	int32 RateNumerator = 0;
	int32 RateDenominator = 0;
};

/**
 * Synchronises the local count with the sender's timecode and yields the scene time to publish. False, with
 * nothing changed, when the timecode carries no usable rate (numerator or denominator not positive). The offset is
 * re-synchronised when it is unset (negative) or when a fresh timecode has drifted more than two frames; between
 * datagrams the scene time runs on the local clock alone.
 */
bool AdvanceSceneTime(const FLocalCount& Local, const FTimecode& Timecode, bool bTimecodeIsFresh, double& InOutFrameRate,
	int64& InOutFrameOffset, FQualifiedFrameTime& OutSceneTime);
} // namespace TavrixFrameClock
