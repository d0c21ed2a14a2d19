#include "TavrixSyntheticCamera.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <limits>
#include <numbers>

namespace TavrixSend
{
namespace
{
constexpr int64_t NanosecondsPerSecond = 1'000'000'000;

int32_t SaturatingAdd(int32_t InBase, int64_t InIncrement)
{
	const int64_t Sum = static_cast<int64_t>(InBase) + std::min<int64_t>(InIncrement, std::numeric_limits<int32_t>::max());
	return static_cast<int32_t>(std::clamp<int64_t>(Sum, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

/** Yaw about +Z, then pitch about the turned +Y, as the host composes a rotator without roll. */
std::array<float, 4> LookRotation(double InYawRadians, double InPitchRadians)
{
	const double SinYaw = std::sin(InYawRadians * 0.5);
	const double CosYaw = std::cos(InYawRadians * 0.5);
	const double SinPitch = std::sin(InPitchRadians * 0.5);
	const double CosPitch = std::cos(InPitchRadians * 0.5);
	return {static_cast<float>(SinPitch * SinYaw), static_cast<float>(-SinPitch * CosYaw), static_cast<float>(CosPitch * SinYaw),
		static_cast<float>(CosPitch * CosYaw)};
}
} // namespace

FTavrixCameraPose EvaluateMotion(ETavrixMotion InMotion, const FTavrixOrbit& InOrbit, FTavrixDuration InElapsed)
{
	double Angle = 0.0;
	if (InMotion == ETavrixMotion::Orbit && InOrbit.PeriodSeconds > 0.0)
	{
		// Reduce in whole nanoseconds first so a stream that has run for days keeps full angular precision.
		const int64_t Period = std::max<int64_t>(1, std::llround(InOrbit.PeriodSeconds * NanosecondsPerSecond));
		int64_t Phase = InElapsed.count() % Period;
		if (Phase < 0)
		{
			Phase += Period;
		}
		Angle = 2.0 * std::numbers::pi * static_cast<double>(Phase) / static_cast<double>(Period);
	}

	const double OffsetX = -InOrbit.Radius * std::cos(Angle);
	const double OffsetY = -InOrbit.Radius * std::sin(Angle);
	FTavrixCameraPose Pose;
	Pose.Location = {static_cast<float>(InOrbit.Center[0] + OffsetX), static_cast<float>(InOrbit.Center[1] + OffsetY),
		static_cast<float>(InOrbit.Center[2] + InOrbit.Height)};

	const double Horizontal = std::hypot(OffsetX, OffsetY);
	const double Yaw = Horizontal > 0.0 ? std::atan2(-OffsetY, -OffsetX) : 0.0;
	const double Pitch = std::atan2(-InOrbit.Height, Horizontal);
	Pose.Rotation = LookRotation(Yaw, Pitch);
	return Pose;
}

int32_t TimecodeFrameAt(FTavrixFrameRate InRate, int32_t InStartFrame, FTavrixDuration InElapsed)
{
	const int64_t Elapsed = InElapsed.count();
	if (InRate.Numerator <= 0 || InRate.Denominator <= 0 || Elapsed <= 0)
	{
		return InStartFrame;
	}
	const int64_t Numerator = InRate.Numerator;
	const int64_t Denominator = InRate.Denominator;
	const int64_t Seconds = Elapsed / NanosecondsPerSecond;
	const int64_t Nanoseconds = Elapsed % NanosecondsPerSecond;
	if (Seconds > std::numeric_limits<int64_t>::max() / Numerator)
	{
		// Beyond this the frame count exceeds 2^32 whatever the denominator.
		return std::numeric_limits<int32_t>::max();
	}
	// floor(Elapsed * Numerator / (Denominator * 1e9)) in exact integers, split so that no product overflows.
	const int64_t WholeSecondFrames = Seconds * Numerator;
	const int64_t Frames = WholeSecondFrames / Denominator +
		((WholeSecondFrames % Denominator) * NanosecondsPerSecond + Nanoseconds * Numerator) / (Denominator * NanosecondsPerSecond);
	return SaturatingAdd(InStartFrame, Frames);
}

namespace
{
constexpr int64_t SecondsPerDay = 86400;

FTavrixCameraPose RampPose(const FTavrixRamp& InRamp, double InSecondsIntoPeriod)
{
	FTavrixCameraPose Pose;
	Pose.Location = {static_cast<float>(InRamp.SpeedCmPerSecond * InSecondsIntoPeriod), 0.0f, 0.0f};
	return Pose;
}

int64_t PositiveRemainder(int64_t InValue, int64_t InModulus)
{
	const int64_t Remainder = InValue % InModulus;
	return Remainder < 0 ? Remainder + InModulus : Remainder;
}
} // namespace

FTavrixCameraPose EvaluateRamp(const FTavrixRamp& InRamp, FTavrixDuration InTimeOfDay)
{
	const int64_t Period = std::max<int64_t>(1, InRamp.PeriodSeconds) * NanosecondsPerSecond;
	return RampPose(InRamp, static_cast<double>(PositiveRemainder(InTimeOfDay.count(), Period)) / NanosecondsPerSecond);
}

FTavrixCameraPose EvaluateRampAtFrame(const FTavrixRamp& InRamp, FTavrixFrameRate InRate, int32_t InFrame)
{
	if (InRate.Numerator <= 0 || InRate.Denominator <= 0)
	{
		return RampPose(InRamp, 0.0);
	}
	// The frame starts InFrame * Denominator / Numerator seconds after midnight. Reduced by the period in whole
	// multiples of 1 / Numerator, the remainder is exact (below 2^48) and only the final division rounds.
	const int64_t Ticks = static_cast<int64_t>(InFrame) * InRate.Denominator;
	const int64_t PeriodTicks = static_cast<int64_t>(std::max<int32_t>(1, InRamp.PeriodSeconds)) * InRate.Numerator;
	return RampPose(InRamp, static_cast<double>(PositiveRemainder(Ticks, PeriodTicks)) / InRate.Numerator);
}

FTavrixDuration LocalTimeOfDay(std::chrono::system_clock::time_point InNow)
{
	const auto WholeSeconds = std::chrono::floor<std::chrono::seconds>(InNow);
	const std::time_t Time = std::chrono::system_clock::to_time_t(WholeSeconds);
	std::tm Local{};
	if (localtime_r(&Time, &Local) == nullptr)
	{
		// Out of the calendar's range: the UTC time of day is all there is.
		return FTavrixDuration(PositiveRemainder(WholeSeconds.time_since_epoch().count(), SecondsPerDay) * NanosecondsPerSecond) +
			(InNow - WholeSeconds);
	}
	const int64_t SecondOfDay = static_cast<int64_t>(Local.tm_hour) * 3600 + Local.tm_min * 60 + Local.tm_sec;
	return std::chrono::duration_cast<FTavrixDuration>(std::chrono::seconds(SecondOfDay) + (InNow - WholeSeconds));
}

FTavrixDuration ReadLocalTimeOfDay()
{
	return LocalTimeOfDay(std::chrono::system_clock::now());
}

FTavrixRecordStatus RecordStatusAt(const FTavrixRecordPlan& InPlan, FTavrixDuration InElapsed)
{
	switch (InPlan.Mode)
	{
	case ETavrixRecordMode::On:
		return {true, InPlan.FirstTake};
	case ETavrixRecordMode::Toggle:
		if (InPlan.TogglePeriod.count() > 0)
		{
			const int64_t Interval = std::max<int64_t>(0, InElapsed / InPlan.TogglePeriod);
			const int64_t RecordingsStarted = Interval / 2 + Interval % 2;
			return {Interval % 2 == 1, SaturatingAdd(InPlan.FirstTake, std::max<int64_t>(0, RecordingsStarted - 1))};
		}
		break;
	case ETavrixRecordMode::Off:
		break;
	}
	return {false, InPlan.FirstTake};
}

bool ReadsTimeOfDay(const FTavrixCameraScript& InScript)
{
	return InScript.Motion == ETavrixMotion::Ramp || InScript.Timecode == ETavrixTimecodeSource::Clock;
}

FTavrixCameraMessage MakeCameraMessage(const FTavrixCameraScript& InScript, FTavrixDuration InElapsed, FTavrixDuration InTimeOfDay)
{
	const bool bClockTimecode = InScript.Timecode == ETavrixTimecodeSource::Clock;
	const int32_t Frame = bClockTimecode ? TimecodeFrameAt(InScript.FrameRate, 0, InTimeOfDay)
										 : TimecodeFrameAt(InScript.FrameRate, InScript.StartFrame, InElapsed);
	FTavrixCameraPose Pose;
	if (InScript.Motion != ETavrixMotion::Ramp)
	{
		Pose = EvaluateMotion(InScript.Motion, InScript.Orbit, InElapsed);
	}
	else if (bClockTimecode && InScript.FrameRate.Denominator > 0)
	{
		Pose = EvaluateRampAtFrame(InScript.Ramp, InScript.FrameRate, Frame);
	}
	else
	{
		Pose = EvaluateRamp(InScript.Ramp, InTimeOfDay);
	}
	const FTavrixRecordStatus Record = RecordStatusAt(InScript.Record, InElapsed);

	FTavrixCameraMessage Message;
	Message.Version = InScript.Version;
	Message.Location = Pose.Location;
	Message.Rotation = Pose.Rotation;
	Message.Lens = InScript.Lens;
	Message.TimecodeFrame = Frame;
	Message.TimecodeNumerator = InScript.FrameRate.Numerator;
	Message.TimecodeDenominator = InScript.FrameRate.Denominator;
	Message.Metadata = {InScript.FirstText, InScript.Scene, std::to_string(Record.Take)};
	Message.State = Record.bRecording ? RecordingState : IdleState;
	return Message;
}
} // namespace TavrixSend
