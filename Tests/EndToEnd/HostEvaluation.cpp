#include "HostProcess.h"

#include <gtest/gtest.h>

#include <csignal>
#include <map>
#include <regex>
#include <string>
#include <vector>

namespace
{
using namespace std::chrono_literals;
using nlohmann::json;

/** A ramp camera from tavrix-send to Port: a new location with every message, stamped with the clock's timecode. */
std::vector<std::string> RampSender(uint16_t Port, const std::string& Rate, const std::string& Count)
{
	return {"--endpoint", "127.0.0.1:" + std::to_string(Port), "--rate", Rate, "--count", Count, "--motion", "ramp", "--timecode", "clock",
		"--quiet"};
}

int CountEvents(const std::vector<json>& Events, const char* Name)
{
	int Count = 0;
	for (const json& Event : Events)
	{
		Count += IsEvent(Event, Name) ? 1 : 0;
	}
	return Count;
}

/** Reads the host's events until Count events named Name have come (or the wait gives up). */
bool WaitForEvents(FHostProcess& Host, const char* Name, int Count)
{
	int Seen = CountEvents(Host.Events, Name);
	if (Seen >= Count)
	{
		return true;
	}
	return Host
		.WaitForEvent(
			[&](const json& Event) {
				Seen += IsEvent(Event, Name) ? 1 : 0;
				return Seen >= Count;
			},
			30s)
		.has_value();
}

TEST(HostEvaluation, LatestModeEvaluatesEachTickTheFramePushedInThePreviousTick)
{
	FTempProject Project;
	const uint16_t Port = FreeLoopbackPort();
	FHostProcess Host(HostArguments(Project, Port, {"--no-take-recorder", "--tick-hz", "30", "--evaluation-mode", "latest"}));
	ASSERT_TRUE(Host.WaitForEvent([](const json& Event) { return IsEvent(Event, "source"); }));
	FHostProcess Sender(RampSender(Port, "20", "80"), TAVRIX_SEND_EXECUTABLE);
	ASSERT_TRUE(WaitForEvents(Host, "evaluated", 40));
	Host.Signal(SIGTERM);
	EXPECT_EQ(Host.Wait(), 0) << Host.GetErrors();

	// The frames pushed, by the tick whose number their events carry.
	std::map<uint64_t, json> FramesByTick;
	for (const json& Event : Host.Events)
	{
		if (IsEvent(Event, "frame"))
		{
			FramesByTick[Event["tick"].get<uint64_t>()] = Event;
		}
	}
	uint64_t PreviousTick = 0;
	int Compared = 0;
	int ComparedWhereTheTickPushedAnotherFrame = 0;
	for (const json& Event : Host.Events)
	{
		if (!IsEvent(Event, "evaluated"))
		{
			continue;
		}
		SCOPED_TRACE(Event.dump());
		ASSERT_TRUE(Event["tick"].is_number_unsigned());
		const uint64_t Tick = Event["tick"].get<uint64_t>();
		EXPECT_GT(Tick, PreviousTick) << "one evaluation per tick and source, in tick order";
		PreviousTick = Tick;
		EXPECT_EQ(Event["source"], "127.0.0.1:" + std::to_string(Port));
		EXPECT_EQ(Event["subject"], "Tavrix - Camera");
		ASSERT_EQ(Event["location"].size(), 3u);
		ASSERT_EQ(Event["rotation"].size(), 4u);
		for (const char* Member : {"focalLength", "focusDistance", "aspectRatio", "fieldOfView"})
		{
			EXPECT_TRUE(Event["lens"][Member].is_number()) << Member;
		}
		EXPECT_TRUE(Event["worldTime"].is_number());
		EXPECT_TRUE(Event["sceneTime"].is_object());

		// What a camera reads in tick N is the newest frame pushed before it: a push in tick N is applied in N + 1.
		const auto Before = FramesByTick.lower_bound(Tick);
		ASSERT_NE(Before, FramesByTick.begin()) << "an evaluation before any frame was pushed";
		const json& Pushed = std::prev(Before)->second;
		EXPECT_EQ(Event["location"], Pushed["location"]);
		EXPECT_EQ(Event["worldTime"], Pushed["worldTime"]);
		++Compared;
		if (const auto Same = FramesByTick.find(Tick); Same != FramesByTick.end() && Same->second["location"] != Pushed["location"])
		{
			++ComparedWhereTheTickPushedAnotherFrame;
		}
	}
	EXPECT_GE(Compared, 40);
	// The ramp moves with every message: some ticks pushed a frame other than the one evaluated in them.
	EXPECT_GT(ComparedWhereTheTickPushedAnotherFrame, 0);
}

TEST(HostEvaluation, TimecodeModeEvaluatesOnlyWithAnEngineTimecode)
{
	for (const bool bProvider : {false, true})
	{
		SCOPED_TRACE(bProvider ? "with the engine's timecode provider" : "without a timecode provider");
		FTempProject Project;
		const uint16_t Port = FreeLoopbackPort();
		std::vector<std::string> Extra = {
			"--no-take-recorder", "--tick-hz", "30", "--evaluation-mode", "timecode", "--timecode-rate", "25"};
		if (!bProvider)
		{
			Extra.push_back("--no-timecode-provider");
		}
		FHostProcess Host(HostArguments(Project, Port, Extra));
		ASSERT_TRUE(Host.WaitForEvent([](const json& Event) { return IsEvent(Event, "source"); }));
		FHostProcess Sender(RampSender(Port, "25", "60"), TAVRIX_SEND_EXECUTABLE);
		ASSERT_TRUE(WaitForEvents(Host, "frame", 30));
		if (bProvider)
		{
			ASSERT_TRUE(WaitForEvents(Host, "evaluated", 10));
		}
		Host.Signal(SIGTERM);
		EXPECT_EQ(Host.Wait(), 0) << Host.GetErrors();
		if (bProvider)
		{
			for (const json& Event : Host.Events)
			{
				if (IsEvent(Event, "evaluated"))
				{
					EXPECT_EQ(Event["sceneTime"]["rate"], json({25, 1})) << Event.dump();
				}
			}
		}
		else
		{
			// Frames arrive and are buffered, but with no engine timecode there is nothing to compare them with.
			EXPECT_EQ(CountEvents(Host.Events, "evaluated"), 0);
		}
	}
}

TEST(HostEvaluation, EvaluationSwitchesAreTypedIntoTheDetailsWhichRefuseWhatTheyDoNotTake)
{
	FTempProject Project;
	const std::vector<std::vector<std::string>> Refused = {
		{"--evaluation-mode", "sometimes"}, {"--latest-offset", "1.5"}, {"--engine-time-offset", "soon"}};
	for (const std::vector<std::string>& Extra : Refused)
	{
		SCOPED_TRACE(Extra.front());
		FHostProcess Host(HostArguments(Project, FreeLoopbackPort(), Extra));
		EXPECT_EQ(Host.Wait(), 2);
		EXPECT_NE(Host.GetErrors().find(Extra.front() + " '" + Extra.back() + "' was refused by the source's details"), std::string::npos)
			<< Host.GetErrors();
	}
	FHostProcess BadRate(HostArguments(Project, FreeLoopbackPort(), {"--timecode-rate", "24/0"}));
	EXPECT_EQ(BadRate.Wait(), 2);

	// Accepted: the source's details show what was typed, by the engine's names.
	FHostProcess Host(HostArguments(Project, FreeLoopbackPort(),
		{"--live", "--duration", "0.3", "--evaluation-mode", "timecode", "--timecode-frame-offset", "2.5", "--latest-offset", "3"}));
	std::string Screen;
	while (const std::optional<std::string> Line = Host.ReadLine())
	{
		Screen += *Line + "\n";
	}
	EXPECT_EQ(Host.Wait(), 0) << Host.GetErrors();
	EXPECT_TRUE(std::regex_search(Screen, std::regex("Evaluation Mode +Timecode"))) << Screen;
	EXPECT_TRUE(std::regex_search(Screen, std::regex("Timecode Frame Offset +2\\.5"))) << Screen;
	EXPECT_TRUE(std::regex_search(Screen, std::regex("Latest Offset +3"))) << Screen;
	EXPECT_TRUE(std::regex_search(Screen, std::regex("Engine Time Clock Offset +-?[0-9]"))) << Screen;
}
} // namespace
