// Replaying captured datagrams at the pace they were captured: an absolute schedule taken from their timestamps.
#pragma once

#include "TavrixSender.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace TavrixSend
{
/** One UDP payload taken from a capture, with the time it was captured. */
struct FTavrixCapturedDatagram
{
	/** Since the capture's epoch; only differences between datagrams matter. */
	FTavrixDuration Timestamp{};
	std::string Payload;
};

struct FTavrixCapturePacing
{
	/** How many times faster than captured; positive and finite. */
	double Speed = 1.0;
	/** Start over after the last datagram, the schedule running on without a pause or a jump. */
	bool bLoop = false;
	/** At most this many sends (failed ones included); 0 for no limit. */
	uint64_t MaxSends = 0;
	/** Sends are scheduled only before this much time has passed, and the run lasts that long. */
	std::optional<FTavrixDuration> MaxDuration;
	/** A send error that has lasted this long without a successful send in between ends the run. */
	FTavrixDuration FailureLimit = std::chrono::seconds(1);
};

struct FTavrixCaptureReplayReport : FTavrixSendReport
{
	/** Passes through the capture begun, the first one included. */
	uint64_t Passes = 0;
};

/**
 * Datagram k of a pass is due at start + (its timestamp - the first datagram's timestamp) / speed, computed from the
 * timestamps rather than from the previous send, so that late wake-ups never add up. A datagram whose time has already
 * passed is sent at once: a replay keeps every datagram and its order, unlike the camera stream, which skips ahead.
 * A datagram stamped before the first one is late from the start. In a loop each pass is one capture-span plus one
 * mean gap between datagrams after the previous one, so a steady stream stays steady across the seam; a capture with
 * no span (one datagram, or all stamped alike) repeats once a second of capture time.
 */
class FTavrixCaptureReplayer
{
public:
	/** The datagrams, sink and clock must outlive the replayer. */
	FTavrixCaptureReplayer(std::span<const FTavrixCapturedDatagram> InDatagrams, ITavrixDatagramSink& InSink,
		const FTavrixCapturePacing& InPacing, ITavrixClock& InClock);

	/** Runs on the calling thread until done. A stop request ends the run at the next wait, without sending. */
	FTavrixCaptureReplayReport Run(FTavrixStopSignal& InStop);

	/** Capture time from the first datagram of one pass to the first of the next. */
	FTavrixDuration GetPassSpan() const { return PassSpan; }

private:
	/** When the datagram InIndex of pass InPass is due, measured from the start of the run. */
	FTavrixDuration ScheduledOffset(uint64_t InPass, size_t InIndex) const;

	std::span<const FTavrixCapturedDatagram> Datagrams;
	ITavrixDatagramSink& Sink;
	FTavrixCapturePacing Pacing;
	ITavrixClock& Clock;
	FTavrixDuration PassSpan{};
};
} // namespace TavrixSend
