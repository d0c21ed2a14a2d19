#include "TavrixSyntheticCamera.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace TavrixSend;
using namespace std::chrono_literals;

namespace
{
/** The documented ramp at frame InFrame's start, worked out independently in long double. */
double RampXAtFrame(double InSpeed, int32_t InPeriod, FTavrixFrameRate InRate, int32_t InFrame)
{
	const long double Seconds = static_cast<long double>(InFrame) * InRate.Denominator / InRate.Numerator;
	return static_cast<double>(InSpeed * std::fmod(Seconds, static_cast<long double>(InPeriod)));
}

void ExpectOnTheXAxisUnturned(const FTavrixCameraPose& InPose)
{
	EXPECT_EQ(InPose.Location[1], 0.0f);
	EXPECT_EQ(InPose.Location[2], 0.0f);
	EXPECT_EQ(InPose.Rotation, (std::array<float, 4>{0.0f, 0.0f, 0.0f, 1.0f}));
}

FTavrixCameraScript RampScript(ETavrixTimecodeSource InTimecode, FTavrixFrameRate InRate)
{
	FTavrixCameraScript Script;
	Script.Motion = ETavrixMotion::Ramp;
	Script.Timecode = InTimecode;
	Script.FrameRate = InRate;
	return Script;
}
} // namespace

TEST(MotionRamp, XIsTheSpeedTimesTheTimeOfDayWithinThePeriod)
{
	const FTavrixDuration Reading = 12h + 34min + 56789ms;
	FTavrixRamp Ramp;
	FTavrixCameraPose Pose = EvaluateRamp(Ramp, Reading);
	EXPECT_FLOAT_EQ(Pose.Location[0], 100.0f * 56.789f);
	ExpectOnTheXAxisUnturned(Pose);

	Ramp.PeriodSeconds = 3600;
	Pose = EvaluateRamp(Ramp, Reading);
	EXPECT_FLOAT_EQ(Pose.Location[0], 100.0f * (34 * 60 + 56.789f));

	Ramp.SpeedCmPerSecond = -25.5;
	Ramp.PeriodSeconds = 86400;
	Pose = EvaluateRamp(Ramp, Reading);
	EXPECT_FLOAT_EQ(Pose.Location[0], static_cast<float>(-25.5 * (12 * 3600 + 34 * 60 + 56.789)));
	ExpectOnTheXAxisUnturned(Pose);
}

TEST(MotionRamp, StartsOverAtEveryPeriodAndAtMidnight)
{
	const FTavrixRamp Ramp;
	EXPECT_FLOAT_EQ(EvaluateRamp(Ramp, 24h - 500ms).Location[0], 5950.0f);
	EXPECT_FLOAT_EQ(EvaluateRamp(Ramp, 500ms).Location[0], 50.0f);
	EXPECT_FLOAT_EQ(EvaluateRamp(Ramp, 60s - 1us).Location[0], 5999.9999f);
	EXPECT_EQ(EvaluateRamp(Ramp, 60s).Location[0], 0.0f);
	EXPECT_EQ(EvaluateRamp(Ramp, 0s).Location[0], 0.0f);
	// Late in the day X is as finely resolved as just after midnight.
	EXPECT_EQ(EvaluateRamp(Ramp, 23h + 59min + 1234567us).Location[0], EvaluateRamp(Ramp, 1234567us).Location[0]);
}

TEST(MotionRamp, PoseOfAFrameIsTheRampAtTheFrameStart)
{
	for (const FTavrixFrameRate Rate : {FTavrixFrameRate{30000, 1001}, FTavrixFrameRate{25, 1}, FTavrixFrameRate{24000, 1001}})
	{
		for (const FTavrixRamp Ramp : {FTavrixRamp{}, FTavrixRamp{-37.25, 3600}, FTavrixRamp{3.5, 86400}})
		{
			for (const int32_t Frame : {0, 1, 29, 1798, 1799, 107892, 1294705, 2071527, 2159999})
			{
				const FTavrixCameraPose Pose = EvaluateRampAtFrame(Ramp, Rate, Frame);
				const double Expected = RampXAtFrame(Ramp.SpeedCmPerSecond, Ramp.PeriodSeconds, Rate, Frame);
				// Within the float's rounding of the documented value.
				EXPECT_NEAR(Pose.Location[0], Expected, std::abs(Expected) * 1e-7 + 1e-9)
					<< Rate.Numerator << "/" << Rate.Denominator << " frame " << Frame << " speed " << Ramp.SpeedCmPerSecond;
				ExpectOnTheXAxisUnturned(Pose);
			}
		}
	}
}

TEST(MotionRamp, ClockTimecodeTakesTheRampAtItsFrameAndCountedTimecodeAtTheReading)
{
	constexpr FTavrixFrameRate Rate{25, 1};
	// 10.03 s is 0.75 of the way into frame 250, which starts at 10 s.
	const FTavrixCameraMessage Clocked = MakeCameraMessage(RampScript(ETavrixTimecodeSource::Clock, Rate), 7s, 10030ms);
	EXPECT_EQ(Clocked.TimecodeFrame, 250);
	EXPECT_FLOAT_EQ(Clocked.Location[0], 1000.0f);
	EXPECT_EQ(Clocked.Scale, (std::array<float, 3>{1.0f, 1.0f, 1.0f}));
	EXPECT_EQ(Clocked.Rotation, (std::array<float, 4>{0.0f, 0.0f, 0.0f, 1.0f}));

	FTavrixCameraScript Counted = RampScript(ETavrixTimecodeSource::Count, Rate);
	Counted.StartFrame = 90;
	const FTavrixCameraMessage Message = MakeCameraMessage(Counted, 2s, 10030ms);
	EXPECT_EQ(Message.TimecodeFrame, 140);
	EXPECT_FLOAT_EQ(Message.Location[0], 1003.0f);

	// At 30000/1001 frame 2589410 starts 86399.9766 s after midnight, 59.9766 s into the last minute of the day.
	const FTavrixCameraMessage Ntsc =
		MakeCameraMessage(RampScript(ETavrixTimecodeSource::Clock, FTavrixFrameRate{30000, 1001}), 0s, 24h - 1ms);
	EXPECT_EQ(Ntsc.TimecodeFrame, 2589410);
	EXPECT_NEAR(Ntsc.Location[0], 100.0 * (2589410.0 * 1001.0 / 30000.0 - 86340.0), 1e-3);
}
