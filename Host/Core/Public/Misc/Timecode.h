// Stand-in for the engine's FTimecode: hours, minutes, seconds and frames of a clock at some frame rate. No drop-frame
// counting (the flag is kept, the arithmetic ignores it).
#pragma once

#include "CoreTypes.h"
#include "Misc/FrameNumber.h"
#include "Misc/FrameRate.h"

#include <cmath>

struct FTimecode
{
	int32 Hours = 0;
	int32 Minutes = 0;
	int32 Seconds = 0;
	int32 Frames = 0;
	bool bDropFrameFormat = false;

	FTimecode() = default;
	FTimecode(int32 InHours, int32 InMinutes, int32 InSeconds, int32 InFrames, bool bInDropFrame)
		: Hours(InHours)
		, Minutes(InMinutes)
		, Seconds(InSeconds)
		, Frames(InFrames)
		, bDropFrameFormat(bInDropFrame)
	{
	}

	/** The frame this timecode names, counted from midnight at InRate. */
	FFrameNumber ToFrameNumber(const FFrameRate& InRate) const
	{
		const int32 FramesPerSecond = static_cast<int32>(std::ceil(InRate.AsDecimal()));
		return FFrameNumber((((Hours * 60) + Minutes) * 60 + Seconds) * FramesPerSecond + Frames);
	}
	static FTimecode FromFrameNumber(const FFrameNumber& InFrameNumber, const FFrameRate& InRate, bool bInDropFrame = false)
	{
		const int32 FramesPerSecond = static_cast<int32>(std::ceil(InRate.AsDecimal()));
		const int32 Total = InFrameNumber.Value;
		const int32 TotalSeconds = Total / FramesPerSecond;
		return FTimecode(TotalSeconds / 3600, (TotalSeconds / 60) % 60, TotalSeconds % 60, Total % FramesPerSecond, bInDropFrame);
	}
	bool operator==(const FTimecode& Other) const
	{
		return Hours == Other.Hours && Minutes == Other.Minutes && Seconds == Other.Seconds && Frames == Other.Frames &&
			bDropFrameFormat == Other.bDropFrameFormat;
	}
	bool operator!=(const FTimecode& Other) const { return !(*this == Other); }
};
