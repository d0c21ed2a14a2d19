#include "TavrixSyntheticCamera.h"

#include <gtest/gtest.h>

#include <limits>

using namespace TavrixSend;
using namespace std::chrono_literals;

namespace
{
FTavrixRecordPlan TogglePlan(FTavrixDuration InPeriod, int32_t InFirstTake)
{
	FTavrixRecordPlan Plan;
	Plan.Mode = ETavrixRecordMode::Toggle;
	Plan.TogglePeriod = InPeriod;
	Plan.FirstTake = InFirstTake;
	return Plan;
}
} // namespace

TEST(RecordSchedule, OnAndOffHoldTheirStateAndTake)
{
	FTavrixRecordPlan Plan;
	Plan.FirstTake = 5;
	for (const FTavrixDuration Elapsed : {FTavrixDuration(0s), FTavrixDuration(1h)})
	{
		Plan.Mode = ETavrixRecordMode::Off;
		EXPECT_FALSE(RecordStatusAt(Plan, Elapsed).bRecording);
		EXPECT_EQ(RecordStatusAt(Plan, Elapsed).Take, 5);
		Plan.Mode = ETavrixRecordMode::On;
		EXPECT_TRUE(RecordStatusAt(Plan, Elapsed).bRecording);
		EXPECT_EQ(RecordStatusAt(Plan, Elapsed).Take, 5);
	}
}

TEST(RecordSchedule, ToggleStartsIdleAndSwitchesOnEachBoundary)
{
	const FTavrixRecordPlan Plan = TogglePlan(3s, 1);
	EXPECT_FALSE(RecordStatusAt(Plan, 0s).bRecording);
	EXPECT_FALSE(RecordStatusAt(Plan, 3s - 1ns).bRecording);
	EXPECT_TRUE(RecordStatusAt(Plan, 3s).bRecording);
	EXPECT_TRUE(RecordStatusAt(Plan, 6s - 1ns).bRecording);
	EXPECT_FALSE(RecordStatusAt(Plan, 6s).bRecording);
	EXPECT_TRUE(RecordStatusAt(Plan, 9s).bRecording);
	EXPECT_TRUE(RecordStatusAt(Plan, 3s * 1001).bRecording);
	EXPECT_FALSE(RecordStatusAt(Plan, 3s * 1000).bRecording);
}

TEST(RecordSchedule, EachNewRecordingAnnouncesTheNextTake)
{
	const FTavrixRecordPlan Plan = TogglePlan(3s, 7);
	const std::pair<FTavrixDuration, int32_t> Expected[] = {
		{0s, 7}, {3s, 7}, {6s, 7}, {9s - 1ns, 7}, {9s, 8}, {12s, 8}, {15s, 9}, {3s * 21, 17}};
	for (const auto& [Elapsed, Take] : Expected)
	{
		EXPECT_EQ(RecordStatusAt(Plan, Elapsed).Take, Take) << Elapsed.count() << " ns";
	}
}

TEST(RecordSchedule, TakeNeverChangesDuringARecording)
{
	const FTavrixRecordPlan Plan = TogglePlan(250ms, 1);
	FTavrixRecordStatus Previous = RecordStatusAt(Plan, 0s);
	int Recordings = 0;
	for (FTavrixDuration Elapsed = 10ms; Elapsed < 10s; Elapsed += 10ms)
	{
		const FTavrixRecordStatus Status = RecordStatusAt(Plan, Elapsed);
		if (Status.Take != Previous.Take)
		{
			EXPECT_TRUE(Status.bRecording && !Previous.bRecording) << "take changed at " << Elapsed.count() << " ns";
		}
		Recordings += Status.bRecording && !Previous.bRecording ? 1 : 0;
		Previous = Status;
	}
	EXPECT_EQ(Recordings, 20);
	EXPECT_EQ(Previous.Take, 20);
}

TEST(RecordSchedule, TakeSaturatesAtTheLimit)
{
	const FTavrixRecordPlan Plan = TogglePlan(1s, std::numeric_limits<int32_t>::max() - 1);
	EXPECT_EQ(RecordStatusAt(Plan, 1h).Take, std::numeric_limits<int32_t>::max());
}

TEST(RecordSchedule, MessageCarriesStateAndTakeText)
{
	FTavrixCameraScript Script;
	Script.Record = TogglePlan(2s, 41);
	Script.Scene = "Scene 4";
	Script.FirstText = "first";
	const FTavrixCameraMessage Idle = MakeCameraMessage(Script, 1s);
	EXPECT_EQ(Idle.State, IdleState);
	const FTavrixCameraMessage Recording = MakeCameraMessage(Script, 7s);
	EXPECT_EQ(Recording.State, RecordingState);
	EXPECT_EQ(Recording.Metadata[0], "first");
	EXPECT_EQ(Recording.Metadata[1], "Scene 4");
	EXPECT_EQ(Recording.Metadata[2], "42");
}
