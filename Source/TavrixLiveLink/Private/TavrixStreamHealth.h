#pragma once

#include "CoreMinimal.h"
#include "TavrixFrameClock.h"

#include <array>
#include <atomic>

/** The health of a source's stream at one moment, as plain values. */
struct FTavrixStreamHealthSnapshot
{
	/** Whether a datagram has been read; the sender of the latest one: IPv4 address in host order, UDP port. */
	bool bHasSender = false;
	uint32 SenderAddress = 0;
	uint16 SenderPort = 0;
	/** Microseconds from the arrival of the latest datagram to the reading; -1 before the first. */
	int64 LastDatagramAgeUs = -1;
	/** Datagrams that arrived within the last second. */
	double DatagramsPerSecond = 0.0;
	/** Standard deviation of the intervals between consecutive arrivals within the last second, in milliseconds. */
	double ArrivalJitterMs = 0.0;
	uint64 DatagramsReceived = 0;
	uint64 DatagramsRejected = 0;
	uint64 MessagesWithForeignMembers = 0;
	/** The foreign members of those messages, each counted (the log writes only some of them one by one). */
	uint64 ForeignMembers = 0;
	uint64 TimecodeGaps = 0;
	uint64 TimecodeFramesMissed = 0;
	uint64 TimecodeStepsBack = 0;
	uint64 TimecodeJumps = 0;
	/** Datagrams from senders the source does not accept, and the latest such sender (as SenderAddress and SenderPort). */
	uint64 DatagramsFromOtherSenders = 0;
	bool bHasOtherSender = false;
	uint32 OtherSenderAddress = 0;
	uint16 OtherSenderPort = 0;
};

/**
 * Counts what a source's stream does: who sends, how often and how regularly, what the decoder refuses, and whether
 * the sender's timecode runs on without holes or jumps. Pure code over the times it is given (microseconds of one
 * monotonic clock), so a test drives it through any scripted stream.
 *
 * Threads: the Record functions are called by one thread at a time (the receive thread) and touch only atomics and
 * state of their own; Read may be called from any other thread meanwhile, and sees each counter whole. No lock.
 */
class FTavrixStreamHealth
{
public:
	/** Arrival times kept for the one-second window; beyond this many datagrams a second, the rate is estimated. */
	static constexpr int32 ArrivalCapacity = 2048;
	static constexpr int64 WindowUs = 1000000;
	/** Frames a timecode may stray from where the time since the previous datagram puts it: the frame clock's tolerance. */
	static constexpr double JumpToleranceFrames = 2.0;
	/** Positive steps the usual step is taken from. */
	static constexpr int32 UsualStepHistory = 8;

	/** The sender of a datagram just read (receive thread). */
	void RecordSender(uint32 Address, uint16 Port);
	/** A datagram just read from a sender the source does not accept, and so not decoded (receive thread). */
	void RecordOtherSender(uint32 Address, uint16 Port);
	/**
	 * One datagram handed to the decoder, what the decoder made of it (ForeignMembers: its foreign top-level members),
	 * and the camera's timecode when the message held a camera (receive thread).
	 */
	void RecordDatagram(int64 ArrivalUs, bool bRejected, int32 ForeignMembers, const FTavrixTimecode* CameraTimecode);

	/** The values at NowUs (any thread). */
	FTavrixStreamHealthSnapshot Read(int64 NowUs) const;

private:
	void FollowTimecode(int64 ArrivalUs, const FTavrixTimecode& Timecode);
	/** One writer: a load and a store are enough, and cheaper than a locked add. */
	static void Add(std::atomic<uint64>& Counter, uint64 Amount)
	{
		Counter.store(Counter.load(std::memory_order_relaxed) + Amount, std::memory_order_relaxed);
	}

	/** 1 << 48 | address << 16 | port once a datagram was read, else 0. */
	std::atomic<uint64> Sender{0};
	/** The same for the latest datagram from a sender that is not accepted, and how many came from such senders. */
	std::atomic<uint64> OtherSender{0};
	std::atomic<uint64> OtherSenders{0};
	/** Arrival times, the datagram of index I in slot I % ArrivalCapacity. */
	std::array<std::atomic<int64>, ArrivalCapacity> Arrivals{};
	/** Datagrams recorded so far; published after the arrival slot is written. */
	std::atomic<uint64> ArrivalCount{0};
	std::atomic<uint64> Rejected{0};
	std::atomic<uint64> WithForeignMembers{0};
	std::atomic<uint64> ForeignMemberCount{0};
	std::atomic<uint64> Gaps{0};
	std::atomic<uint64> FramesMissed{0};
	std::atomic<uint64> StepsBack{0};
	std::atomic<uint64> Jumps{0};

	// The timecode followed so far; the writer's alone.
	bool bHasPreviousTimecode = false;
	FTavrixTimecode PreviousTimecode;
	int64 PreviousArrivalUs = 0;
	int64 RecentSteps[UsualStepHistory] = {};
	int32 RecentStepCount = 0;
	int32 NextRecentStep = 0;
};
