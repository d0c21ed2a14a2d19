#include "TavrixStreamHealth.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

namespace
{
constexpr int64 Second = 1000000;
constexpr int64 Ms = 1000;

/** A stream scripted on its own clock: every datagram arrives a given number of microseconds after the previous one. */
class FScriptedStream
{
public:
	/** A camera datagram with this timecode. */
	void Camera(int64 AfterUs, int32 Frame, int32 RateNumerator = 25, int32 RateDenominator = 1)
	{
		NowUs += AfterUs;
		const FTavrixTimecode Timecode{Frame, RateNumerator, RateDenominator};
		Health->RecordDatagram(NowUs, false, false, &Timecode);
	}
	/** Camera datagrams at Frame, Frame + Step, ... every IntervalUs. */
	void Cameras(int32 Count, int64 IntervalUs, int32 Frame, int32 Step = 1, int32 RateNumerator = 25, int32 RateDenominator = 1)
	{
		for (int32 Index = 0; Index < Count; ++Index)
		{
			Camera(IntervalUs, Frame + Index * Step, RateNumerator, RateDenominator);
		}
	}
	/** A datagram that held no camera. */
	void Other(int64 AfterUs, bool bRejected, bool bHasForeignMembers)
	{
		NowUs += AfterUs;
		Health->RecordDatagram(NowUs, bRejected, bHasForeignMembers, nullptr);
	}
	FTavrixStreamHealthSnapshot Read(int64 LaterUs = 0) const { return Health->Read(NowUs + LaterUs); }

	std::unique_ptr<FTavrixStreamHealth> Health = std::make_unique<FTavrixStreamHealth>();
	/** An arbitrary start: the clock is the source's monotonic one, whose origin means nothing. */
	int64 NowUs = 5000 * Second;
};

void ExpectNoTimecodeFaults(const FTavrixStreamHealthSnapshot& Snapshot)
{
	EXPECT_EQ(Snapshot.TimecodeGaps, 0u);
	EXPECT_EQ(Snapshot.TimecodeFramesMissed, 0u);
	EXPECT_EQ(Snapshot.TimecodeStepsBack, 0u);
	EXPECT_EQ(Snapshot.TimecodeJumps, 0u);
}

TEST(StreamCounting, NothingReceivedReadsAsNothing)
{
	FScriptedStream Stream;
	const FTavrixStreamHealthSnapshot Snapshot = Stream.Read();
	EXPECT_FALSE(Snapshot.bHasSender);
	EXPECT_EQ(Snapshot.LastDatagramAgeUs, -1);
	EXPECT_EQ(Snapshot.DatagramsPerSecond, 0.0);
	EXPECT_EQ(Snapshot.ArrivalJitterMs, 0.0);
	EXPECT_EQ(Snapshot.DatagramsReceived, 0u);
}

TEST(StreamCounting, SenderIsTheLatestOne)
{
	FScriptedStream Stream;
	Stream.Health->RecordSender(0x0a000105, 50123);
	Stream.Health->RecordSender(0xc0a80a05, 9001);
	const FTavrixStreamHealthSnapshot Snapshot = Stream.Read();
	EXPECT_TRUE(Snapshot.bHasSender);
	EXPECT_EQ(Snapshot.SenderAddress, 0xc0a80a05u);
	EXPECT_EQ(Snapshot.SenderPort, 9001);
}

TEST(StreamCounting, SteadyStreamHasItsRateNoJitterAndNoFaults)
{
	FScriptedStream Stream;
	Stream.Cameras(75, 40 * Ms, 1000);
	const FTavrixStreamHealthSnapshot Snapshot = Stream.Read();
	EXPECT_EQ(Snapshot.DatagramsReceived, 75u);
	EXPECT_EQ(Snapshot.DatagramsPerSecond, 25.0);
	EXPECT_EQ(Snapshot.ArrivalJitterMs, 0.0);
	EXPECT_EQ(Snapshot.LastDatagramAgeUs, 0);
	EXPECT_EQ(Snapshot.DatagramsRejected, 0u);
	EXPECT_EQ(Snapshot.MessagesWithForeignMembers, 0u);
	ExpectNoTimecodeFaults(Snapshot);
}

TEST(StreamCounting, RateCountsTheLastSecondOnlyAndFallsToZeroWhenTheStreamStops)
{
	FScriptedStream Stream;
	Stream.Cameras(75, 40 * Ms, 1000);
	// Half a second later the window holds the arrivals of its first half: the last one and 12 before it.
	FTavrixStreamHealthSnapshot Snapshot = Stream.Read(500 * Ms);
	EXPECT_EQ(Snapshot.DatagramsPerSecond, 13.0);
	EXPECT_EQ(Snapshot.LastDatagramAgeUs, 500 * Ms);
	// An arrival exactly one second old is out of the window.
	Snapshot = Stream.Read(Second);
	EXPECT_EQ(Snapshot.DatagramsPerSecond, 0.0);
	EXPECT_EQ(Snapshot.ArrivalJitterMs, 0.0);
	EXPECT_EQ(Snapshot.LastDatagramAgeUs, Second);
	EXPECT_EQ(Snapshot.DatagramsReceived, 75u);
}

TEST(StreamCounting, JitterIsTheStandardDeviationOfTheIntervalsWithinTheLastSecond)
{
	FScriptedStream Stream;
	// Very irregular first, then a second of intervals alternating 30 and 50 ms: a deviation of 10 ms either way.
	Stream.Cameras(10, 300 * Ms, 1, 8);
	for (int32 Index = 0; Index < 25; ++Index)
	{
		Stream.Camera(Index % 2 == 0 ? 50 * Ms : 30 * Ms, 100 + Index);
	}
	const FTavrixStreamHealthSnapshot Snapshot = Stream.Read();
	EXPECT_EQ(Snapshot.DatagramsPerSecond, 25.0);
	EXPECT_DOUBLE_EQ(Snapshot.ArrivalJitterMs, 10.0);
}

TEST(StreamCounting, RateBeyondWhatTheWindowKeepsIsEstimatedFromTheArrivalsKept)
{
	FScriptedStream Stream;
	for (int32 Index = 0; Index < 6000; ++Index)
	{
		Stream.Other(200, false, false);
	}
	const FTavrixStreamHealthSnapshot Snapshot = Stream.Read();
	EXPECT_DOUBLE_EQ(Snapshot.DatagramsPerSecond, 5000.0);
	EXPECT_NEAR(Snapshot.ArrivalJitterMs, 0.0, 1e-9);
	EXPECT_EQ(Snapshot.DatagramsReceived, 6000u);
}

TEST(StreamCounting, RejectedDatagramsAndForeignMembersAreCountedApart)
{
	FScriptedStream Stream;
	Stream.Other(Ms, true, false);
	Stream.Other(Ms, true, false);
	Stream.Other(Ms, false, true);
	Stream.Camera(Ms, 10);
	Stream.NowUs += Ms;
	const FTavrixTimecode Timecode{11, 25, 1};
	Stream.Health->RecordDatagram(Stream.NowUs, false, 3, &Timecode);
	const FTavrixStreamHealthSnapshot Snapshot = Stream.Read();
	EXPECT_EQ(Snapshot.DatagramsReceived, 5u);
	EXPECT_EQ(Snapshot.DatagramsRejected, 2u);
	EXPECT_EQ(Snapshot.MessagesWithForeignMembers, 2u);
	EXPECT_EQ(Snapshot.ForeignMembers, 4u) << "one, then three";
	ExpectNoTimecodeFaults(Snapshot);
}

TEST(StreamCounting, WithheldDatagramsMakeOneGapEachWithTheFramesMissed)
{
	FScriptedStream Stream;
	Stream.Cameras(10, 40 * Ms, 100); // 100..109
	// 110, 111 and 112 are withheld; 113 arrives when it is due.
	Stream.Camera(4 * 40 * Ms, 113);
	Stream.Cameras(5, 40 * Ms, 114); // 114..118
	// 119 withheld.
	Stream.Camera(2 * 40 * Ms, 120);
	const FTavrixStreamHealthSnapshot Snapshot = Stream.Read();
	EXPECT_EQ(Snapshot.TimecodeGaps, 2u);
	EXPECT_EQ(Snapshot.TimecodeFramesMissed, 4u);
	EXPECT_EQ(Snapshot.TimecodeStepsBack, 0u);
	EXPECT_EQ(Snapshot.TimecodeJumps, 0u);
	EXPECT_EQ(Snapshot.DatagramsReceived, 17u);
}

TEST(StreamCounting, UsualStepIsTheStreamsOwnWhenTimecodeRunsFasterThanDatagrams)
{
	FScriptedStream Stream;
	// 30 datagrams a second of a 60 fps timecode: every datagram steps two frames, which is no gap.
	Stream.Cameras(30, 33333, 0, 2, 60);
	EXPECT_EQ(Stream.Read().TimecodeGaps, 0u);
	// One datagram withheld: a step of four frames, one datagram's worth missed.
	Stream.Camera(2 * 33333, 62, 60);
	const FTavrixStreamHealthSnapshot Snapshot = Stream.Read();
	EXPECT_EQ(Snapshot.TimecodeGaps, 1u);
	EXPECT_EQ(Snapshot.TimecodeFramesMissed, 1u);
	EXPECT_EQ(Snapshot.TimecodeJumps, 0u);
}

TEST(StreamCounting, DatagramsFasterThanTimecodeRepeatFramesWithoutFaults)
{
	FScriptedStream Stream;
	// 50 datagrams a second of a 25 fps timecode: each frame number comes twice.
	for (int32 Index = 0; Index < 100; ++Index)
	{
		Stream.Camera(20 * Ms, 500 + Index / 2);
	}
	ExpectNoTimecodeFaults(Stream.Read());
}

TEST(StreamCounting, OneFrameBackIsAStepBackNotAJump)
{
	FScriptedStream Stream;
	Stream.Cameras(5, 40 * Ms, 10); // 10..14
	Stream.Camera(40 * Ms, 13);
	Stream.Cameras(3, 40 * Ms, 14); // 14..16
	const FTavrixStreamHealthSnapshot Snapshot = Stream.Read();
	EXPECT_EQ(Snapshot.TimecodeStepsBack, 1u);
	EXPECT_EQ(Snapshot.TimecodeJumps, 0u);
	EXPECT_EQ(Snapshot.TimecodeGaps, 0u);
}

TEST(StreamCounting, FramesFarFromWhereTheTimeSinceThePreviousPutsThemAreJumps)
{
	FScriptedStream Stream;
	Stream.Cameras(5, 40 * Ms, 10); // 10..14
	Stream.Camera(40 * Ms, 115);	// forward by a hundred
	Stream.Cameras(5, 40 * Ms, 116);
	Stream.Camera(40 * Ms, 60); // back by sixty
	Stream.Cameras(5, 40 * Ms, 61);
	FTavrixStreamHealthSnapshot Snapshot = Stream.Read();
	EXPECT_EQ(Snapshot.TimecodeJumps, 2u);
	EXPECT_EQ(Snapshot.TimecodeStepsBack, 0u);
	EXPECT_EQ(Snapshot.TimecodeGaps, 0u);

	// Three frames ahead of the one due is beyond the tolerance; two is within it (a gap).
	Stream.Camera(40 * Ms, 69);
	EXPECT_EQ(Stream.Read().TimecodeJumps, 3u);
	Stream.Camera(40 * Ms, 72);
	Snapshot = Stream.Read();
	EXPECT_EQ(Snapshot.TimecodeJumps, 3u);
	EXPECT_EQ(Snapshot.TimecodeGaps, 1u);
	EXPECT_EQ(Snapshot.TimecodeFramesMissed, 2u);
}

TEST(StreamCounting, PauseWithTheTimecodeRunningOnIsAGapAndAFrozenTimecodeIsNothing)
{
	FScriptedStream Stream;
	Stream.Cameras(5, 40 * Ms, 10); // 10..14
	Stream.Camera(2 * Second, 64);
	FTavrixStreamHealthSnapshot Snapshot = Stream.Read();
	EXPECT_EQ(Snapshot.TimecodeJumps, 0u);
	EXPECT_EQ(Snapshot.TimecodeGaps, 1u);
	EXPECT_EQ(Snapshot.TimecodeFramesMissed, 49u);

	FScriptedStream Frozen;
	Frozen.Cameras(100, 40 * Ms, 7, 0);
	ExpectNoTimecodeFaults(Frozen.Read());
}

TEST(StreamCounting, NewRateOrMissingTimecodeStartsTheTimecodeOver)
{
	FScriptedStream Stream;
	Stream.Cameras(5, 40 * Ms, 10);
	Stream.Cameras(5, 33333, 90000, 1, 30); // another rate, far away: not a jump
	Stream.Camera(33333, 0, 0, 0);			// no timecode
	Stream.Cameras(5, 33333, 5, 1, 30);		// starts over
	ExpectNoTimecodeFaults(Stream.Read());
	// A datagram without a camera does not break the chain.
	Stream.Other(33333, true, false);
	Stream.Camera(33333, 11, 30);
	const FTavrixStreamHealthSnapshot Snapshot = Stream.Read();
	EXPECT_EQ(Snapshot.TimecodeGaps, 1u);
	EXPECT_EQ(Snapshot.TimecodeFramesMissed, 1u);
}

// The reader walks arrival slots the writer keeps rewriting: what it keeps must never mix two laps of the ring.
TEST(StreamCounting, ReadingWhileDatagramsArriveSeesOnlyWholeArrivals)
{
	auto Health = std::make_unique<FTavrixStreamHealth>();
	constexpr int64 Interval = 100;
	std::atomic<bool> bReading{true};
	std::thread Writer([&] {
		for (uint64 Index = 1; bReading.load(std::memory_order_relaxed); ++Index)
		{
			Health->RecordDatagram(int64(Index) * Interval, false, false, nullptr);
		}
	});
	// Reading starts once the writer is running and has gone round the ring.
	while (Health->Read(0).DatagramsReceived < 2 * FTavrixStreamHealth::ArrivalCapacity)
	{
		std::this_thread::yield();
	}
	uint64 LastCount = 0;
	for (int32 Read = 0; Read < 20000; ++Read)
	{
		// "Now" well ahead of the last arrival seen: the window asks for more than the ring keeps.
		const FTavrixStreamHealthSnapshot Snapshot = Health->Read(int64(LastCount) * Interval + Second / 2);
		ASSERT_GE(Snapshot.DatagramsReceived, LastCount);
		LastCount = Snapshot.DatagramsReceived;
		EXPECT_LT(Snapshot.ArrivalJitterMs, 1e-9) << "read " << Read << " of " << LastCount << " arrivals";
		if (Snapshot.DatagramsPerSecond != 0.0)
		{
			EXPECT_NEAR(Snapshot.DatagramsPerSecond, double(Second / Interval), 1e-6);
		}
		if (::testing::Test::HasFailure())
		{
			break;
		}
	}
	bReading = false;
	Writer.join();
}
} // namespace
