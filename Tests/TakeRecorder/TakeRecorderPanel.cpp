#include "LogCapture.h"
#include "TakeRecorderTestSupport.h"

#include <thread>

namespace
{
class TakeRecorderPanel : public FTakeRecorderFixture
{
};

TEST_F(TakeRecorderPanel, WithoutAnOpenPanelThereIsNoneAndNoRecording)
{
	EXPECT_EQ(UTakeRecorderBlueprintLibrary::GetTakeRecorderPanel(), nullptr);
	EXPECT_FALSE(UTakeRecorderBlueprintLibrary::IsRecording());
}

TEST_F(TakeRecorderPanel, OpeningTwiceGivesTheSamePanelUntilItIsClosed)
{
	UTakeRecorderPanel* Panel = UTakeRecorderBlueprintLibrary::OpenTakeRecorderPanel();
	ASSERT_NE(Panel, nullptr);
	EXPECT_EQ(UTakeRecorderBlueprintLibrary::OpenTakeRecorderPanel(), Panel);
	EXPECT_EQ(UTakeRecorderBlueprintLibrary::GetTakeRecorderPanel(), Panel);
	Panel->GetTakeMetaData()->SetSlate(TEXT("Kept"), true);

	FTakeRecorderHost::ClosePanel();
	EXPECT_EQ(UTakeRecorderBlueprintLibrary::GetTakeRecorderPanel(), nullptr);
	FTakeRecorderHost::ClosePanel();
	EXPECT_EQ(UTakeRecorderBlueprintLibrary::GetTakeRecorderPanel(), nullptr);
	// The slate outlives the panel.
	EXPECT_TRUE(UTakeRecorderBlueprintLibrary::OpenTakeRecorderPanel()->GetTakeMetaData()->GetSlate().Equals(TEXT("Kept")));
}

TEST_F(TakeRecorderPanel, ClosedPanelHasNoTakeMetaDataAndSaysSo)
{
	UTakeRecorderPanel* Panel = UTakeRecorderBlueprintLibrary::OpenTakeRecorderPanel();
	FTakeRecorderHost::ClosePanel();
	FLogCapture Log;
	EXPECT_EQ(Panel->GetTakeMetaData(), nullptr);
	ASSERT_EQ(Log.GetLines().size(), 1u);
	EXPECT_EQ(Log.GetLines()[0].Verbosity, ELogVerbosity::Error);
}

TEST_F(TakeRecorderPanel, ClosingWhileRecordingEndsTheTakeCleanly)
{
	const FLiveLinkSubjectKey Key = AddCameraSubject("Tavrix - Camera");
	OpenPanel()->StartRecording();
	PushFrame(Key, MakeFrame(1.0f));
	FTakeRecorderHost::ClosePanel();
	PushFrame(Key, MakeFrame(2.0f));

	EXPECT_FALSE(UTakeRecorderBlueprintLibrary::IsRecording());
	EXPECT_EQ(UTakeRecorderBlueprintLibrary::GetTakeRecorderPanel(), nullptr);
	const std::vector<nlohmann::json> Lines = ReadLines(CurrentTakePath());
	ASSERT_EQ(Lines.size(), 3u);
	EXPECT_EQ(Lines[2]["record"], "end");
	EXPECT_EQ(Lines[2]["frames"], 1);
	EXPECT_EQ(StoppedFrames, std::vector<int64>{1});
}

TEST_F(TakeRecorderPanel, AnotherThreadMayOpenItOnceItIsClosed)
{
	UTakeRecorderBlueprintLibrary::OpenTakeRecorderPanel();
	FTakeRecorderHost::ClosePanel();
	bool bOpenedElsewhere = false;
	std::thread([&] {
		bOpenedElsewhere =
			UTakeRecorderBlueprintLibrary::OpenTakeRecorderPanel() != nullptr && !UTakeRecorderBlueprintLibrary::IsRecording();
		FTakeRecorderHost::ClosePanel();
	}).join();

	EXPECT_TRUE(bOpenedElsewhere);
	EXPECT_NE(UTakeRecorderBlueprintLibrary::OpenTakeRecorderPanel(), nullptr);
}

TEST_F(TakeRecorderPanel, UseOffTheThreadThatOpenedItFailsLoudly)
{
	UTakeRecorderPanel* Panel = OpenPanel();
	EXPECT_DEATH(std::thread([] { UTakeRecorderBlueprintLibrary::IsRecording(); }).join(), "off the game thread");
	EXPECT_DEATH(std::thread([Panel] { Panel->StartRecording(); }).join(), "off the game thread");
	UTakeMetaData* MetaData = Panel->GetTakeMetaData();
	EXPECT_DEATH(std::thread([MetaData] { MetaData->SetSlate(TEXT("Elsewhere"), true); }).join(), "off the game thread");
	EXPECT_FALSE(UTakeRecorderBlueprintLibrary::IsRecording());
}
} // namespace
