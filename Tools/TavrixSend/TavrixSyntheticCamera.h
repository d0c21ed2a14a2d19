// A made-up camera for exercising the receiver: motion, timecode, scene, take and record state as pure functions
// of the time elapsed since the stream started and of the time of day it is sent at, so that any clock (a real one
// or a test's) can drive them.
#pragma once

#include "TavrixCameraMessage.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace TavrixSend
{
using FTavrixDuration = std::chrono::nanoseconds;

enum class ETavrixMotion
{
	/** Holds the first pose of the orbit. */
	Static,
	/** Circles the orbit's center, always looking at it. */
	Orbit,
	/** Slides along +X as a known function of the local time of day, so that any instant's true pose is known. */
	Ramp,
};

/** A horizontal circle around a point, in centimetres, with the host's axes: X forward, Y right, Z up. */
struct FTavrixOrbit
{
	std::array<double, 3> Center{0.0, 0.0, 0.0};
	double Radius = 300.0;
	/** Height of the circle above the center; a camera above it looks down at the center. */
	double Height = 150.0;
	/** One full turn; positive. */
	double PeriodSeconds = 10.0;
};

struct FTavrixCameraPose
{
	std::array<float, 3> Location{0.0f, 0.0f, 0.0f};
	/** Unit quaternion X, Y, Z, W turning the camera's forward axis (+X) towards where it looks; no roll. */
	std::array<float, 4> Rotation{0.0f, 0.0f, 0.0f, 1.0f};
};

/**
 * The pose InElapsed after the start, for the motions that follow the stream's own time (the ramp follows the time of
 * day instead: EvaluateRamp). The orbit starts on the -X side of the center, so the camera first looks along
 * +X, and moves on towards the -Y side. A camera directly above the center (radius 0) has no defined heading: it
 * keeps looking along +X, pitched straight down.
 */
FTavrixCameraPose EvaluateMotion(ETavrixMotion InMotion, const FTavrixOrbit& InOrbit, FTavrixDuration InElapsed);

/** A frame rate as a fraction, frames per second = Numerator / Denominator. Denominator 0: no timecode known. */
struct FTavrixFrameRate
{
	int32_t Numerator = 25;
	int32_t Denominator = 1;
};

/**
 * The ramp: Location = (SpeedCmPerSecond * (t mod PeriodSeconds), 0, 0) in centimetres, no rotation, scale 1, where t
 * is the local time of day in seconds since midnight. Starting over every period keeps X small, so that the message's
 * 32-bit floats resolve the pose as finely at midnight as at noon (to a few microseconds of motion with the default
 * speed and period) instead of ever more coarsely through the day; a period that divides the day makes midnight one
 * of the ordinary restarts.
 */
struct FTavrixRamp
{
	/** Any finite speed; negative slides along -X. */
	double SpeedCmPerSecond = 100.0;
	/** Whole seconds that divide 86400. */
	int32_t PeriodSeconds = 60;
};

/** The ramp's pose at the time of day InTimeOfDay. */
FTavrixCameraPose EvaluateRamp(const FTavrixRamp& InRamp, FTavrixDuration InTimeOfDay);

/**
 * The ramp's pose at the first instant of timecode frame InFrame counted from midnight, InFrame / rate seconds,
 * computed exactly from the fraction rather than from a rounded instant. Without a known rate it is the pose at
 * midnight.
 */
FTavrixCameraPose EvaluateRampAtFrame(const FTavrixRamp& InRamp, FTavrixFrameRate InRate, int32_t InFrame);

enum class ETavrixTimecodeSource
{
	/** Counts whole frames from the start frame at the start of the stream. */
	Count,
	/** The frame of the local time of day: floor(seconds since midnight * rate), restarting from 0 at midnight. */
	Clock,
};

/** The local time of day, from midnight, at the moment it is called. */
using FTavrixTimeOfDaySource = std::function<FTavrixDuration()>;

/**
 * InNow's time of day in the system's local time zone (as localtime_r gives it, so it jumps with daylight-saving
 * changes), with InNow's sub-second part kept whole.
 */
FTavrixDuration LocalTimeOfDay(std::chrono::system_clock::time_point InNow);

/** Reads the system clock's local time of day; the source the camera uses unless it is given another. */
FTavrixDuration ReadLocalTimeOfDay();

/**
 * The frame number InElapsed after a stream that starts at InStartFrame: the start frame plus the whole frames that
 * have elapsed, computed exactly from the elapsed time rather than counted, so it never drifts from the clock. It
 * saturates at the 32-bit limit; without a known rate (denominator 0) or before the start it stays at InStartFrame.
 */
int32_t TimecodeFrameAt(FTavrixFrameRate InRate, int32_t InStartFrame, FTavrixDuration InElapsed);

enum class ETavrixRecordMode
{
	Off,
	On,
	/** Alternates every TogglePeriod, starting not recording so the receiver has seen the slate before it records. */
	Toggle,
};

struct FTavrixRecordPlan
{
	ETavrixRecordMode Mode = ETavrixRecordMode::Off;
	/** Length of each idle and each recording interval in Toggle mode; positive. */
	FTavrixDuration TogglePeriod = std::chrono::seconds(10);
	/** The take number announced until the second recording starts. */
	int32_t FirstTake = 1;
};

struct FTavrixRecordStatus
{
	bool bRecording = false;
	int32_t Take = 1;
};

/**
 * Record state and take number InElapsed after the start. In Toggle mode each recording after the first announces
 * the next take number, and it does so in the message that starts the recording: the take never changes while a
 * recording runs, and the idle interval after a recording still shows the take just recorded. Saturates at the
 * 32-bit limit.
 */
FTavrixRecordStatus RecordStatusAt(const FTavrixRecordPlan& InPlan, FTavrixDuration InElapsed);

/** Everything that shapes the made-up camera's messages. */
struct FTavrixCameraScript
{
	ETavrixMotion Motion = ETavrixMotion::Orbit;
	FTavrixOrbit Orbit;
	std::array<double, 4> Lens = FTavrixCameraMessage{}.Lens;
	FTavrixRamp Ramp;
	FTavrixFrameRate FrameRate;
	ETavrixTimecodeSource Timecode = ETavrixTimecodeSource::Count;
	/** The first frame when the timecode counts; the clock's timecode does not use it. */
	int32_t StartFrame = 0;
	FTavrixRecordPlan Record;
	/** UTF-8 texts; the builder escapes them. */
	std::string FirstText;
	std::string Scene = "Scene 1";
	int32_t Version = 1;
};

/** True when the script's messages depend on the time of day they are sent at. */
bool ReadsTimeOfDay(const FTavrixCameraScript& InScript);

/**
 * The complete message InElapsed after the start of the stream, sent at the local time of day InTimeOfDay (which only
 * the clock's timecode and the ramp read). With both of those, the ramp is taken at the first instant of the
 * message's own frame rather than at InTimeOfDay, so that the pose of each timecode is exactly known.
 */
FTavrixCameraMessage MakeCameraMessage(
	const FTavrixCameraScript& InScript, FTavrixDuration InElapsed, FTavrixDuration InTimeOfDay = FTavrixDuration::zero());
} // namespace TavrixSend
