#include "TavrixSyntheticCamera.h"

#include <gtest/gtest.h>

#include <limits>

using namespace TavrixSend;
using namespace std::chrono_literals;

namespace
{
constexpr FTavrixFrameRate Ntsc{30000, 1001};

/** The first instant at which frame InFrame (counted from the start) is shown, in whole nanoseconds. */
FTavrixDuration FrameStart(FTavrixFrameRate InRate, int64_t InFrame)
{
	const int64_t Numerator = InFrame * InRate.Denominator * 1'000'000'000;
	return FTavrixDuration((Numerator + InRate.Numerator - 1) / InRate.Numerator);
}
} // namespace

TEST(TimecodeGeneration, NtscRateCountsWholeFramesFromTheStartFrame)
{
	constexpr int32_t StartFrame = 86400;
	EXPECT_EQ(TimecodeFrameAt(Ntsc, StartFrame, 0s), StartFrame);
	// 60 s at 30000/1001 is 1798.2 frames: the whole frames count.
	EXPECT_EQ(TimecodeFrameAt(Ntsc, StartFrame, 60s), StartFrame + 1798);
	EXPECT_EQ(TimecodeFrameAt(Ntsc, StartFrame, 1001ms), StartFrame + 30);
}

TEST(TimecodeGeneration, FrameChangesExactlyAtItsBoundary)
{
	for (const int64_t Frame : {1, 29, 30, 1799, 107892})
	{
		const FTavrixDuration Start = FrameStart(Ntsc, Frame);
		EXPECT_EQ(TimecodeFrameAt(Ntsc, 10, Start - 1ns), 10 + Frame - 1) << "frame " << Frame;
		EXPECT_EQ(TimecodeFrameAt(Ntsc, 10, Start), 10 + Frame) << "frame " << Frame;
	}
}

TEST(TimecodeGeneration, DoesNotDriftOverADay)
{
	// 86400 s * 30000 / 1001 = 2589410.59 frames; a per-frame increment of a rounded period would be off by now.
	EXPECT_EQ(TimecodeFrameAt(Ntsc, 0, 24h), 2589410);
	EXPECT_EQ(TimecodeFrameAt(FTavrixFrameRate{24000, 1001}, 0, 24h), 2071528);
	EXPECT_EQ(TimecodeFrameAt(FTavrixFrameRate{25, 1}, -100, 24h), 2160000 - 100);
}

TEST(TimecodeGeneration, UnknownRateHoldsTheStartFrame)
{
	EXPECT_EQ(TimecodeFrameAt(FTavrixFrameRate{25, 0}, 42, 10s), 42);
}

TEST(TimecodeGeneration, SaturatesInsteadOfWrapping)
{
	constexpr int32_t Max = std::numeric_limits<int32_t>::max();
	EXPECT_EQ(TimecodeFrameAt(Ntsc, Max - 10, 1h), Max);
	EXPECT_EQ(TimecodeFrameAt(FTavrixFrameRate{std::numeric_limits<int32_t>::max(), 1}, 0, FTavrixDuration::max()), Max);
}

TEST(TimecodeGeneration, MessageCarriesFrameAndRate)
{
	FTavrixCameraScript Script;
	Script.FrameRate = Ntsc;
	Script.StartFrame = 1000;
	const FTavrixCameraMessage Message = MakeCameraMessage(Script, 10s);
	EXPECT_EQ(Message.TimecodeFrame, 1000 + 299);
	EXPECT_EQ(Message.TimecodeNumerator, 30000);
	EXPECT_EQ(Message.TimecodeDenominator, 1001);
}
