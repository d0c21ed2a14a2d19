#include "TavrixFrameClock.h"

#include "TavrixConversions.h"

#include <algorithm>
#include <cmath>

namespace TavrixFrameClock
{
FLocalCount CountLocalFrames(uint64 ElapsedMs, double FrameRate)
{
	FLocalCount Local;
	Local.Count = static_cast<double>(ElapsedMs) * 0.001 * FrameRate;
	const double Whole = std::floor(Local.Count);
	Local.Whole = static_cast<int64>(Whole);
	Local.Rounded = static_cast<int64>(std::floor(Local.Count + 0.5));
	Local.Fraction = Local.Count - Whole;
	return Local;
}

bool AdvanceSceneTime(const FLocalCount& Local, const FTimecode& Timecode, bool bTimecodeIsFresh, double& InOutFrameRate,
	int64& InOutFrameOffset, FQualifiedFrameTime& OutSceneTime)
{
	if (Timecode.RateNumerator <= 0 || Timecode.RateDenominator <= 0)
	{
		return false;
	}

	const double Rate = static_cast<double>(Timecode.RateNumerator) / static_cast<double>(Timecode.RateDenominator);
	if (Rate != InOutFrameRate)
	{
		InOutFrameRate = Rate;
	}

	if (InOutFrameOffset < 0 || bTimecodeIsFresh)
	{
		const int64 Drift = static_cast<int64>(Timecode.Frame) - Local.Rounded - InOutFrameOffset;
		if (Drift > 2 || Drift < -2 || InOutFrameOffset < 0)
		{
			InOutFrameOffset = static_cast<int64>(Timecode.Frame) - Local.Rounded;
		}
	}

	const int32 FrameNumber = TavrixConversions::SaturateToInt32(Local.Whole + InOutFrameOffset);
	const float SubFrame = std::clamp(static_cast<float>(Local.Fraction), 0.0f, FFrameTime::MaxSubframe);
	OutSceneTime =
		FQualifiedFrameTime(FFrameTime(FFrameNumber(FrameNumber), SubFrame), FFrameRate(Timecode.RateNumerator, Timecode.RateDenominator));
	return true;
}
} // namespace TavrixFrameClock
