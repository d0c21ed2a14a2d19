#include "TavrixFrameClock.h"

#include "TavrixConversions.h"

#include <algorithm>
#include <cmath>

bool FTavrixFrameClock::Tick(
	int64 NowMs, const FTavrixTimecode& Timecode, bool bTimecodeIsFresh, int64 ArrivalMs, FQualifiedFrameTime& OutSceneTime)
{
	if (Timecode.RateNumerator <= 0 || Timecode.RateDenominator <= 0)
	{
		return false;
	}
	const double Rate = static_cast<double>(Timecode.RateNumerator) / static_cast<double>(Timecode.RateDenominator);

	// Counted at the rate in force until now: a new rate applies to the time after this tick only.
	const double Count = CountAt(NowMs);
	double Whole = std::floor(Count);
	double Fraction = Count - Whole;

	// Drift is the sender's frame number minus the frame the clock would publish now. Two frames either way are
	// tolerated (a late or early datagram, a tick that fell just before a frame boundary); more is a jump.
	bool bSynchronise = !bSynchronised;
	if (!bSynchronise && bTimecodeIsFresh)
	{
		const double Drift = static_cast<double>(Timecode.Frame) - (Whole + static_cast<double>(FrameOffset));
		bSynchronise = Drift > 2.0 || Drift < -2.0;
	}

	if (bSynchronise)
	{
		// The sender's frame number is published as it is; the sub-frame is how far the sender has got into that
		// frame since the datagram arrived (held below a whole frame, so that the frame published is the sender's).
		const double SinceArrival = static_cast<double>(std::max<int64>(NowMs - ArrivalMs, 0)) * 0.001 * Rate;
		StartTimeMs = NowMs;
		StartCount = std::min(SinceArrival, static_cast<double>(FFrameTime::MaxSubframe));
		FrameOffset = Timecode.Frame;
		bSynchronised = true;
		Whole = 0.0;
		Fraction = StartCount;
	}
	else if (Rate != FrameRate)
	{
		StartTimeMs = NowMs;
		StartCount = Count;
	}
	FrameRate = Rate;

	const int32 FrameNumber = TavrixConversions::SaturateToInt32(static_cast<int64>(Whole) + FrameOffset);
	const float SubFrame = std::clamp(static_cast<float>(Fraction), 0.0f, FFrameTime::MaxSubframe);
	OutSceneTime =
		FQualifiedFrameTime(FFrameTime(FFrameNumber(FrameNumber), SubFrame), FFrameRate(Timecode.RateNumerator, Timecode.RateDenominator));
	return true;
}
