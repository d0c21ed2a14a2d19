#include "TavrixFrameClock.h"

#include <gtest/gtest.h>

#include <climits>

namespace
{
using namespace TavrixFrameClock;

struct FClockState
{
	double FrameRate = 25.0;
	int64 FrameOffset = -1;
};

/** One tick of the clock: ElapsedMs since the source was made, the timecode the tick sees, and whether it is new. */
bool Tick(FClockState& State, uint64 ElapsedMs, FTimecode Timecode, bool bFresh, FQualifiedFrameTime& OutSceneTime)
{
	return AdvanceSceneTime(
		CountLocalFrames(ElapsedMs, State.FrameRate), Timecode, bFresh, State.FrameRate, State.FrameOffset, OutSceneTime);
}

double PublishedTime(const FQualifiedFrameTime& SceneTime)
{
	return SceneTime.Time.GetFrame().Value + static_cast<double>(SceneTime.Time.GetSubFrame());
}

TEST(FrameClock, WorkedExampleSynchronisesThenFollowsTheSender)
{
	FClockState State;
	FQualifiedFrameTime SceneTime;

	const FLocalCount First = CountLocalFrames(812, 25.0);
	EXPECT_NEAR(First.Count, 20.3, 1e-9);
	EXPECT_EQ(First.Rounded, 20);

	ASSERT_TRUE(Tick(State, 812, {500, 25, 1}, true, SceneTime));
	EXPECT_EQ(State.FrameOffset, 480);
	EXPECT_EQ(SceneTime.Time.GetFrame().Value, 500);
	EXPECT_NEAR(SceneTime.Time.GetSubFrame(), 0.3f, 1e-4f);
	EXPECT_EQ(SceneTime.Rate, FFrameRate(25, 1));

	ASSERT_TRUE(Tick(State, 852, {501, 25, 1}, true, SceneTime));
	EXPECT_EQ(State.FrameOffset, 480);
	EXPECT_EQ(SceneTime.Time.GetFrame().Value, 501);
	EXPECT_NEAR(SceneTime.Time.GetSubFrame(), 0.3f, 1e-4f);

	// A jump far beyond two frames re-synchronises on the same tick.
	ASSERT_TRUE(Tick(State, 892, {900, 25, 1}, true, SceneTime));
	EXPECT_EQ(State.FrameOffset, 900 - 22);
	EXPECT_EQ(SceneTime.Time.GetFrame().Value, 900);
}

TEST(FrameClock, DriftOfTwoFramesFollowsTheLocalClockAndThreeResynchronises)
{
	FClockState State;
	FQualifiedFrameTime SceneTime;
	ASSERT_TRUE(Tick(State, 1000, {100, 25, 1}, true, SceneTime)); // count 25, offset 75
	ASSERT_EQ(State.FrameOffset, 75);

	ASSERT_TRUE(Tick(State, 1000, {102, 25, 1}, true, SceneTime));
	EXPECT_EQ(State.FrameOffset, 75);
	EXPECT_EQ(SceneTime.Time.GetFrame().Value, 100);
	ASSERT_TRUE(Tick(State, 1000, {98, 25, 1}, true, SceneTime));
	EXPECT_EQ(State.FrameOffset, 75);

	ASSERT_TRUE(Tick(State, 1000, {103, 25, 1}, true, SceneTime));
	EXPECT_EQ(State.FrameOffset, 78);
	EXPECT_EQ(SceneTime.Time.GetFrame().Value, 103);
}

TEST(FrameClock, StaleTimecodeLetsTheLocalClockRunOn)
{
	FClockState State;
	FQualifiedFrameTime SceneTime;
	ASSERT_TRUE(Tick(State, 0, {1000, 25, 1}, true, SceneTime));

	// The sender goes quiet: the same (old) timecode is seen on every tick for ten seconds.
	double Previous = PublishedTime(SceneTime);
	for (uint64 ElapsedMs = 16; ElapsedMs <= 10000; ElapsedMs += 16)
	{
		ASSERT_TRUE(Tick(State, ElapsedMs, {1000, 25, 1}, false, SceneTime));
		const double Now = PublishedTime(SceneTime);
		EXPECT_GE(Now, Previous) << "scene time ran backwards at " << ElapsedMs << " ms";
		Previous = Now;
	}
	EXPECT_EQ(SceneTime.Time.GetFrame().Value, 1250);
}

TEST(FrameClock, SenderBehindTheLocalCountIsFollowedOnEveryTick)
{
	FClockState State;
	FQualifiedFrameTime SceneTime;
	// 10 s of local time at 25 fps is 250 frames; the sender says frame 10: the offset comes out negative.
	ASSERT_TRUE(Tick(State, 10000, {10, 25, 1}, true, SceneTime));
	EXPECT_EQ(State.FrameOffset, -240);
	EXPECT_EQ(SceneTime.Time.GetFrame().Value, 10);
	ASSERT_TRUE(Tick(State, 10040, {11, 25, 1}, false, SceneTime));
	EXPECT_EQ(SceneTime.Time.GetFrame().Value, 11);
}

TEST(FrameClock, RateChangeIsPublishedAtOnceAndCountedFromTheNextTick)
{
	FClockState State;
	FQualifiedFrameTime SceneTime;
	ASSERT_TRUE(Tick(State, 1000, {25, 25, 1}, true, SceneTime));
	ASSERT_TRUE(Tick(State, 2000, {60, 30, 1}, true, SceneTime));
	EXPECT_EQ(SceneTime.Rate, FFrameRate(30, 1));
	EXPECT_EQ(State.FrameRate, 30.0);
	EXPECT_EQ(CountLocalFrames(3000, State.FrameRate).Rounded, 90);

	ASSERT_TRUE(Tick(State, 2000, {60, 30000, 1001}, true, SceneTime));
	EXPECT_NEAR(State.FrameRate, 29.97002997, 1e-8);
}

TEST(FrameClock, TimecodeWithoutAUsableRateGivesNoSceneTime)
{
	for (const FTimecode Timecode :
		{FTimecode{100, 25, 0}, FTimecode{100, 0, 0}, FTimecode{100, -25, 1}, FTimecode{100, 25, -1}, FTimecode{100, 0, 1}})
	{
		FClockState State;
		State.FrameRate = 30.0;
		State.FrameOffset = 12;
		FQualifiedFrameTime SceneTime;
		EXPECT_FALSE(Tick(State, 5000, Timecode, true, SceneTime));
		EXPECT_EQ(State.FrameRate, 30.0);
		EXPECT_EQ(State.FrameOffset, 12);
	}
}

TEST(FrameClock, SubFrameRisesWithinAFrameAndNeverRunsBackwards)
{
	FClockState State;
	FQualifiedFrameTime SceneTime;
	ASSERT_TRUE(Tick(State, 0, {0, 25, 1}, true, SceneTime));
	double Previous = -1.0;
	for (uint64 ElapsedMs = 0; ElapsedMs < 2000; ElapsedMs += 7)
	{
		ASSERT_TRUE(Tick(State, ElapsedMs, {0, 25, 1}, false, SceneTime));
		EXPECT_GE(SceneTime.Time.GetSubFrame(), 0.0f);
		EXPECT_LE(SceneTime.Time.GetSubFrame(), FFrameTime::MaxSubframe);
		EXPECT_GE(PublishedTime(SceneTime), Previous);
		Previous = PublishedTime(SceneTime);
	}
}

TEST(FrameClock, KeepsSubFramePrecisionAfterDaysOfUptime)
{
	// Three days at 25 fps: a float count would have lost whole frames by now.
	const uint64 ThreeDaysMs = 3ull * 24 * 3600 * 1000;
	const FLocalCount Local = CountLocalFrames(ThreeDaysMs + 12, 25.0);
	EXPECT_EQ(Local.Whole, 3ll * 24 * 3600 * 25);
	EXPECT_NEAR(Local.Fraction, 0.3, 1e-6);
}

TEST(FrameClock, ExtremeTimecodesSaturateInsteadOfOverflowing)
{
	FClockState State;
	FQualifiedFrameTime SceneTime;
	ASSERT_TRUE(Tick(State, 1000000, {INT_MAX, 25, 1}, true, SceneTime));
	EXPECT_EQ(SceneTime.Time.GetFrame().Value, INT_MAX);
	ASSERT_TRUE(Tick(State, 2000000, {INT_MAX, 25, 1}, false, SceneTime));
	EXPECT_EQ(SceneTime.Time.GetFrame().Value, INT_MAX);
	ASSERT_TRUE(Tick(State, 3000000, {INT_MIN, 25, 1}, true, SceneTime));
	EXPECT_EQ(SceneTime.Time.GetFrame().Value, INT_MIN);
}
} // namespace
