// A made-up camera for exercising the receiver: motion, timecode, scene, take and record state as pure functions
// of the time elapsed since the stream started, so that any clock (a real one or a test's) can drive them.
#pragma once

#include "TavrixCameraMessage.h"

#include <array>
#include <chrono>
#include <cstdint>
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
 * The pose InElapsed after the start. The orbit starts on the -X side of the center, so the camera first looks along
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
	FTavrixFrameRate FrameRate;
	int32_t StartFrame = 0;
	FTavrixRecordPlan Record;
	/** UTF-8 texts; the builder escapes them. */
	std::string FirstText;
	std::string Scene = "Scene 1";
	int32_t Version = 1;
};

/** The complete message InElapsed after the start of the stream. */
FTavrixCameraMessage MakeCameraMessage(const FTavrixCameraScript& InScript, FTavrixDuration InElapsed);
} // namespace TavrixSend
