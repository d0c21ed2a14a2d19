#pragma once

#include "CoreMinimal.h"

/** The sender's timecode as decoded: frame number, rate numerator, rate denominator. */
struct FTavrixTimecode
{
	int32 Frame = 0;
	int32 RateNumerator = 0;
	int32 RateDenominator = 0;
};

/**
 * The local frame clock that carries the sender's timecode between datagrams. It counts frames on the monotonic
 * millisecond clock at the sender's rate and keeps an offset to the sender's frame numbers. Pure arithmetic over
 * the times it is given, so a test can drive it through any sequence of ticks and arrivals; the source owns one and
 * ticks it on the game thread.
 *
 * - The count is continuous: a new rate counts only the time after the tick that saw it, so a rate change never
 *   makes the count (and the published time) jump.
 * - Synchronising (the first usable timecode, or a fresh one more than two frames away from what the clock would
 *   publish) publishes exactly the sender's frame number. The sub-frame is how far the sender has got into that
 *   frame: the time since the datagram arrived, at the sender's rate. From then on the clock runs on from there.
 * - Between datagrams, and while a fresh timecode stays within two frames, the published time follows the local
 *   count alone, so it never runs backwards unless the sender jumps back.
 */
class FTavrixFrameClock
{
public:
	/** A clock that has seen no timecode yet, counting at 25 frames per second from InStartTimeMs. */
	explicit FTavrixFrameClock(int64 InStartTimeMs = 0)
		: StartTimeMs(InStartTimeMs)
	{
	}

	/** Frames counted at NowMs, at the current rate; kept in double so days of uptime lose no sub-frame precision. */
	double CountAt(int64 NowMs) const { return StartCount + static_cast<double>(NowMs - StartTimeMs) * 0.001 * FrameRate; }

	/**
	 * One tick at NowMs. False, with nothing changed, when the timecode carries no usable rate (numerator or
	 * denominator not positive). Otherwise true with the scene time to publish. bTimecodeIsFresh tells whether the
	 * timecode came with a datagram decoded since the previous tick, and ArrivalMs when that datagram was received:
	 * only a fresh timecode may re-synchronise a running clock.
	 */
	bool Tick(int64 NowMs, const FTavrixTimecode& Timecode, bool bTimecodeIsFresh, int64 ArrivalMs, FQualifiedFrameTime& OutSceneTime);

	double GetFrameRate() const { return FrameRate; }
	int64 GetFrameOffset() const { return FrameOffset; }
	bool IsSynchronised() const { return bSynchronised; }

	/** Moves the clock's origin back by DeltaMs, as if it had been started that much earlier. */
	void ShiftStartTime(int64 DeltaMs) { StartTimeMs -= DeltaMs; }

private:
	/** Frames per second at which the count advances; the sender's last usable rate. */
	double FrameRate = 25.0;
	/** The moment at which the count was StartCount: the start, the last rate change or the last synchronisation. */
	int64 StartTimeMs = 0;
	double StartCount = 0.0;
	/** Sender's frame number minus the local count's whole frames; any value once synchronised, negative included. */
	int64 FrameOffset = -1;
	bool bSynchronised = false;
};
