#include "ClientTestSupport.h"

namespace
{
using SubjectBufferRules = FClientTest;

struct FBufferingCase
{
	const char* Name;
	int32 MaxFrames;
	/** Source times of the frames, in the order they are pushed (each frame's X is its time). */
	std::vector<double> Times;
	std::vector<float> Expected;
};

class SubjectBuffering : public FClientTest, public testing::WithParamInterface<FBufferingCase>
{
};

TEST_P(SubjectBuffering, FramesAreOrderedByTimeAndTheOldestReceivedIsEvicted)
{
	const FGuid Guid = AddSource(ELiveLinkSourceMode::Latest);
	Settings(Guid)->BufferSettings.MaxNumberOfFrameToBuffered = GetParam().MaxFrames;
	const FLiveLinkSubjectKey Key = AddCamera(Guid);
	for (const double Time : GetParam().Times)
	{
		PushFrame(Key, Time, static_cast<float>(Time));
	}
	Tick();
	EXPECT_EQ(Buffered(Key), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(, SubjectBuffering,
	testing::Values(FBufferingCase{"SortedByTime", 10, {3, 1, 2}, {1, 2, 3}},
		FBufferingCase{"OlderFrameInsertedNotRejected", 10, {1, 3, 2}, {1, 2, 3}},
		FBufferingCase{"OldestReceivedEvictedNotOldestInTime", 3, {5, 1, 2, 3}, {1, 2, 3}},
		FBufferingCase{"AtLeastOneFrame", 0, {1, 2}, {2}}),
	[](const testing::TestParamInfo<FBufferingCase>& Info) { return std::string(Info.param.Name); });

TEST_F(SubjectBufferRules, EqualTimesKeepTheirArrivalOrder)
{
	const FGuid Guid = AddSource(ELiveLinkSourceMode::Latest);
	const FLiveLinkSubjectKey Key = AddCamera(Guid);
	PushFrame(Key, 1.0, 1.0f);
	PushFrame(Key, 1.0, 2.0f);
	Tick();
	EXPECT_EQ(Buffered(Key), (std::vector<float>{1.0f, 2.0f}));
	EXPECT_EQ(Evaluated(), 2.0f);
}

TEST_F(SubjectBufferRules, MoreThanSixtyFourQueuedFramesKeepTheNewestSixtyFourAndDropTheOverflowingPush)
{
	const FGuid Guid = AddSource(ELiveLinkSourceMode::Latest);
	Settings(Guid)->BufferSettings.MaxNumberOfFrameToBuffered = 100;
	const FLiveLinkSubjectKey Key = AddCamera(Guid);
	for (int Index = 1; Index <= 70; ++Index)
	{
		PushFrame(Key, Index, static_cast<float>(Index));
	}
	// The engine says nothing when it trims the queue: the stand-in counts what was lost for the benchmarks.
	EXPECT_EQ(FLiveLinkClientTesting::GetFrameQueueCounts(Client).FramesDropped, 6u);
	Tick();
	const std::vector<float> Frames = Buffered(Key);
	ASSERT_EQ(Frames.size(), 64u);
	EXPECT_EQ(Frames.front(), 4.0f);
	EXPECT_EQ(Frames[Frames.size() - 2], 67.0f);
	EXPECT_EQ(Frames.back(), 69.0f);
	PushFrame(Key, 71, 71.0f);
	Tick();
	const FLiveLinkClientTesting::FFrameQueueCounts Counts = FLiveLinkClientTesting::GetFrameQueueCounts(Client);
	EXPECT_EQ(Counts.FramesTaken, 65u);
	EXPECT_EQ(Counts.MostFramesInOneTick, 64u);
	EXPECT_EQ(Counts.FramesDropped, 6u);
}

TEST_F(SubjectBufferRules, StaticDataAgainOrAModeChangeClearsTheBuffer)
{
	const FGuid Guid = AddSource(ELiveLinkSourceMode::Latest);
	const FLiveLinkSubjectKey Key = AddCamera(Guid);
	PushFrame(Key, 1.0, 1.0f);
	Tick();
	ASSERT_EQ(Buffered(Key).size(), 1u);
	Settings(Guid)->Mode = ELiveLinkSourceMode::EngineTime;
	Tick();
	EXPECT_TRUE(Buffered(Key).empty());
	PushFrame(Key, 2.0, 2.0f);
	Tick();
	ASSERT_EQ(Buffered(Key).size(), 1u);
	PushStatic(Key);
	Tick();
	EXPECT_TRUE(Buffered(Key).empty());
}
} // namespace
