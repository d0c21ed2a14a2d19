#include "HostProcess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <thread>
#include <tuple>
#include <vector>

namespace
{
using namespace std::chrono_literals;
using nlohmann::json;

const std::string WorkedExample = R"({"TVKCamera":[{"Version":1,"Location":[120.5,-30,150],"Rotation":[0,0,0,1],"Scale":[1,1,1],)"
								  R"("Lens":[35,300,1.5,60],"Timecode":[250,25,1],"Metadata":["","Scene 4","7"],"State":2}]})";

std::vector<json> ReadJsonLines(const std::filesystem::path& Path)
{
	std::vector<json> Lines;
	std::ifstream Stream(Path);
	for (std::string Line; std::getline(Stream, Line);)
	{
		Lines.push_back(json::parse(Line));
	}
	return Lines;
}

TEST(HostRuns, WorkedExampleArrivesAsAFrameOfTheCameraSubject)
{
	FTempProject Project;
	const uint16_t Port = FreeLoopbackPort();
	FHostProcess Host(HostArguments(Project, Port, {"--no-take-recorder"}));
	const std::optional<json> Source = Host.WaitForEvent([](const json& Event) { return IsEvent(Event, "source"); });
	ASSERT_TRUE(Source) << "no source event";
	EXPECT_EQ((*Source)["type"], "Halvecor Tavrix LiveLink");
	EXPECT_EQ((*Source)["machine"], "localhost");
	EXPECT_EQ((*Source)["status"], "Receiving");
	EXPECT_EQ((*Source)["valid"], true);
	EXPECT_EQ((*Source)["connection"], "127.0.0.1:" + std::to_string(Port));

	const std::optional<json> Static = Host.WaitForEvent([](const json& Event) { return IsEvent(Event, "static"); });
	ASSERT_TRUE(Static);
	EXPECT_EQ((*Static)["subject"], "Tavrix - Camera");
	EXPECT_EQ((*Static)["focalLength"], true);
	EXPECT_EQ((*Static)["aperture"], false);
	EXPECT_EQ((*Static)["projectionMode"], false);

	ASSERT_TRUE(SendDatagram(Port, WorkedExample));
	const std::optional<json> Frame = Host.WaitForEvent([](const json& Event) { return IsEvent(Event, "frame"); });
	ASSERT_TRUE(Frame);
	EXPECT_EQ((*Frame)["subject"], "Tavrix - Camera");
	EXPECT_EQ((*Frame)["location"], json({120.5, -30, 150}));
	EXPECT_EQ((*Frame)["rotation"], json({0, 0, 0, 1}));
	EXPECT_EQ((*Frame)["scale"], json({1, 1, 1}));
	EXPECT_EQ((*Frame)["lens"], json({{"focalLength", 35}, {"focusDistance", 300}, {"aspectRatio", 1.5}, {"fieldOfView", 60}}));
	EXPECT_EQ((*Frame)["sceneTime"]["rate"], json({25, 1}));
	EXPECT_NEAR((*Frame)["sceneTime"]["frame"].get<double>() + (*Frame)["sceneTime"]["subframe"].get<double>(), 250.0, 1.0);
	EXPECT_GT((*Frame)["worldTime"].get<double>(), 16777216.0);

	// Every tick publishes the latest state, without new datagrams.
	const std::optional<json> Next =
		Host.WaitForEvent([&](const json& Event) { return IsEvent(Event, "frame") && Event["tick"] != (*Frame)["tick"]; });
	ASSERT_TRUE(Next);
	EXPECT_EQ((*Next)["location"], (*Frame)["location"]);

	Host.Signal(SIGTERM);
	EXPECT_EQ(Host.Wait(), 0) << Host.GetErrors();
}

TEST(HostRuns, MalformedDatagramsChangeNothingAndForeignMembersAreLogged)
{
	FTempProject Project;
	const uint16_t Port = FreeLoopbackPort();
	FHostProcess Host(HostArguments(Project, Port, {"--no-take-recorder"}));
	ASSERT_TRUE(Host.WaitForEvent([](const json& Event) { return IsEvent(Event, "static"); }));

	for (const std::string& Garbage : {std::string("{\"TVKCamera\":[{\"Location\":[9,9,9]}]"), std::string("\xEF\xBB\xBF{}"),
			 std::string("[1,2]"), std::string(70, '['), std::string()})
	{
		ASSERT_TRUE(SendDatagram(Port, Garbage));
	}
	ASSERT_TRUE(SendDatagram(Port, R"({"Version":1,"TVKCamera":[{"Location":[7,7,7]}],"Extra":true})"));

	const std::optional<json> Frame = Host.WaitForEvent([](const json& Event) { return IsEvent(Event, "frame"); });
	ASSERT_TRUE(Frame);
	EXPECT_EQ((*Frame)["location"], json({7, 7, 7})) << "the first frame comes from the first valid datagram";
	// Without a timecode the frame keeps the record's default scene time, as in the editor: frame 0 at 24 fps.
	EXPECT_EQ((*Frame)["sceneTime"], json({{"frame", 0}, {"subframe", 0}, {"rate", {24, 1}}}));
	Host.Signal(SIGINT);
	EXPECT_EQ(Host.Wait(), 0);

	int UnknownData = 0;
	for (const json& Event : Host.Events)
	{
		if (IsEvent(Event, "log") && Event["category"] == "ModuleLog" && Event["verbosity"] == "Error" &&
			Event["text"] == "Unknow data received")
		{
			++UnknownData;
		}
	}
	EXPECT_EQ(UnknownData, 2);
}

/** Frames published between each recording start and stop, by take file name. */
std::map<std::string, std::vector<double>> PublishedWhileRecording(const std::vector<json>& Events)
{
	std::map<std::string, std::vector<double>> Published;
	std::string Current;
	for (const json& Event : Events)
	{
		if (IsEvent(Event, "recording"))
		{
			Current = Event["recording"] == true ? Event["take"].get<std::string>() : std::string();
		}
		else if (IsEvent(Event, "frame") && !Current.empty())
		{
			Published[Current].push_back(Event["worldTime"].get<double>());
		}
	}
	return Published;
}

TEST(HostRuns, RecordTogglingWritesTakesWithThePublishedFramesAndNeverOverwrites)
{
	FTempProject Project;
	std::map<std::string, std::string> FirstRunFiles;
	for (int Run = 0; Run < 2; ++Run)
	{
		const uint16_t Port = FreeLoopbackPort();
		FHostProcess Host(HostArguments(Project, Port, {"--auto-scene-take", "--auto-record"}));
		ASSERT_TRUE(Host.WaitForEvent([](const json& Event) { return IsEvent(Event, "static"); }));
		// The host's output is read while the sender runs, so that the host never waits on a full pipe.
		std::atomic<int> SenderExit{-2};
		std::thread SenderThread([&] {
			FHostProcess Sender({"--endpoint", "127.0.0.1:" + std::to_string(Port), "--rate", "50", "--duration", "3.2", "--scene",
									"Scene 4", "--take", "7", "--record", "toggle:0.7", "--quiet"},
				TAVRIX_SEND_EXECUTABLE);
			SenderExit = Sender.Wait(30s);
		});
		while (SenderExit.load() == -2)
		{
			Host.WaitForEvent([](const json&) { return false; }, 50ms);
		}
		SenderThread.join();
		ASSERT_EQ(SenderExit.load(), 0);
		// Everything the sender sent has been published by the time a few more ticks have passed.
		const std::optional<json> Last = Host.WaitForEvent([](const json& Event) { return IsEvent(Event, "frame"); });
		ASSERT_TRUE(Last);
		const uint64_t StopTick = (*Last)["tick"].get<uint64_t>() + 6;
		ASSERT_TRUE(
			Host.WaitForEvent([&](const json& Event) { return IsEvent(Event, "frame") && Event["tick"].get<uint64_t>() >= StopTick; }));
		Host.Signal(SIGINT);
		ASSERT_EQ(Host.Wait(), 0) << Host.GetErrors();

		const std::map<std::string, std::vector<double>> Published = PublishedWhileRecording(Host.Events);
		ASSERT_GE(Published.size(), 2u) << "the sender toggled recording at least twice";
		for (const auto& [File, WorldTimes] : Published)
		{
			const std::vector<json> Lines = ReadJsonLines(Project.Path() / "Saved" / "Takes" / File);
			ASSERT_GE(Lines.size(), 2u) << File;
			EXPECT_EQ(Lines.front()["slate"], "Scene 4");
			EXPECT_EQ(Lines.back()["record"], "end") << File << " was closed cleanly";
			std::vector<double> Recorded;
			for (const json& Line : Lines)
			{
				if (Line.value("record", "") == "frame")
				{
					Recorded.push_back(Line["worldTime"].get<double>());
				}
			}
			EXPECT_EQ(Recorded, WorldTimes) << File;
			if (Run == 0)
			{
				std::ifstream Stream(Project.Path() / "Saved" / "Takes" / File, std::ios::binary);
				FirstRunFiles[File] = std::string(std::istreambuf_iterator<char>(Stream), std::istreambuf_iterator<char>());
			}
			else
			{
				EXPECT_EQ(FirstRunFiles.count(File), 0u) << File << " was written by the first run too";
			}
		}
	}
	// The second run's takes had the same slates and take numbers: the first run's files are untouched.
	for (const auto& [File, Content] : FirstRunFiles)
	{
		std::ifstream Stream(Project.Path() / "Saved" / "Takes" / File, std::ios::binary);
		EXPECT_EQ(std::string(std::istreambuf_iterator<char>(Stream), std::istreambuf_iterator<char>()), Content) << File;
	}
}

TEST(HostRuns, ASenderTogglingRecordOnEveryDatagramMakesAtMostOneTakeASecond)
{
	FTempProject Project;
	const uint16_t Port = FreeLoopbackPort();
	const auto Started = std::chrono::steady_clock::now();
	FHostProcess Host(HostArguments(Project, Port, {"--auto-scene-take", "--auto-record"}));
	ASSERT_TRUE(Host.WaitForEvent([](const json& Event) { return IsEvent(Event, "static"); }));
	// State 2 and 0 on alternate datagrams, 50 a second for 3 s.
	std::atomic<int> SenderExit{-2};
	std::thread SenderThread([&] {
		FHostProcess Sender({"--endpoint", "127.0.0.1:" + std::to_string(Port), "--rate", "50", "--duration", "3", "--scene", "Flood",
								"--record", "toggle:0.02", "--quiet"},
			TAVRIX_SEND_EXECUTABLE);
		SenderExit = Sender.Wait(30s);
	});
	while (SenderExit.load() == -2)
	{
		Host.WaitForEvent([](const json&) { return false; }, 50ms);
	}
	SenderThread.join();
	ASSERT_EQ(SenderExit.load(), 0);
	Host.Signal(SIGINT);
	ASSERT_EQ(Host.Wait(), 0) << Host.GetErrors();
	const double Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - Started).count();

	int Starts = 0;
	for (const json& Event : Host.Events)
	{
		Starts += IsEvent(Event, "recording") && Event["recording"] == true ? 1 : 0;
	}
	// Starts are a second apart at least, so the whole life of the host bounds them; unbounded, there were 60 to 75.
	EXPECT_GE(Starts, 1);
	EXPECT_LE(Starts, static_cast<int>(Seconds) + 1) << Seconds << " s";
	const auto TakeFiles = std::distance(std::filesystem::directory_iterator(Project.Path() / "Saved" / "Takes"), {});
	EXPECT_EQ(TakeFiles, Starts);
	ASSERT_FALSE(Host.Events.empty());
	EXPECT_TRUE(IsEvent(Host.Events.back(), "stats"));
	EXPECT_GT(Host.Events.back()["takeStartsDelayed"].get<int>(), 10) << "the requests that waited are counted";
}

TEST(HostRuns, InterruptDuringARecordingLeavesACompleteTake)
{
	FTempProject Project;
	const uint16_t Port = FreeLoopbackPort();
	FHostProcess Host(HostArguments(Project, Port, {"--auto-record"}));
	ASSERT_TRUE(Host.WaitForEvent([](const json& Event) { return IsEvent(Event, "static"); }));
	ASSERT_TRUE(SendDatagram(Port, WorkedExample));
	const std::optional<json> Started =
		Host.WaitForEvent([](const json& Event) { return IsEvent(Event, "recording") && Event["recording"] == true; });
	ASSERT_TRUE(Started);
	ASSERT_TRUE(Host.WaitForEvent([](const json& Event) { return IsEvent(Event, "frame"); }));

	const auto Interrupted = std::chrono::steady_clock::now();
	Host.Signal(SIGINT);
	EXPECT_EQ(Host.Wait(), 0) << Host.GetErrors();
	EXPECT_LT(std::chrono::steady_clock::now() - Interrupted, 5s);
	const std::vector<json> Lines = ReadJsonLines(Project.Path() / "Saved" / "Takes" / (*Started)["take"].get<std::string>());
	ASSERT_GE(Lines.size(), 3u);
	EXPECT_EQ(Lines.front()["slate"], "Scene 4");
	EXPECT_EQ(Lines.front()["takeNumber"], 7);
	EXPECT_EQ(Lines.back()["record"], "end");
}

TEST(HostRuns, TakeRecorderThatRefusesLogsAnErrorAndRecordsNothing)
{
	FTempProject Project;
	const uint16_t Port = FreeLoopbackPort();
	FHostProcess Host(HostArguments(Project, Port, {"--auto-record", "--take-recorder-refuses"}));
	ASSERT_TRUE(Host.WaitForEvent([](const json& Event) { return IsEvent(Event, "static"); }));
	ASSERT_TRUE(SendDatagram(Port, WorkedExample));
	const std::optional<json> Refusal = Host.WaitForEvent(
		[](const json& Event) { return IsEvent(Event, "log") && Event["category"] == "LogTakeRecorder" && Event["verbosity"] == "Error"; });
	ASSERT_TRUE(Refusal);
	EXPECT_NE((*Refusal)["text"].get<std::string>().find("refused to start recording"), std::string::npos) << *Refusal;
	Host.Signal(SIGTERM);
	EXPECT_EQ(Host.Wait(), 0) << Host.GetErrors();
	for (const json& Event : Host.Events)
	{
		EXPECT_FALSE(IsEvent(Event, "recording")) << Event;
	}
	EXPECT_FALSE(std::filesystem::exists(Project.Path() / "Saved" / "Takes"));
}

TEST(HostRuns, TakeRecorderCountdownHoldsTheTakeBackForItsTicks)
{
	FTempProject Project;
	const uint16_t Port = FreeLoopbackPort();
	// Half a second at 60 ticks a second: the take starts 30 ticks after the tick that asked for it.
	FHostProcess Host(HostArguments(Project, Port, {"--auto-record", "--tick-hz", "60", "--take-recorder-countdown", "0.5"}));
	ASSERT_TRUE(Host.WaitForEvent([](const json& Event) { return IsEvent(Event, "static"); }));
	ASSERT_TRUE(SendDatagram(Port, WorkedExample));
	const std::optional<json> Started =
		Host.WaitForEvent([](const json& Event) { return IsEvent(Event, "recording") && Event["recording"] == true; });
	ASSERT_TRUE(Started);
	Host.Signal(SIGTERM);
	EXPECT_EQ(Host.Wait(), 0) << Host.GetErrors();

	std::optional<uint64_t> FirstFrameTick;
	std::optional<uint64_t> LastTickBeforeTheTake;
	for (const json& Event : Host.Events)
	{
		if (IsEvent(Event, "recording"))
		{
			break;
		}
		if (IsEvent(Event, "frame"))
		{
			FirstFrameTick = FirstFrameTick.value_or(Event["tick"].get<uint64_t>());
			LastTickBeforeTheTake = Event["tick"].get<uint64_t>();
		}
	}
	ASSERT_TRUE(FirstFrameTick && LastTickBeforeTheTake);
	EXPECT_EQ(*LastTickBeforeTheTake - *FirstFrameTick, 30u);
	const std::vector<json> Lines = ReadJsonLines(Project.Path() / "Saved" / "Takes" / (*Started)["take"].get<std::string>());
	ASSERT_GE(Lines.size(), 2u);
	EXPECT_EQ(Lines.back()["record"], "end");
}

TEST(HostRuns, ABadArgumentPrintsUsageAndExitsTwo)
{
	for (const std::vector<std::string>& Arguments :
		{std::vector<std::string>{"--tick-hz", "0"}, std::vector<std::string>{"--endpoint", "host:9001"},
			std::vector<std::string>{"--frobnicate"}, std::vector<std::string>{"--connection-string", "1.2.3.4:5", "--auto-lens"},
			std::vector<std::string>{"--take-recorder-countdown", "-1"}})
	{
		FHostProcess Host(Arguments);
		EXPECT_EQ(Host.Wait(), 2);
		EXPECT_NE(Host.GetErrors().find("Usage"), std::string::npos) << Host.GetErrors();
	}
}

TEST(HostRuns, ConnectionStringRouteUsesTheFixedOptions)
{
	FTempProject Project;
	const uint16_t Port = FreeLoopbackPort();
	FHostProcess Host(
		{"--project", Project.Path().string(), "--jsonl", "--connection-string", "127.0.0.1:" + std::to_string(Port), "--duration", "30"});
	ASSERT_TRUE(Host.WaitForEvent([](const json& Event) { return IsEvent(Event, "static"); }));
	ASSERT_TRUE(SendDatagram(Port, WorkedExample));
	const std::optional<json> Frame = Host.WaitForEvent([](const json& Event) { return IsEvent(Event, "frame"); });
	ASSERT_TRUE(Frame);
	// Lens following is off on this route: the frame keeps the record's default lens, not the sender's 35 mm.
	EXPECT_NE((*Frame)["lens"]["focalLength"], 35);
	// Scene and take following is on: the slate arrives.
	const std::optional<json> Slate = Host.FindOrWaitForEvent([](const json& Event) { return IsEvent(Event, "slate"); });
	ASSERT_TRUE(Slate);
	EXPECT_EQ((*Slate)["slate"], "Scene 4");
	EXPECT_EQ((*Slate)["takeNumber"], 7);
	Host.Signal(SIGTERM);
	EXPECT_EQ(Host.Wait(), 0);
	for (const json& Event : Host.Events)
	{
		EXPECT_FALSE(IsEvent(Event, "recording")) << "record following is off on this route";
	}
}
} // namespace

namespace
{
struct FSceneTimeFigures
{
	int FramesWithSceneTime = 0;
	int BackwardSteps = 0;
	/** Largest distance of the published time from the sender's schedule, after the first second. */
	double LargestError = 0.0;
};

/**
 * Runs the host, lets its local clock run ahead for a while, then streams a tavrix-send camera from frame 0 at
 * the given timecode rate, and measures the published scene time against the sender's steady schedule: a sender
 * that counts frames on an absolute schedule is at frame R * worldTime + c for one constant c, so the spread of
 * (published - R * worldTime) is the clock's error.
 */
FSceneTimeFigures MeasureSceneTime(int32_t Numerator, int32_t Denominator, double MessageRate)
{
	FTempProject Project;
	const uint16_t Port = FreeLoopbackPort();
	FHostProcess Host(HostArguments(Project, Port, {"--no-take-recorder", "--tick-hz", "60"}));
	EXPECT_TRUE(Host.WaitForEvent([](const json& Event) { return IsEvent(Event, "static"); }));
	// A second and a half of local count before the first datagram (the host's output is read meanwhile): the
	// sender's frame numbers then start below the local count.
	const auto Never = [](const json&) { return false; };
	Host.WaitForEvent(Never, 1500ms);

	std::atomic<int> SenderExit{-2};
	std::thread SenderThread([&] {
		FHostProcess Sender({"--endpoint", "127.0.0.1:" + std::to_string(Port), "--rate", std::to_string(MessageRate), "--timecode-rate",
								std::to_string(Numerator) + "/" + std::to_string(Denominator), "--start-frame", "0", "--motion", "static",
								"--duration", "3", "--quiet"},
			TAVRIX_SEND_EXECUTABLE);
		SenderExit = Sender.Wait(30s);
	});
	while (SenderExit.load() == -2)
	{
		Host.WaitForEvent(Never, 50ms);
	}
	SenderThread.join();
	EXPECT_EQ(SenderExit.load(), 0);
	Host.Signal(SIGTERM);
	EXPECT_EQ(Host.Wait(), 0) << Host.GetErrors();

	const double Rate = static_cast<double>(Numerator) / Denominator;
	std::vector<std::pair<double, double>> Samples; // world time, published frame + sub-frame
	for (const json& Event : Host.Events)
	{
		if (IsEvent(Event, "frame") && !Event["sceneTime"].is_null() && Event["sceneTime"]["rate"] == json({Numerator, Denominator}))
		{
			Samples.emplace_back(
				Event["worldTime"].get<double>(), Event["sceneTime"]["frame"].get<double>() + Event["sceneTime"]["subframe"].get<double>());
		}
	}
	FSceneTimeFigures Figures;
	Figures.FramesWithSceneTime = static_cast<int>(Samples.size());
	if (Samples.empty())
	{
		return Figures;
	}
	std::vector<double> Offsets;
	for (size_t Index = 0; Index < Samples.size(); ++Index)
	{
		if (Index > 0 && Samples[Index].second < Samples[Index - 1].second)
		{
			++Figures.BackwardSteps;
		}
		if (Samples[Index].first >= Samples.front().first + 1.0)
		{
			Offsets.push_back(Samples[Index].second - Rate * Samples[Index].first);
		}
	}
	std::sort(Offsets.begin(), Offsets.end());
	if (!Offsets.empty())
	{
		const double Median = Offsets[Offsets.size() / 2];
		Figures.LargestError = std::max(Median - Offsets.front(), Offsets.back() - Median);
	}
	return Figures;
}

// Two rates here; TAVRIX_SCENE_TIME_ALL_RATES=1 runs every stage rate and prints the figures.
TEST(HostRuns, SceneTimeOfASenderStartedLateRunsOnWithoutSteppingBack)
{
	std::vector<std::tuple<int32_t, int32_t, double>> Rates = {{30000, 1001, 29.97}, {60, 1, 120.0}};
	const bool bAllRates = std::getenv("TAVRIX_SCENE_TIME_ALL_RATES") != nullptr;
	if (bAllRates)
	{
		Rates = {{24000, 1001, 23.976}, {24, 1, 24.0}, {25, 1, 25.0}, {30000, 1001, 29.97}, {30, 1, 30.0}, {50, 1, 50.0},
			{60000, 1001, 59.94}, {60, 1, 60.0}};
	}
	for (const auto& [Numerator, Denominator, MessageRate] : Rates)
	{
		SCOPED_TRACE(testing::Message() << Numerator << "/" << Denominator);
		const FSceneTimeFigures Figures = MeasureSceneTime(Numerator, Denominator, MessageRate);
		if (bAllRates)
		{
			std::printf("%d/%d: %d frames, %d backward steps, largest error after the first second %.3f frames\n", Numerator, Denominator,
				Figures.FramesWithSceneTime, Figures.BackwardSteps, Figures.LargestError);
		}
		ASSERT_GT(Figures.FramesWithSceneTime, 60);
		EXPECT_EQ(Figures.BackwardSteps, 0);
		EXPECT_LE(Figures.LargestError, 1.5);
	}
}
} // namespace
