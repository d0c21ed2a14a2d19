#include "TavrixSender.h"
#include "TavrixSyntheticCamera.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <ctime>
#include <limits>
#include <optional>
#include <string>
#include <vector>

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

namespace
{
constexpr FTavrixDuration OneDay = 24h;

/** The last frame that starts before midnight at InRate. */
int32_t LastFrameOfDay(FTavrixFrameRate InRate)
{
	return static_cast<int32_t>((86400LL * InRate.Numerator - 1) / InRate.Denominator);
}

FTavrixCameraScript ClockScript(FTavrixFrameRate InRate)
{
	FTavrixCameraScript Script;
	Script.Timecode = ETavrixTimecodeSource::Clock;
	Script.FrameRate = InRate;
	// The clock's timecode ignores it; a value that would show if it did not.
	Script.StartFrame = 5000;
	return Script;
}

int32_t FrameOfPayload(const std::string& InPayload)
{
	return nlohmann::json::parse(InPayload).at("TVKCamera").at(0).at("Timecode").at(0).get<int32_t>();
}

/** Restores the time zone when the scope ends, so that later tests in the process see the one they started with. */
class FTimeZoneOverride
{
public:
	FTimeZoneOverride()
	{
		const char* Previous = std::getenv("TZ");
		PreviousZone = Previous != nullptr ? std::optional<std::string>(Previous) : std::nullopt;
	}
	~FTimeZoneOverride()
	{
		if (PreviousZone)
		{
			setenv("TZ", PreviousZone->c_str(), 1);
		}
		else
		{
			unsetenv("TZ");
		}
		tzset();
	}
	FTimeZoneOverride(const FTimeZoneOverride&) = delete;
	FTimeZoneOverride& operator=(const FTimeZoneOverride&) = delete;

	void Set(const char* InZone)
	{
		setenv("TZ", InZone, 1);
		tzset();
	}

private:
	std::optional<std::string> PreviousZone;
};
} // namespace

TEST(TimecodeGeneration, ClockTimecodeIsTheFrameOfTheTimeOfDay)
{
	// Noon at 30000/1001 is 1294705.29 frames after midnight.
	EXPECT_EQ(MakeCameraMessage(ClockScript(Ntsc), 3s, 12h).TimecodeFrame, 1294705);
	EXPECT_EQ(MakeCameraMessage(ClockScript(FTavrixFrameRate{25, 1}), 3s, 12h + 39ms).TimecodeFrame, 1080000);
	EXPECT_EQ(MakeCameraMessage(ClockScript(FTavrixFrameRate{25, 1}), 3s, 12h + 40ms).TimecodeFrame, 1080001);
	for (const FTavrixFrameRate Rate : {Ntsc, FTavrixFrameRate{25, 1}, FTavrixFrameRate{24000, 1001}, FTavrixFrameRate{60, 1}})
	{
		const FTavrixCameraScript Script = ClockScript(Rate);
		for (const int32_t Frame : {1, 29, 1799, 107892, LastFrameOfDay(Rate)})
		{
			const FTavrixDuration Start = FrameStart(Rate, Frame);
			ASSERT_LT(Start, OneDay);
			// The stream's own elapsed time plays no part.
			EXPECT_EQ(MakeCameraMessage(Script, 123s, Start - 1ns).TimecodeFrame, Frame - 1) << Rate.Numerator << " frame " << Frame;
			EXPECT_EQ(MakeCameraMessage(Script, 0s, Start).TimecodeFrame, Frame) << Rate.Numerator << " frame " << Frame;
		}
		const FTavrixCameraMessage Message = MakeCameraMessage(Script, 0s, 0s);
		EXPECT_EQ(Message.TimecodeFrame, 0);
		EXPECT_EQ(Message.TimecodeNumerator, Rate.Numerator);
		EXPECT_EQ(Message.TimecodeDenominator, Rate.Denominator);
	}
}

TEST(TimecodeGeneration, ClockTimecodeStartsOverAtMidnightAndReadsTheClockOncePerMessage)
{
	const std::vector<FTavrixDuration> Readings = {OneDay - 10ms, OneDay - 1ns, 0ns, 40ms, 1001ms};
	size_t Reads = 0;
	FTavrixCameraPayloads Payloads(ClockScript(Ntsc), [&Readings, &Reads] { return Readings.at(Reads++); });
	std::vector<int32_t> Frames;
	std::string Payload;
	for (size_t Index = 0; Index < Readings.size(); ++Index)
	{
		// The scheduled offset stands still: only the clock moves the frame.
		ASSERT_TRUE(Payloads.NextPayload(2s, Payload));
		EXPECT_EQ(Reads, Index + 1);
		Frames.push_back(FrameOfPayload(Payload));
	}
	EXPECT_EQ(Frames, (std::vector<int32_t>{2589410, 2589410, 0, 1, 30}));
}

TEST(TimecodeGeneration, TimeOfDayIsTheLocalOneWithItsFraction)
{
	FTimeZoneOverride Zone;
	// 1700000000 s after the epoch is 22:13:20 UTC.
	const std::chrono::system_clock::time_point Instant{std::chrono::seconds(1700000000) + 250ms};
	Zone.Set("UTC0");
	EXPECT_EQ(LocalTimeOfDay(Instant), 22h + 13min + 20s + 250ms);
	Zone.Set("EST5");
	EXPECT_EQ(LocalTimeOfDay(Instant), 17h + 13min + 20s + 250ms);
	// Five and a half hours east of Greenwich it is already the next day.
	Zone.Set("<+0530>-5:30");
	EXPECT_EQ(LocalTimeOfDay(Instant), 3h + 43min + 20s + 250ms);
	EXPECT_EQ(LocalTimeOfDay(Instant + 1ns), 3h + 43min + 20s + 250ms + 1ns);
}
