#include "DecoderHarness.h"

#include "Recorder/TakeRecorderPanel.h"
#include "TakeMetaData.h"
#include "Recorder/TakeRecorderBlueprintLibrary.h"
#include "LogCapture.h"
#include "TakeRecorderHost.h"
#include "TavrixConversions.h"
#include "LiveLinkClientTesting.h"
#include "TavrixLiveLinkSourceSettings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <limits>
#include <string>
#include <thread>
#include <vector>

namespace
{
namespace fs = std::filesystem;

/** A source following Take Recorder, with every Take Recorder change it causes written down in order. */
class FTakeFollowingHarness
{
public:
	FTakeFollowingHarness(bool bAutoSceneTake, bool bAutoRecord)
		: TakesDir(fs::temp_directory_path() / ("tavrix-takes-" + std::to_string(::getpid()) + "-" + std::to_string(Counter++)))
	{
		FTakeRecorderHost::SetLiveLinkClient(&Client);
		FTakeRecorderHost::SetTakesDirectory(FString::FromUtf8(TakesDir.string()));
		SlateHandle = FTakeRecorderHost::OnTakeSlateChanged().AddLambda(
			[this](const FString& Slate, UTakeMetaData*) { Events.push_back("slate:" + Slate.ToUtf8()); });
		TakeHandle = FTakeRecorderHost::OnTakeNumberChanged().AddLambda(
			[this](int32 Take, UTakeMetaData*) { Events.push_back("take:" + std::to_string(Take)); });
		StartHandle = FTakeRecorderHost::OnRecordingStarted().AddLambda([this](const FString&) { Events.push_back("start"); });
		StopHandle = FTakeRecorderHost::OnRecordingStopped().AddLambda([this](const FString&, int64) { Events.push_back("stop"); });

		TSharedPtr<FTavrixLiveLinkSource> Shared = MakeSharedLoopbackSource(false, bAutoSceneTake, bAutoRecord);
		Source = Shared.Get();
		Client.AddSource(Shared);
	}
	~FTakeFollowingHarness()
	{
		Client.RemoveAllSources();
		FTakeRecorderHost::OnTakeSlateChanged().Remove(SlateHandle);
		FTakeRecorderHost::OnTakeNumberChanged().Remove(TakeHandle);
		FTakeRecorderHost::OnRecordingStarted().Remove(StartHandle);
		FTakeRecorderHost::OnRecordingStopped().Remove(StopHandle);
		FTakeRecorderHost::Shutdown();
		std::error_code Ignored;
		fs::remove_all(TakesDir, Ignored);
	}

	/** Decodes a camera message carrying these metadata texts and this state (or none, when State is null). */
	void Receive(const std::string& First, const std::string& Scene, const std::string& Take, const char* State = "0")
	{
		std::string Message = "{\"TVKCamera\":[{\"Metadata\":[\"" + First + "\",\"" + Scene + "\",\"" + Take + "\"]";
		if (State != nullptr)
		{
			Message += std::string(",\"State\":") + State;
		}
		Message += "}]}";
		Decode(Message);
	}
	void Decode(const std::string& Message)
	{
		TSharedPtr<TArray<uint8>, ESPMode::ThreadSafe> Data = MakeShared<TArray<uint8>, ESPMode::ThreadSafe>();
		Data->Append(reinterpret_cast<const uint8*>(Message.data()), static_cast<int32>(Message.size()));
		Source->ProcessReceivedData(Data);
	}
	std::vector<std::string> TickAndTakeEvents()
	{
		Client.Tick();
		std::vector<std::string> Taken;
		Taken.swap(Events);
		return Taken;
	}
	static UTakeRecorderPanel* OpenPanel() { return UTakeRecorderBlueprintLibrary::OpenTakeRecorderPanel(); }
	static UTakeMetaData* MetaData() { return UTakeRecorderBlueprintLibrary::GetTakeRecorderPanel()->GetTakeMetaData(); }

	fs::path TakesDir;
	FLiveLinkClient Client;
	FTavrixLiveLinkSource* Source = nullptr;
	std::vector<std::string> Events;
	FDelegateHandle SlateHandle, TakeHandle, StartHandle, StopHandle;
	static inline int Counter = 0;
};

using FEvents = std::vector<std::string>;

TEST(TakeRecorderFollowing, FirstDatagramWithNothingToApplyMakesNoTakeRecorderCall)
{
	FTakeFollowingHarness Harness(true, true);
	Harness.OpenPanel();
	Harness.Receive("", "", "", "1");
	EXPECT_EQ(Harness.TickAndTakeEvents(), FEvents{});
	EXPECT_FALSE(UTakeRecorderBlueprintLibrary::IsRecording());
}

TEST(TakeRecorderFollowing, SlateAndTakeWaitForAPanelAndAreAppliedOnTheFirstTickThatFindsOne)
{
	FTakeFollowingHarness Harness(true, false);
	Harness.Receive("", "Scene 4", "7");
	EXPECT_EQ(Harness.TickAndTakeEvents(), FEvents{});
	EXPECT_EQ(Harness.TickAndTakeEvents(), FEvents{});
	EXPECT_TRUE(FTavrixLiveLinkSourceInspector(*Harness.Source).GetAppliedMetadata()[1].IsEmpty()) << "nothing is stored without a panel";

	Harness.OpenPanel();
	EXPECT_EQ(Harness.TickAndTakeEvents(), (FEvents{"slate:Scene 4", "take:7"}));
	EXPECT_EQ(Harness.MetaData()->GetSlate().ToUtf8(), "Scene 4");
	EXPECT_EQ(Harness.MetaData()->GetTakeNumber(), 7);
	EXPECT_EQ(Harness.TickAndTakeEvents(), FEvents{}) << "an applied change is not applied again";
}

TEST(TakeRecorderFollowing, RecordStateSeenWithoutAPanelIsActedOnWhenThePanelOpens)
{
	// Empty metadata: only the record request differs from what was applied, so only it can make the step run.
	for (const bool bAutoSceneTake : {false, true})
	{
		FTakeFollowingHarness Harness(bAutoSceneTake, true);
		Harness.Receive("", "", "", "2");
		EXPECT_EQ(Harness.TickAndTakeEvents(), FEvents{});
		EXPECT_EQ(Harness.TickAndTakeEvents(), FEvents{});
		EXPECT_EQ(FTavrixLiveLinkSourceInspector(*Harness.Source).GetAppliedRecordRequest(), 0) << "nothing is stored without a panel";

		Harness.OpenPanel();
		// The editor stores a take number of at least 1.
		const FEvents Expected = bAutoSceneTake ? FEvents{"slate:", "take:1", "start"} : FEvents{"start"};
		EXPECT_EQ(Harness.TickAndTakeEvents(), Expected);
		EXPECT_TRUE(UTakeRecorderBlueprintLibrary::IsRecording());
	}
}

TEST(TakeRecorderFollowing, ACaseOnlyChangeOrAFirstTextChangeAppliesAgain)
{
	FTakeFollowingHarness Harness(true, false);
	Harness.OpenPanel();
	Harness.Receive("", "Scene 4", "7");
	Harness.TickAndTakeEvents();
	Harness.Receive("", "scene 4", "7");
	EXPECT_EQ(Harness.TickAndTakeEvents(), (FEvents{"slate:scene 4", "take:7"}));
	Harness.Receive("b-cam", "scene 4", "7");
	EXPECT_EQ(Harness.TickAndTakeEvents(), (FEvents{"slate:scene 4", "take:7"}));
}

TEST(TakeRecorderFollowing, TakeTextsReadAsTheCRuntimeReadsThem)
{
	const std::pair<const char*, int32> Cases[] = {{" 12", 12}, {"12a", 12}, {"-3", -3}, {"", 0}, {"A", 0}, {"+5", 5}, {"\t\n 42 ", 42},
		{"- 3", 0}, {"99999999999999999999", std::numeric_limits<int32>::max()}, {"-2147483648", std::numeric_limits<int32>::min()},
		{"-99999999999", std::numeric_limits<int32>::min()}, {"2147483647", std::numeric_limits<int32>::max()}};
	for (const auto& [Text, Expected] : Cases)
	{
		EXPECT_EQ(TavrixConversions::ParseTakeNumber(FString::FromUtf8(Text)), Expected) << '"' << Text << '"';
	}
	// Only ASCII digits are digits: a superscript, a full-width or an Arabic-Indic digit ends the number, though the
	// engine's character test on Windows counts each of them as one.
	const std::pair<const char*, int32> OtherDigits[] = {
		{"1\u00B2", 1}, {"7\u00B9\u00B3", 7}, {"\uFF11\uFF12", 0}, {"3\uFF14", 3}, {"\u0663", 0}, {"-2\u0969", -2}};
	for (const auto& [Text, Expected] : OtherDigits)
	{
		EXPECT_EQ(TavrixConversions::ParseTakeNumber(FString::FromUtf8(Text)), Expected) << '"' << Text << '"';
	}

	FTakeFollowingHarness Harness(true, false);
	Harness.OpenPanel();
	Harness.Receive("", "S", "12a");
	Harness.TickAndTakeEvents();
	EXPECT_EQ(Harness.MetaData()->GetTakeNumber(), 12);
}

TEST(TakeRecorderFollowing, RecordingFollowsStateTwoAndStartsAfterSlateAndTake)
{
	FTakeFollowingHarness Harness(true, true);
	Harness.OpenPanel();
	FTavrixLiveLinkSourceInspector Inspector(*Harness.Source);
	Harness.Receive("", "Scene 4", "7", "2");
	EXPECT_EQ(Harness.TickAndTakeEvents(), (FEvents{"slate:Scene 4", "take:7", "start"}));
	EXPECT_TRUE(UTakeRecorderBlueprintLibrary::IsRecording());

	for (const char* NotRecording : {"1", "3", "0"})
	{
		Harness.Receive("", "Scene 4", "7", "2");
		Harness.TickAndTakeEvents();
		ASSERT_TRUE(UTakeRecorderBlueprintLibrary::IsRecording());
		// Any change applies slate and take again before the recording is acted on; the take being recorded is locked,
		// and once it is done the editor moves on to the next take number.
		Harness.Receive("", "Scene 4", "7", NotRecording);
		EXPECT_EQ(Harness.TickAndTakeEvents(), (FEvents{"take:8", "stop"})) << "state " << NotRecording;
		Inspector.AgeLastStartRequest(1000);
		Harness.Receive("", "Scene 4", "7", "2");
		EXPECT_EQ(Harness.TickAndTakeEvents(), (FEvents{"slate:Scene 4", "take:7", "start"}));
	}
}

TEST(TakeRecorderFollowing, ARecordingStoppedByHandIsNotRestartedWhileNothingChanges)
{
	FTakeFollowingHarness Harness(true, true);
	Harness.OpenPanel();
	Harness.Receive("", "Scene 4", "7", "2");
	Harness.TickAndTakeEvents();
	UTakeRecorderBlueprintLibrary::GetTakeRecorderPanel()->StopRecording();
	Harness.Events.clear();
	for (int Tick = 0; Tick < 3; ++Tick)
	{
		Harness.Receive("", "Scene 4", "7", "2");
		EXPECT_EQ(Harness.TickAndTakeEvents(), FEvents{});
	}
	EXPECT_FALSE(UTakeRecorderBlueprintLibrary::IsRecording());
}

TEST(TakeRecorderFollowing, RecordingGoesOnThroughASceneChangeWhichNamesTheNextTake)
{
	FTakeFollowingHarness Harness(true, true);
	Harness.OpenPanel();
	Harness.Receive("", "Scene 4", "7", "2");
	Harness.TickAndTakeEvents();
	// The take being recorded is locked: the new scene and take wait for it to end.
	Harness.Receive("", "Scene 5", "1", "2");
	EXPECT_EQ(Harness.TickAndTakeEvents(), FEvents{});
	EXPECT_TRUE(UTakeRecorderBlueprintLibrary::IsRecording());
	EXPECT_EQ(Harness.TickAndTakeEvents(), FEvents{});

	Harness.Receive("", "Scene 5", "1", "0");
	EXPECT_EQ(Harness.TickAndTakeEvents(), (FEvents{"take:8", "stop"}));
	EXPECT_EQ(Harness.TickAndTakeEvents(), (FEvents{"slate:Scene 5", "take:1"})) << "nothing the sender said is lost";
	EXPECT_EQ(Harness.MetaData()->GetSlate().ToUtf8(), "Scene 5");
	EXPECT_EQ(Harness.MetaData()->GetTakeNumber(), 1);
}

TEST(TakeRecorderFollowing, RecordOnlyFollowsTheStateWithoutStoppingOrRestartingTheTake)
{
	// Without scene/take following the metadata is never applied, and never makes a tick a change.
	FTakeFollowingHarness Harness(false, true);
	Harness.OpenPanel();
	const std::string SlateBefore = Harness.MetaData()->GetSlate().ToUtf8();
	Harness.Receive("", "Scene 4", "7", "2");
	EXPECT_EQ(Harness.TickAndTakeEvents(), FEvents{"start"});
	for (int Tick = 0; Tick < 3; ++Tick)
	{
		EXPECT_EQ(Harness.TickAndTakeEvents(), FEvents{});
	}
	EXPECT_TRUE(UTakeRecorderBlueprintLibrary::IsRecording());
	EXPECT_EQ(Harness.MetaData()->GetSlate().ToUtf8(), SlateBefore) << "the slate is never touched";
	EXPECT_TRUE(FTavrixLiveLinkSourceInspector(*Harness.Source).GetAppliedMetadata()[1].IsEmpty());

	// Stopped by hand while the sender still asks for recording: not restarted on the next tick, nor later.
	const int32 RecordedTake = Harness.MetaData()->GetTakeNumber();
	UTakeRecorderBlueprintLibrary::GetTakeRecorderPanel()->StopRecording();
	Harness.Events.clear();
	for (int Tick = 0; Tick < 3; ++Tick)
	{
		Harness.Receive("", "Scene 4", "7", "2");
		EXPECT_EQ(Harness.TickAndTakeEvents(), FEvents{});
	}
	Harness.Receive("", "Scene 4", "7", "0");
	Harness.TickAndTakeEvents();
	FTavrixLiveLinkSourceInspector(*Harness.Source).AgeLastStartRequest(1000);
	Harness.Receive("", "Scene 4", "7", "2");
	EXPECT_EQ(Harness.TickAndTakeEvents(), FEvents{"start"});
	Harness.Receive("", "Scene 4", "7", "0");
	EXPECT_EQ(Harness.TickAndTakeEvents(), (FEvents{"take:" + std::to_string(RecordedTake + 2), "stop"}));
}

TEST(TakeRecorderFollowing, SceneTakeOnlyRemembersTheStateButNeverRecords)
{
	FTakeFollowingHarness Harness(true, false);
	Harness.OpenPanel();
	Harness.Receive("", "Scene 4", "7", "2");
	EXPECT_EQ(Harness.TickAndTakeEvents(), (FEvents{"slate:Scene 4", "take:7"}));
	EXPECT_FALSE(UTakeRecorderBlueprintLibrary::IsRecording());
	EXPECT_EQ(FTavrixLiveLinkSourceInspector(*Harness.Source).GetAppliedRecordRequest(), 1);
	EXPECT_EQ(Harness.TickAndTakeEvents(), FEvents{});
}

TEST(TakeRecorderFollowing, LostMetadataEmptiesTheSlateAndLostStateStopsTheTake)
{
	FTakeFollowingHarness Harness(true, true);
	Harness.OpenPanel();
	Harness.Receive("", "Scene 4", "7", "2");
	Harness.TickAndTakeEvents();
	Harness.Decode(R"({"TVKCamera":[{"Location":[1,2,3]}]})");
	EXPECT_EQ(Harness.TickAndTakeEvents(), (FEvents{"take:8", "stop"}));
	EXPECT_FALSE(UTakeRecorderBlueprintLibrary::IsRecording());
	EXPECT_EQ(Harness.TickAndTakeEvents(), (FEvents{"slate:", "take:1"}));
}
// Starting and stopping a take saves assets and may tick the engine again from inside the call: the source drives
// Take Recorder with its lock released, and a tick that comes back in publishes without driving Take Recorder twice.
TEST(TakeRecorderFollowing, TakeRecorderIsDrivenWithTheLockFreeAndMayTickTheSourceAgain)
{
	FTakeFollowingHarness Harness(true, true);
	Harness.OpenPanel();
	FTavrixLiveLinkSourceInspector Inspector(*Harness.Source);
	int Reentries = 0;
	std::vector<bool> LockFree;
	FTakeRecorderHost::SetModalProgressTick([&] {
		bool bFree = false;
		std::thread([&] { bFree = Inspector.IsDataMutexFree(); }).join(); // the writing thread cannot ask itself
		LockFree.push_back(bFree);
		++Reentries;
		Harness.Client.Tick();
	});
	Harness.Receive("", "Scene 4", "7", "2");
	EXPECT_EQ(Harness.TickAndTakeEvents(), (FEvents{"slate:Scene 4", "take:7", "start"}));
	// A change of the record request applies slate and take again, as any change does, to a take that is locked.
	Harness.Receive("", "Scene 4", "7", "0");
	EXPECT_EQ(Harness.TickAndTakeEvents(), (FEvents{"take:8", "stop"}));
	EXPECT_EQ(Reentries, 2);
	EXPECT_EQ(LockFree, (std::vector<bool>{true, true}));
	// The frame pushed on the last tick is applied by the next.
	Harness.Client.Tick();
	EXPECT_EQ(FLiveLinkClientTesting::GetFrameCount(
				  Harness.Client, FLiveLinkSubjectKey(Harness.Client.GetSources()[0], FName("Tavrix - Camera"))),
		4u);
}

// Each refused start is an Error in the editor's log: a recorder that keeps refusing is asked half as often each time,
// down to twice a minute, and a take or a sender that stops asking brings the second back.
TEST(TakeRecorderFollowing, ARecorderThatKeepsRefusingIsAskedLessOftenDownToTwiceAMinute)
{
	FTakeFollowingHarness Harness(false, true);
	Harness.OpenPanel();
	FTavrixLiveLinkSourceInspector Inspector(*Harness.Source);
	FLogCapture Log;
	size_t Seen = 0;
	const auto TickAndSeeARefusal = [&] {
		Harness.TickAndTakeEvents();
		const size_t Lines = Log.GetLines().size();
		const bool bRefused = Lines > Seen;
		Seen = Lines;
		return bRefused;
	};
	FTakeRecorderHost::SetRefuseStarts(true);
	Harness.Receive("", "Scene 4", "7", "2");
	EXPECT_TRUE(TickAndSeeARefusal());
	// The first refusal is asked again after 1 s, then 2, 4, 8, 16, 30, 30 s: halfway through each, nothing.
	for (const int64 Interval : {1000, 2000, 4000, 8000, 16000, 30000, 30000})
	{
		EXPECT_EQ(Inspector.GetStartIntervalMs(), Interval);
		Inspector.AgeLastStartRequest(Interval / 2);
		EXPECT_FALSE(TickAndSeeARefusal()) << Interval;
		Inspector.AgeLastStartRequest(Interval - Interval / 2);
		EXPECT_TRUE(TickAndSeeARefusal()) << Interval;
	}

	// The sender stops asking and asks again: a second is enough once more.
	Harness.Receive("", "Scene 4", "7", "0");
	Harness.TickAndTakeEvents();
	FTakeRecorderHost::SetRefuseStarts(false);
	Inspector.AgeLastStartRequest(1000);
	Harness.Receive("", "Scene 4", "7", "2");
	EXPECT_EQ(Harness.TickAndTakeEvents(), FEvents{"start"});
	EXPECT_EQ(Inspector.GetStartIntervalMs(), 1000);
}

TEST(TakeRecorderFollowing, ARefusedStartIsAskedAgainAtMostOnceASecondWhileTheSenderAsks)
{
	FTakeFollowingHarness Harness(true, true);
	Harness.OpenPanel();
	FTavrixLiveLinkSourceInspector Inspector(*Harness.Source);
	FLogCapture Log;
	const auto Refusals = [&Log] {
		int Count = 0;
		for (const FLogCapture::FLine& Line : Log.GetLines())
		{
			Count += Line.Category == "LogTakeRecorder" && Line.Verbosity == ELogVerbosity::Error ? 1 : 0;
		}
		return Count;
	};
	FTakeRecorderHost::SetRefuseStarts(true);
	Harness.Receive("", "Scene 4", "7", "2");
	Harness.TickAndTakeEvents();
	EXPECT_EQ(Refusals(), 1);
	for (int Tick = 0; Tick < 5; ++Tick)
	{
		Harness.TickAndTakeEvents();
	}
	EXPECT_EQ(Refusals(), 1) << "asked again within the second";

	Inspector.AgeLastStartRequest(1000);
	Harness.TickAndTakeEvents();
	EXPECT_EQ(Refusals(), 2);

	// The recorder can record now: the next attempt (two seconds on, after two refusals) starts the take, and then
	// nothing more is asked.
	FTakeRecorderHost::SetRefuseStarts(false);
	Inspector.AgeLastStartRequest(1000);
	EXPECT_EQ(Harness.TickAndTakeEvents(), FEvents{});
	Inspector.AgeLastStartRequest(1000);
	EXPECT_EQ(Harness.TickAndTakeEvents(), FEvents{"start"});
	Inspector.AgeLastStartRequest(1000);
	EXPECT_EQ(Harness.TickAndTakeEvents(), FEvents{});
	EXPECT_TRUE(UTakeRecorderBlueprintLibrary::IsRecording());

	// A refused start that the sender no longer asks for is not asked again.
	Harness.Receive("", "Scene 4", "7", "0");
	EXPECT_EQ(Harness.TickAndTakeEvents(), (FEvents{"take:8", "stop"}));
	FTakeRecorderHost::SetRefuseStarts(true);
	Harness.Receive("", "Scene 4", "7", "2");
	Harness.TickAndTakeEvents();
	Harness.Receive("", "Scene 4", "7", "0");
	Harness.TickAndTakeEvents();
	const int RefusalsBefore = Refusals();
	Inspector.AgeLastStartRequest(1000);
	Harness.TickAndTakeEvents();
	EXPECT_EQ(Refusals(), RefusalsBefore);
}

/** Far enough for no test to take that long: a start moved this far ahead keeps the next one waiting. */
constexpr int64 OneHourMs = 3600 * 1000;

int32 TakeStartsDelayedShown(FTakeFollowingHarness& Harness)
{
	Harness.Client.Tick();
	const auto* Details =
		static_cast<const UTavrixLiveLinkSourceSettings*>(Harness.Client.GetSourceSettings(Harness.Client.GetSources()[0]));
	return Details != nullptr ? Details->TakeStartsDelayed : -1;
}

TEST(TakeRecorderFollowing, AFloodOfRecordTogglesStartsAtMostOneTakeASecondAndEveryStopAtOnce)
{
	FTakeFollowingHarness Harness(false, true);
	Harness.OpenPanel();
	FTavrixLiveLinkSourceInspector Inspector(*Harness.Source);
	FEvents Seen;
	const auto ReceiveAndTick = [&](const char* State) {
		Harness.Receive("", "Scene 4", "7", State);
		for (const std::string& Event : Harness.TickAndTakeEvents())
		{
			Seen.push_back(Event);
		}
	};
	ReceiveAndTick("2");
	ASSERT_EQ(Seen, FEvents{"start"});
	const std::string NextTake = "take:" + std::to_string(Harness.MetaData()->GetTakeNumber() + 1);
	// The second after that start lasts as long as the flood, however slowly this machine runs it.
	Inspector.AgeLastStartRequest(-OneHourMs);
	for (int Datagram = 1; Datagram < 100; ++Datagram)
	{
		ReceiveAndTick(Datagram % 2 == 0 ? "2" : "0");
	}
	EXPECT_EQ(Seen, (FEvents{"start", NextTake, "stop"})) << "one take, stopped at once";
	EXPECT_EQ(TakeStartsDelayedShown(Harness), 49) << "each request to record after the first waited";

	// The flood ends asking for recording: the take starts as soon as the second is up, without another datagram.
	Seen.clear();
	ReceiveAndTick("2");
	EXPECT_EQ(Seen, FEvents{});
	Inspector.AgeLastStartRequest(OneHourMs + 1000);
	ReceiveAndTick("2");
	EXPECT_EQ(Seen, FEvents{"start"});
	EXPECT_TRUE(UTakeRecorderBlueprintLibrary::IsRecording());
	EXPECT_EQ(TakeStartsDelayedShown(Harness), 50);
}

TEST(TakeRecorderFollowing, AStartThatWaitedBeginsWhenItsSecondIsUpOnlyIfTheSenderStillAsks)
{
	FTakeFollowingHarness Harness(true, true);
	Harness.OpenPanel();
	FTavrixLiveLinkSourceInspector Inspector(*Harness.Source);
	Harness.Receive("", "Scene 4", "7", "2");
	EXPECT_EQ(Harness.TickAndTakeEvents(), (FEvents{"slate:Scene 4", "take:7", "start"}));
	Harness.Receive("", "Scene 4", "7", "0");
	EXPECT_EQ(Harness.TickAndTakeEvents(), (FEvents{"take:8", "stop"}));

	// Asked again too soon: slate and take follow at once, the take waits, then starts with no new datagram.
	Inspector.AgeLastStartRequest(-OneHourMs);
	Harness.Receive("", "Scene 5", "1", "2");
	EXPECT_EQ(Harness.TickAndTakeEvents(), (FEvents{"slate:Scene 5", "take:1"}));
	EXPECT_EQ(Harness.TickAndTakeEvents(), FEvents{});
	Inspector.AgeLastStartRequest(OneHourMs + 1000);
	EXPECT_EQ(Harness.TickAndTakeEvents(), FEvents{"start"});
	EXPECT_EQ(Harness.TickAndTakeEvents(), FEvents{});

	// Asked too soon and then no longer: nothing starts when the second is up.
	Harness.Receive("", "Scene 5", "1", "0");
	EXPECT_EQ(Harness.TickAndTakeEvents(), (FEvents{"take:2", "stop"}));
	Inspector.AgeLastStartRequest(-OneHourMs);
	Harness.Receive("", "Scene 5", "1", "2");
	Harness.TickAndTakeEvents();
	Harness.Receive("", "Scene 5", "1", "0");
	Harness.TickAndTakeEvents();
	Inspector.AgeLastStartRequest(OneHourMs + 1000);
	EXPECT_EQ(Harness.TickAndTakeEvents(), FEvents{});
	EXPECT_FALSE(UTakeRecorderBlueprintLibrary::IsRecording());
	EXPECT_EQ(TakeStartsDelayedShown(Harness), 2);
}

TEST(TakeRecorderFollowing, RecordingStoppedAndAskedForAgainAfterASecondMakesASecondTakeAtOnce)
{
	FTakeFollowingHarness Harness(true, true);
	Harness.OpenPanel();
	FTavrixLiveLinkSourceInspector Inspector(*Harness.Source);
	Harness.Receive("", "Scene 4", "7", "2");
	EXPECT_EQ(Harness.TickAndTakeEvents(), (FEvents{"slate:Scene 4", "take:7", "start"}));
	Harness.Receive("", "Scene 4", "7", "0");
	EXPECT_EQ(Harness.TickAndTakeEvents(), (FEvents{"take:8", "stop"}));
	Inspector.AgeLastStartRequest(1000);
	Harness.Receive("", "Scene 4", "8", "2");
	EXPECT_EQ(Harness.TickAndTakeEvents(), (FEvents{"slate:Scene 4", "take:8", "start"}));
	EXPECT_EQ(TakeStartsDelayedShown(Harness), 0);
}

TEST(TakeRecorderFollowing, AStartCountedDownToBeginsOnceAndAStopDuringTheCountdownIsHonoured)
{
	FTakeFollowingHarness Harness(true, true);
	Harness.OpenPanel();
	FTavrixLiveLinkSourceInspector Inspector(*Harness.Source);
	FTakeRecorderHost::SetStartCountdown(3);

	Harness.Receive("", "Scene 4", "7", "2");
	EXPECT_EQ(Harness.TickAndTakeEvents(), (FEvents{"slate:Scene 4", "take:7"}));
	EXPECT_TRUE(FTakeRecorderHost::IsCountingDown());
	Harness.Receive("", "Scene 4", "7", "0");
	Harness.TickAndTakeEvents();
	EXPECT_FALSE(FTakeRecorderHost::IsCountingDown());
	for (int Tick = 0; Tick < 5; ++Tick)
	{
		Inspector.AgeLastStartRequest(1000);
		EXPECT_EQ(Harness.TickAndTakeEvents(), FEvents{});
	}
	EXPECT_FALSE(UTakeRecorderBlueprintLibrary::IsRecording());

	// Asked for and left alone, the countdown runs out into one take; a second passing meanwhile asks nothing more.
	Harness.Receive("", "Scene 4", "7", "2");
	FEvents Seen;
	for (int Tick = 0; Tick < 6; ++Tick)
	{
		Inspector.AgeLastStartRequest(1000);
		for (const std::string& Event : Harness.TickAndTakeEvents())
		{
			Seen.push_back(Event);
		}
	}
	EXPECT_EQ(Seen, (FEvents{"slate:Scene 4", "take:7", "start"}));
	EXPECT_TRUE(UTakeRecorderBlueprintLibrary::IsRecording());
}
} // namespace
