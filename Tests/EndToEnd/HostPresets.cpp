#include "HostProcess.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>

namespace
{
using nlohmann::json;

/** Stats of the source at Endpoint with the options and name the first run typed. */
bool IsRestoredStats(const json& Event, const std::string& Endpoint)
{
	return IsEvent(Event, "stats") && Event.value("source", "") == Endpoint && Event.value("subject", "") == "Crane" &&
		Event.value("subjectName", "") == "Crane" && Event.contains("bAutoLens") && Event["bAutoLens"] == false &&
		Event.contains("bAutoRecord") && Event["bAutoRecord"] == true && Event.value("acceptedSenders", "") == "127.0.0.1";
}
} // namespace

TEST(HostPresets, APresetSavedAtShutDownBringsTheSourceBackWithItsOptionsNameAndSenders)
{
	FTempProject Project;
	const uint16_t Port = FreeLoopbackPort();
	const std::string Endpoint = "127.0.0.1:" + std::to_string(Port);
	const std::string Preset = (Project.Path() / "Saved.preset.json").string();
	{
		FHostProcess Saving(HostArguments(Project, Port,
			{"--no-auto-lens", "--auto-record", "--subject-name", "Crane", "--accept-from", "127.0.0.1", "--no-take-recorder",
				"--save-preset", Preset, "--duration", "0.3"}));
		ASSERT_EQ(Saving.Wait(), 0) << Saving.GetErrors();
	}
	ASSERT_TRUE(std::filesystem::exists(Preset));

	FHostProcess Host({"--project", Project.Path().string(), "--jsonl", "--preset", Preset, "--no-take-recorder", "--duration", "60"});
	ASSERT_TRUE(Host.WaitForEvent([&](const json& Event) { return IsEvent(Event, "source") && Event["source"] == Endpoint; }))
		<< "no source event for the preset's source";
	ASSERT_TRUE(Host.FindOrWaitForEvent([&](const json& Event) { return IsRestoredStats(Event, Endpoint); }))
		<< "no stats with the saved options, name and senders";
	// The restored source publishes under the saved name and listens where the saved one did.
	ASSERT_TRUE(Host.FindOrWaitForEvent([](const json& Event) { return IsEvent(Event, "static") && Event["subject"] == "Crane"; }));
	ASSERT_TRUE(SendDatagram(Port, R"({"TVKCamera":[{"Location":[1,2,3],"Timecode":[10,1,1]}]})"));
	ASSERT_TRUE(Host.WaitForEvent([](const json& Event) { return IsEvent(Event, "frame") && Event["subject"] == "Crane"; }));
	Host.Signal(SIGTERM);
	EXPECT_EQ(Host.Wait(), 0) << Host.GetErrors();
}

TEST(HostPresets, APresetFileThatCannotBeUsedIsABadArgument)
{
	FTempProject Project;
	const std::string Missing = (Project.Path() / "missing.json").string();
	FHostProcess Unread({"--project", Project.Path().string(), "--jsonl", "--preset", Missing, "--duration", "5"});
	EXPECT_EQ(Unread.Wait(), 2);
	EXPECT_NE(Unread.GetErrors().find("cannot read the preset file"), std::string::npos) << Unread.GetErrors();

	const std::string Broken = (Project.Path() / "broken.json").string();
	std::ofstream(Broken) << "{\"sources\": [";
	FHostProcess Unparsed({"--project", Project.Path().string(), "--jsonl", "--preset", Broken, "--duration", "5"});
	EXPECT_EQ(Unparsed.Wait(), 2);
	EXPECT_NE(Unparsed.GetErrors().find("is not a Live Link preset"), std::string::npos) << Unparsed.GetErrors();

	// The preset brings its own sources: sources of the command line besides it are refused.
	FHostProcess Both({"--project", Project.Path().string(), "--preset", Broken, "--endpoint", "127.0.0.1:7000"});
	EXPECT_EQ(Both.Wait(), 2);
	EXPECT_NE(Both.GetErrors().find("--preset"), std::string::npos) << Both.GetErrors();
}
