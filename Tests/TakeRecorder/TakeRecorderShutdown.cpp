#include "TakeRecorderTestSupport.h"

#include <csignal>

namespace
{
class TakeRecorderShutdown : public FTakeRecorderFixture
{
protected:
	/** The one take file the folder holds; a child process wrote it, so the recorder here does not know it. */
	std::filesystem::path OnlyTakeFile() const
	{
		const std::vector<std::filesystem::path> Files = TakeFiles();
		EXPECT_EQ(Files.size(), 1u);
		return Files.empty() ? std::filesystem::path() : Files.front();
	}
};

TEST_F(TakeRecorderShutdown, ShutdownWhileRecordingEndsTheTakeAndClosesThePanel)
{
	const FLiveLinkSubjectKey Key = AddCameraSubject("Tavrix - Camera");
	OpenPanel()->StartRecording();
	PushFrame(Key, MakeFrame(1.0f));
	PushFrame(Key, MakeFrame(2.0f));
	FTakeRecorderHost::Shutdown();
	PushFrame(Key, MakeFrame(3.0f));

	EXPECT_FALSE(UTakeRecorderBlueprintLibrary::IsRecording());
	EXPECT_EQ(UTakeRecorderBlueprintLibrary::GetTakeRecorderPanel(), nullptr);
	EXPECT_EQ(FTakeRecorderHost::GetLiveLinkClient(), nullptr);
	const std::vector<nlohmann::json> Lines = ReadLines(CurrentTakePath());
	ASSERT_EQ(Lines.size(), 4u);
	EXPECT_EQ(Lines[3]["record"], "end");
	EXPECT_EQ(Lines[3]["frames"], 2);
}

TEST_F(TakeRecorderShutdown, ProcessExitWhileRecordingEndsTheTake)
{
	const FLiveLinkSubjectKey Key = AddCameraSubject("Tavrix - Camera");
	UTakeRecorderPanel* Panel = OpenPanel();
	EXPECT_EXIT(
		{
			Panel->StartRecording();
			PushFrame(Key, MakeFrame(1.0f));
			PushFrame(Key, MakeFrame(2.0f));
			std::exit(0);
		},
		testing::ExitedWithCode(0), "");

	const std::vector<nlohmann::json> Lines = ReadLines(OnlyTakeFile());
	ASSERT_EQ(Lines.size(), 4u);
	EXPECT_EQ(Lines[3]["record"], "end");
	EXPECT_EQ(Lines[3]["frames"], 2);
}

TEST_F(TakeRecorderShutdown, KilledProcessLeavesEveryFrameWrittenSoFar)
{
	const FLiveLinkSubjectKey Key = AddCameraSubject("Tavrix - Camera");
	UTakeRecorderPanel* Panel = OpenPanel();
	EXPECT_EXIT(
		{
			Panel->StartRecording();
			PushFrame(Key, MakeFrame(1.0f));
			PushFrame(Key, MakeFrame(2.0f));
			PushFrame(Key, MakeFrame(3.0f));
			std::raise(SIGKILL);
		},
		testing::KilledBySignal(SIGKILL), "");

	const std::vector<nlohmann::json> Lines = ReadLines(OnlyTakeFile());
	ASSERT_EQ(Lines.size(), 4u);
	EXPECT_EQ(Lines[0]["record"], "take");
	EXPECT_EQ(Lines[3]["record"], "frame");
	EXPECT_EQ(Lines[3]["location"][0], 3.0);
}
} // namespace
