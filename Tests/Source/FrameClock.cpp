#include "TavrixFrameClock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <vector>

namespace
{
double PublishedTime(const FQualifiedFrameTime& SceneTime)
{
	return SceneTime.Time.GetFrame().Value + static_cast<double>(SceneTime.Time.GetSubFrame());
}

TEST(FrameClock, WorkedExampleSynchronisesThenFollowsTheSender)
{
	FTavrixFrameClock Clock(0);
	FQualifiedFrameTime SceneTime;
	EXPECT_NEAR(Clock.CountAt(812), 20.3, 1e-9);

	// Frame 500 arrived 12 ms before the tick: 0.3 of a frame at 25 fps.
	ASSERT_TRUE(Clock.Tick(812, {500, 25, 1}, true, 800, SceneTime));
	EXPECT_TRUE(Clock.IsSynchronised());
	EXPECT_EQ(SceneTime.Time.GetFrame().Value, 500);
	EXPECT_NEAR(SceneTime.Time.GetSubFrame(), 0.3f, 1e-4f);
	EXPECT_EQ(SceneTime.Rate, FFrameRate(25, 1));

	ASSERT_TRUE(Clock.Tick(852, {501, 25, 1}, true, 840, SceneTime));
	EXPECT_EQ(SceneTime.Time.GetFrame().Value, 501);
	EXPECT_NEAR(SceneTime.Time.GetSubFrame(), 0.3f, 1e-4f);
	const int64 Offset = Clock.GetFrameOffset();

	// A fresh timecode far from the clock re-synchronises on that very tick.
	ASSERT_TRUE(Clock.Tick(892, {900, 25, 1}, true, 892, SceneTime));
	EXPECT_NE(Clock.GetFrameOffset(), Offset);
	EXPECT_EQ(SceneTime.Time.GetFrame().Value, 900);
	EXPECT_EQ(SceneTime.Time.GetSubFrame(), 0.0f);
}

TEST(FrameClock, SynchronisingTickPublishesTheSendersFrameWhateverTheLocalPhase)
{
	// Whatever the local count's fraction when the first timecode comes (below or above a half), and however long
	// the datagram waited for the tick (up to a frame), the tick publishes the sender's own frame.
	for (int64 FirstTickMs = 0; FirstTickMs < 1000; FirstTickMs += 7)
	{
		for (const int32 Frame : {0, 1000, -40})
		{
			for (const int64 WaitedMs : {0, 13, 39})
			{
				FTavrixFrameClock Clock(0);
				FQualifiedFrameTime SceneTime;
				ASSERT_TRUE(Clock.Tick(FirstTickMs, {Frame, 25, 1}, true, FirstTickMs - WaitedMs, SceneTime));
				EXPECT_EQ(SceneTime.Time.GetFrame().Value, Frame) << "first tick at " << FirstTickMs << " ms";
				EXPECT_NEAR(SceneTime.Time.GetSubFrame(), WaitedMs * 0.025, 1e-4);
			}
		}
	}
}

TEST(FrameClock, DriftOfTwoFramesFollowsTheLocalClockAndThreeResynchronises)
{
	FTavrixFrameClock Clock(0);
	FQualifiedFrameTime SceneTime;
	ASSERT_TRUE(Clock.Tick(1000, {100, 25, 1}, true, 1000, SceneTime));

	ASSERT_TRUE(Clock.Tick(1000, {102, 25, 1}, true, 1000, SceneTime));
	EXPECT_EQ(SceneTime.Time.GetFrame().Value, 100);
	ASSERT_TRUE(Clock.Tick(1000, {98, 25, 1}, true, 1000, SceneTime));
	EXPECT_EQ(SceneTime.Time.GetFrame().Value, 100);

	ASSERT_TRUE(Clock.Tick(1000, {103, 25, 1}, true, 1000, SceneTime));
	EXPECT_EQ(SceneTime.Time.GetFrame().Value, 103);
	ASSERT_TRUE(Clock.Tick(1000, {100, 25, 1}, true, 1000, SceneTime));
	EXPECT_EQ(SceneTime.Time.GetFrame().Value, 100);
}

TEST(FrameClock, StaleTimecodeLetsTheLocalClockRunOn)
{
	FTavrixFrameClock Clock(0);
	FQualifiedFrameTime SceneTime;
	ASSERT_TRUE(Clock.Tick(0, {1000, 25, 1}, true, 0, SceneTime));

	// The sender goes quiet: the same (old) timecode is seen on every tick for ten seconds.
	double Previous = PublishedTime(SceneTime);
	for (int64 NowMs = 16; NowMs <= 10000; NowMs += 16)
	{
		ASSERT_TRUE(Clock.Tick(NowMs, {1000, 25, 1}, false, 0, SceneTime));
		const double Now = PublishedTime(SceneTime);
		EXPECT_GE(Now, Previous) << "scene time ran backwards at " << NowMs << " ms";
		Previous = Now;
	}
	EXPECT_EQ(SceneTime.Time.GetFrame().Value, 1250);
}

TEST(FrameClock, SenderBehindTheLocalCountIsAnOrdinaryOffset)
{
	// Ten seconds of local count at 25 fps, and a sender that starts far below it (or below zero): the offset may
	// come out negative, which must not leave the clock unsynchronised (re-synchronising on every tick made the
	// time run backwards at every local frame boundary).
	for (const int32 FirstFrame : {10, -100})
	{
		FTavrixFrameClock Clock(0);
		FQualifiedFrameTime SceneTime;
		ASSERT_TRUE(Clock.Tick(10000, {FirstFrame, 25, 1}, true, 10000, SceneTime));
		EXPECT_EQ(SceneTime.Time.GetFrame().Value, FirstFrame);
		const int64 Offset = Clock.GetFrameOffset();

		double Previous = PublishedTime(SceneTime);
		for (int64 NowMs = 10016; NowMs < 13000; NowMs += 16)
		{
			const int32 Latest = FirstFrame + static_cast<int32>((NowMs - 10000) / 40);
			ASSERT_TRUE(Clock.Tick(NowMs, {Latest, 25, 1}, true, 10000 + (Latest - FirstFrame) * 40, SceneTime));
			EXPECT_GE(PublishedTime(SceneTime), Previous) << "at " << NowMs << " ms";
			Previous = PublishedTime(SceneTime);
		}
		EXPECT_EQ(Clock.GetFrameOffset(), Offset);
	}
}

TEST(FrameClock, NewRateIsPublishedAtOnceAndCountedOnlyFromTheNextTick)
{
	FTavrixFrameClock Clock(0);
	FQualifiedFrameTime SceneTime;
	ASSERT_TRUE(Clock.Tick(1000, {25, 25, 1}, true, 1000, SceneTime));
	const double CountBefore = Clock.CountAt(2000);

	// Frame numbers run on while the rate changes: no jump, no re-synchronisation.
	ASSERT_TRUE(Clock.Tick(2000, {50, 30, 1}, true, 2000, SceneTime));
	EXPECT_EQ(SceneTime.Rate, FFrameRate(30, 1));
	EXPECT_EQ(SceneTime.Time.GetFrame().Value, 50);
	EXPECT_EQ(Clock.GetFrameRate(), 30.0);
	// The tick that saw the rate counted its time at the old rate; the time after it counts at the new one.
	EXPECT_DOUBLE_EQ(Clock.CountAt(2000), CountBefore);
	EXPECT_DOUBLE_EQ(Clock.CountAt(3000), CountBefore + 30.0);

	ASSERT_TRUE(Clock.Tick(3000, {80, 30000, 1001}, true, 3000, SceneTime));
	EXPECT_NEAR(Clock.GetFrameRate(), 29.97002997, 1e-8);
	EXPECT_EQ(SceneTime.Time.GetFrame().Value, 80);
}

TEST(FrameClock, TimecodeWithoutAUsableRateChangesNothing)
{
	for (const FTavrixTimecode Timecode : {FTavrixTimecode{100, 25, 0}, FTavrixTimecode{100, 0, 0}, FTavrixTimecode{100, -25, 1},
			 FTavrixTimecode{100, 25, -1}, FTavrixTimecode{100, 0, 1}})
	{
		FTavrixFrameClock Clock(0);
		FQualifiedFrameTime SceneTime;
		EXPECT_FALSE(Clock.Tick(5000, Timecode, true, 5000, SceneTime));
		EXPECT_EQ(Clock.GetFrameRate(), 25.0);
		EXPECT_EQ(Clock.GetFrameOffset(), -1);
		EXPECT_FALSE(Clock.IsSynchronised());
	}
}

TEST(FrameClock, SubFrameStaysWithinAFrameAndNeverRunsBackwards)
{
	FTavrixFrameClock Clock(0);
	FQualifiedFrameTime SceneTime;
	// A datagram that waited a long time for its first tick still publishes its own frame.
	ASSERT_TRUE(Clock.Tick(5000, {0, 25, 1}, true, 0, SceneTime));
	EXPECT_EQ(SceneTime.Time.GetFrame().Value, 0);
	double Previous = -1.0;
	for (int64 NowMs = 5000; NowMs < 7000; NowMs += 7)
	{
		ASSERT_TRUE(Clock.Tick(NowMs, {0, 25, 1}, false, 0, SceneTime));
		EXPECT_GE(SceneTime.Time.GetSubFrame(), 0.0f);
		EXPECT_LE(SceneTime.Time.GetSubFrame(), FFrameTime::MaxSubframe);
		EXPECT_GE(PublishedTime(SceneTime), Previous);
		Previous = PublishedTime(SceneTime);
	}
}

TEST(FrameClock, KeepsSubFramePrecisionAfterDaysOfUptime)
{
	// Three days at 25 fps: a float count would have lost whole frames by now.
	const int64 ThreeDaysMs = 3ll * 24 * 3600 * 1000;
	const FTavrixFrameClock Clock(0);
	const double Count = Clock.CountAt(ThreeDaysMs + 12);
	EXPECT_EQ(std::floor(Count), 3.0 * 24 * 3600 * 25);
	EXPECT_NEAR(Count - std::floor(Count), 0.3, 1e-6);
}

TEST(FrameClock, ExtremeTimecodesSaturateInsteadOfOverflowing)
{
	FTavrixFrameClock Clock(0);
	FQualifiedFrameTime SceneTime;
	ASSERT_TRUE(Clock.Tick(1000000, {INT_MAX, 25, 1}, true, 1000000, SceneTime));
	EXPECT_EQ(SceneTime.Time.GetFrame().Value, INT_MAX);
	ASSERT_TRUE(Clock.Tick(2000000, {INT_MAX, 25, 1}, false, 1000000, SceneTime));
	EXPECT_EQ(SceneTime.Time.GetFrame().Value, INT_MAX);
	ASSERT_TRUE(Clock.Tick(3000000, {INT_MIN, 25, 1}, true, 3000000, SceneTime));
	EXPECT_EQ(SceneTime.Time.GetFrame().Value, INT_MIN);
}

/**
 * A steady sender and a ticking game thread, on simulated milliseconds. The sender's frame n goes out at its frame
 * boundary and arrives a little later; the game thread ticks at about 60 Hz with some jitter. Frame numbers either
 * count on across a rate change or restart from the sender's seconds (a jump).
 */
struct FStageRun
{
	struct FRate
	{
		int32 Numerator;
		int32 Denominator;
		double PerSecond() const { return static_cast<double>(Numerator) / Denominator; }
	};

	int64 FirstArrivalMs = 0;
	FRate Rate{25, 1};
	int32 FirstFrame = 1000;
	/** When set, the sender switches to SecondRate at SwitchMs. */
	bool bSwitchRate = false;
	int64 SwitchMs = 0;
	FRate SecondRate{25, 1};
	/** At the switch, frame numbers continue by one per frame, or jump to the sender's seconds at the new rate. */
	bool bFramesJumpAtSwitch = false;
	int64 DurationMs = 10000;

	struct FResult
	{
		int BackwardSteps = 0;
		int BackwardStepsAtTheSwitch = 0;
		int Synchronisations = 0;
		int SynchronisingTicksOffTheSendersFrame = 0;
		double LargestErrorAfterFirstSecond = 0.0;
	};

	FResult Run() const
	{
		struct FDatagram
		{
			int64 ArrivalMs;
			FTavrixTimecode Timecode;
		};
		std::vector<FDatagram> Datagrams;
		double SendSeconds = static_cast<double>(FirstArrivalMs) / 1000.0;
		int32 Frame = FirstFrame;
		FRate Current = Rate;
		while (SendSeconds * 1000.0 < static_cast<double>(FirstArrivalMs + DurationMs))
		{
			if (bSwitchRate && Current.Numerator == Rate.Numerator && Current.Denominator == Rate.Denominator &&
				SendSeconds * 1000.0 >= static_cast<double>(SwitchMs))
			{
				Current = SecondRate;
				if (bFramesJumpAtSwitch)
				{
					Frame = static_cast<int32>(std::floor(SendSeconds * Current.PerSecond()));
				}
			}
			// A little network and decoding time, varying from frame to frame.
			const int64 ArrivalMs = static_cast<int64>(std::floor(SendSeconds * 1000.0)) + (Frame % 3);
			Datagrams.push_back({ArrivalMs, {Frame, Current.Numerator, Current.Denominator}});
			++Frame;
			SendSeconds += 1.0 / Current.PerSecond();
		}

		FResult Result;
		FTavrixFrameClock Clock(0);
		size_t Delivered = 0;
		size_t SeenAtLastTick = 0;
		double PreviousPosition = -1e300;
		uint32 Jitter = 12345;
		for (double TickMs = 3.0; TickMs < static_cast<double>(FirstArrivalMs + DurationMs); TickMs += 1000.0 / 60.0)
		{
			Jitter = Jitter * 1103515245u + 12345u;
			const int64 NowMs = static_cast<int64>(TickMs) + static_cast<int64>((Jitter >> 16) % 4);
			while (Delivered < Datagrams.size() && Datagrams[Delivered].ArrivalMs <= NowMs)
			{
				++Delivered;
			}
			if (Delivered == 0)
			{
				continue;
			}
			const FDatagram& Latest = Datagrams[Delivered - 1];
			const bool bFresh = Delivered != SeenAtLastTick;
			SeenAtLastTick = Delivered;

			const int64 OffsetBefore = Clock.GetFrameOffset();
			const bool bWasSynchronised = Clock.IsSynchronised();
			FQualifiedFrameTime SceneTime;
			if (!Clock.Tick(NowMs, Latest.Timecode, bFresh, Latest.ArrivalMs, SceneTime))
			{
				continue;
			}
			const bool bSynchronised = !bWasSynchronised || Clock.GetFrameOffset() != OffsetBefore;
			const bool bSwitched = bSwitchRate && NowMs >= SwitchMs && NowMs < SwitchMs + 1000;
			if (bSynchronised)
			{
				++Result.Synchronisations;
				Result.SynchronisingTicksOffTheSendersFrame += SceneTime.Time.GetFrame().Value != Latest.Timecode.Frame ? 1 : 0;
			}

			// Frame numbers that count on are compared as frames; frame numbers that follow the sender's seconds
			// are compared as seconds, across the change of rate too.
			const double Published = PublishedTime(SceneTime);
			const double Position = bFramesJumpAtSwitch ? Published / SceneTime.Rate.AsDecimal() : Published;
			if (Position < PreviousPosition - 1e-9)
			{
				++(bSwitched ? Result.BackwardStepsAtTheSwitch : Result.BackwardSteps);
			}
			PreviousPosition = Position;

			const bool bSettling = NowMs < FirstArrivalMs + 1000 || (bSwitchRate && bFramesJumpAtSwitch && bSwitched);
			if (!bSettling)
			{
				Result.LargestErrorAfterFirstSecond =
					std::max(Result.LargestErrorAfterFirstSecond, std::abs(Published - static_cast<double>(Latest.Timecode.Frame)));
			}
		}
		return Result;
	}
};

const FStageRun::FRate StageRates[] = {{24000, 1001}, {24, 1}, {25, 1}, {30000, 1001}, {30, 1}, {50, 1}, {60000, 1001}, {60, 1}};

TEST(FrameClock, SteadySenderAtEveryStageRateIsFollowedWithinAFrameAndAHalf)
{
	for (const FStageRun::FRate Rate : StageRates)
	{
		for (const int64 FirstArrivalMs : {0ll, 137ll, 500ll, 2713ll, 9001ll})
		{
			for (const int32 FirstFrame : {0, 1000, 86399})
			{
				FStageRun Stage;
				Stage.Rate = Rate;
				Stage.FirstArrivalMs = FirstArrivalMs;
				Stage.FirstFrame = FirstFrame;
				const FStageRun::FResult Result = Stage.Run();
				SCOPED_TRACE(testing::Message() << Rate.Numerator << "/" << Rate.Denominator << " fps, first datagram at " << FirstArrivalMs
												<< " ms, frame " << FirstFrame);
				EXPECT_EQ(Result.BackwardSteps, 0);
				EXPECT_EQ(Result.Synchronisations, 1);
				EXPECT_EQ(Result.SynchronisingTicksOffTheSendersFrame, 0);
				EXPECT_LE(Result.LargestErrorAfterFirstSecond, 1.5);
			}
		}
	}
}

TEST(FrameClock, RateSwitchedMidStreamKeepsTheClockInStep)
{
	for (const FStageRun::FRate First : StageRates)
	{
		for (const FStageRun::FRate Second : StageRates)
		{
			FStageRun Stage;
			Stage.Rate = First;
			Stage.FirstArrivalMs = 500;
			Stage.bSwitchRate = true;
			Stage.SwitchMs = 4000;
			Stage.SecondRate = Second;
			const FStageRun::FResult Result = Stage.Run();
			SCOPED_TRACE(testing::Message() << First.Numerator << "/" << First.Denominator << " to " << Second.Numerator << "/"
											<< Second.Denominator);
			// Frame numbers that count on across the switch: the clock follows without a jump or a step back.
			EXPECT_EQ(Result.Synchronisations, 1);
			EXPECT_EQ(Result.BackwardSteps + Result.BackwardStepsAtTheSwitch, 0);
			EXPECT_LE(Result.LargestErrorAfterFirstSecond, 1.5);
		}
	}
}

TEST(FrameClock, SenderThatJumpsWithItsRateIsFollowedAfterTheJump)
{
	// 25 fps to 50 fps with frame numbers that restart from the sender's seconds: the frame numbers double, a jump
	// the clock re-synchronises to; once past it, it follows the new rate as closely as a steady sender.
	FStageRun Stage;
	Stage.Rate = {25, 1};
	Stage.FirstArrivalMs = 500;
	Stage.bSwitchRate = true;
	Stage.SwitchMs = 4000;
	Stage.SecondRate = {50, 1};
	Stage.bFramesJumpAtSwitch = true;
	const FStageRun::FResult Result = Stage.Run();
	EXPECT_EQ(Result.BackwardSteps, 0);
	EXPECT_EQ(Result.SynchronisingTicksOffTheSendersFrame, 0);
	EXPECT_LE(Result.LargestErrorAfterFirstSecond, 1.5);
}
} // namespace
