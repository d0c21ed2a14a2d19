#include "TakeRecorderTestSupport.h"

#include "LogCapture.h"
#include "LiveLinkClientTesting.h"

#include <functional>
#include <utility>

namespace
{
class RecordingStart : public FTakeRecorderFixture
{
protected:
	/** A start the way the editor's panel button asks for one. */
	static void Start() { UTakeRecorderBlueprintLibrary::GetTakeRecorderPanel()->StartRecording(); }

	static bool IsRecording() { return UTakeRecorderBlueprintLibrary::IsRecording(); }
};

TEST_F(RecordingStart, RefusedStartLogsAnErrorAndRecordsNothing)
{
	OpenPanel();
	const FLiveLinkSubjectKey Key = AddCameraSubject("Tavrix - Camera");
	FTakeRecorderHost::SetRefuseStarts(true);
	{
		FLogCapture Log;
		Start();
		const std::vector<FLogCapture::FLine> Lines = Log.GetLines();
		ASSERT_EQ(Lines.size(), 1u);
		EXPECT_EQ(Lines[0].Category, "LogTakeRecorder");
		EXPECT_EQ(Lines[0].Verbosity, ELogVerbosity::Error);
		EXPECT_NE(Lines[0].Text.find("refused to start recording"), std::string::npos) << Lines[0].Text;
	}
	PushFrame(Key, MakeFrame(1.0f));
	Client.Tick();
	EXPECT_FALSE(IsRecording());
	EXPECT_FALSE(FTakeRecorderHost::IsCountingDown());
	EXPECT_FALSE(FLiveLinkClientTesting::OnFrameDataReceived(Client).IsBound());
	EXPECT_TRUE(StartedPaths.empty());
	EXPECT_TRUE(TakeFiles().empty());
}

TEST_F(RecordingStart, StartAskedAgainOnceNoLongerRefusedRecords)
{
	OpenPanel();
	FTakeRecorderHost::SetRefuseStarts(true);
	Start();
	ASSERT_FALSE(IsRecording());

	FTakeRecorderHost::SetRefuseStarts(false);
	Start();
	EXPECT_TRUE(IsRecording());
	EXPECT_EQ(StartedPaths.size(), 1u);
	EXPECT_EQ(TakeFiles().size(), 1u);
}

TEST_F(RecordingStart, ShutdownSwitchesRefusalAndCountdownOffAgain)
{
	FTakeRecorderHost::SetRefuseStarts(true);
	FTakeRecorderHost::SetStartCountdown(5);
	FTakeRecorderHost::Shutdown();
	EXPECT_FALSE(FTakeRecorderHost::IsRefusingStarts());
	EXPECT_EQ(FTakeRecorderHost::GetStartCountdown(), 0);

	FTakeRecorderHost::SetLiveLinkClient(&Client);
	OpenPanel();
	Start();
	EXPECT_TRUE(IsRecording()) << "a start after shut-down is neither refused nor counted down";
}

TEST_F(RecordingStart, CountdownStartsTheTakeOnItsLastTickUnderTheSlateOfTheRequest)
{
	UTakeRecorderPanel* Panel = OpenPanel("Scene 4", 7);
	const FLiveLinkSubjectKey Key = AddCameraSubject("Tavrix - Camera");
	FTakeRecorderHost::SetStartCountdown(3);
	Start();
	Panel->GetTakeMetaData()->SetSlate(TEXT("Scene 5"), true);
	for (int Tick = 1; Tick < 3; ++Tick)
	{
		PushFrame(Key, MakeFrame(static_cast<float>(Tick)));
		Client.Tick();
		EXPECT_FALSE(IsRecording()) << "tick " << Tick;
		EXPECT_TRUE(FTakeRecorderHost::IsCountingDown()) << "tick " << Tick;
	}
	EXPECT_TRUE(TakeFiles().empty());
	EXPECT_TRUE(StartedPaths.empty());

	Client.Tick();
	EXPECT_TRUE(IsRecording());
	EXPECT_FALSE(FTakeRecorderHost::IsCountingDown());
	EXPECT_FALSE(Client.OnLiveLinkTicked().IsBound()) << "the countdown leaves nothing behind on the client's tick";
	PushFrame(Key, MakeFrame(3.0f));
	Panel->StopRecording();

	ASSERT_EQ(StartedPaths.size(), 1u);
	EXPECT_EQ(CurrentTakePath().filename(), "Scene_4_007.jsonl");
	const std::vector<nlohmann::json> Lines = ReadLines(CurrentTakePath());
	ASSERT_EQ(Lines.size(), 3u) << "only the frame pushed after the countdown is recorded";
	EXPECT_EQ(Lines[0]["slate"], "Scene 4");
	EXPECT_EQ(Lines[1]["location"][0], 3.0);
	EXPECT_EQ(Lines[2]["frames"], 1);
}

TEST_F(RecordingStart, CountdownAskedForInsideATickIsCountedFromTheNextTick)
{
	OpenPanel();
	FTakeRecorderHost::SetStartCountdown(1);
	bool bAsked = false;
	const FDelegateHandle Asker = Client.OnLiveLinkTicked().AddLambda([&] {
		if (!bAsked)
		{
			bAsked = true;
			Start();
		}
	});
	Client.Tick();
	EXPECT_TRUE(FTakeRecorderHost::IsCountingDown());
	EXPECT_FALSE(IsRecording());
	Client.Tick();
	EXPECT_TRUE(IsRecording());
	Client.OnLiveLinkTicked().Remove(Asker);
}

TEST_F(RecordingStart, StartDuringTheCountdownDoesNotRestartIt)
{
	OpenPanel();
	FTakeRecorderHost::SetStartCountdown(3);
	Start();
	Client.Tick();
	Client.Tick();
	Start();
	EXPECT_FALSE(IsRecording());
	Client.Tick();
	EXPECT_TRUE(IsRecording());
	EXPECT_EQ(StartedPaths.size(), 1u);
	EXPECT_FALSE(Client.OnLiveLinkTicked().IsBound());
}

TEST_F(RecordingStart, EveryWayOfStoppingCancelsTheCountdownWithoutATake)
{
	FLiveLinkClient Other;
	const std::pair<const char*, std::function<void()>> Stops[] = {
		{"the panel's stop", [] { UTakeRecorderBlueprintLibrary::GetTakeRecorderPanel()->StopRecording(); }},
		{"the library's stop", [] { UTakeRecorderBlueprintLibrary::StopRecording(); }},
		{"closing the panel", [] { FTakeRecorderHost::ClosePanel(); }},
		{"another client", [&] { FTakeRecorderHost::SetLiveLinkClient(&Other); }},
		{"shut-down", [] { FTakeRecorderHost::Shutdown(); }},
	};
	for (const auto& [Name, Stop] : Stops)
	{
		FTakeRecorderHost::SetLiveLinkClient(&Client);
		FTakeRecorderHost::SetStartCountdown(2);
		OpenPanel();
		Start();
		Client.Tick();
		ASSERT_TRUE(FTakeRecorderHost::IsCountingDown()) << Name;
		Stop();
		EXPECT_FALSE(FTakeRecorderHost::IsCountingDown()) << Name;
		EXPECT_FALSE(Client.OnLiveLinkTicked().IsBound()) << Name;
		for (int Tick = 0; Tick < 3; ++Tick)
		{
			Client.Tick();
			Other.Tick();
		}
		EXPECT_FALSE(IsRecording()) << Name;
	}
	EXPECT_TRUE(StartedPaths.empty());
	EXPECT_TRUE(StoppedPaths.empty()) << "a cancelled countdown had no take to stop";
	EXPECT_TRUE(TakeFiles().empty());
}
} // namespace
