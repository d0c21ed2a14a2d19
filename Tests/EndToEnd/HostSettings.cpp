#include "HostProcess.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>

namespace
{
using nlohmann::json;

int RunSettings(const FTempProject& Project, std::vector<std::string> Arguments, std::string* Output = nullptr)
{
	Arguments.insert(Arguments.begin(), {"--project", Project.Path().string(), "settings"});
	FHostProcess Command(Arguments);
	std::string Text;
	while (const std::optional<std::string> Line = Command.ReadLine())
	{
		Text += *Line + "\n";
	}
	if (Output != nullptr)
	{
		*Output = Text;
	}
	return Command.Wait();
}

TEST(HostSettings, ListingShowsTheFiveSettingsWithTheirDefaults)
{
	FTempProject Project;
	std::string Listing;
	ASSERT_EQ(RunSettings(Project, {}, &Listing), 0);
	for (const char* Expected : {"Project > Plugins > Tavrix", "NetworkServerAddressByDefault", "0.0.0.0", "NetworkPortIdByDefault", "9001",
			 "bAutoLens", "bAutoSceneTakeUpdate", "bAutoRecord", "auto start / stop recording"})
	{
		EXPECT_NE(Listing.find(Expected), std::string::npos) << Expected << " in\n" << Listing;
	}
}

TEST(HostSettings, SavedSettingsAreWhereTheNextPanelStarts)
{
	FTempProject Project;
	const uint16_t Port = FreeLoopbackPort();
	ASSERT_EQ(RunSettings(Project, {"set", "NetworkServerAddressByDefault", "127.0.0.1"}), 0);
	ASSERT_EQ(RunSettings(Project, {"set", "NetworkPortIdByDefault", std::to_string(Port)}), 0);
	ASSERT_EQ(RunSettings(Project, {"set", "bAutoRecord", "True"}), 0);

	std::ifstream Stream(Project.Path() / "Config" / "DefaultGame.ini");
	const std::string Ini((std::istreambuf_iterator<char>(Stream)), std::istreambuf_iterator<char>());
	EXPECT_NE(Ini.find("[/Script/TavrixLiveLink.TavrixLiveLinkRuntimeSettings]"), std::string::npos) << Ini;
	EXPECT_NE(Ini.find("bAutoRecord=True"), std::string::npos) << Ini;

	// A new host, with no endpoint on its command line: the panel starts from the saved values.
	FHostProcess Host({"--project", Project.Path().string(), "--jsonl"});
	const std::optional<json> Source = Host.WaitForEvent([](const json& Event) { return Event.value("event", "") == "source"; });
	ASSERT_TRUE(Source);
	EXPECT_EQ((*Source)["connection"], "127.0.0.1:" + std::to_string(Port));
	ASSERT_TRUE(SendDatagram(Port, R"({"TVKCamera":[{"Metadata":["","Saved","3"],"State":2}]})"));
	EXPECT_TRUE(Host.WaitForEvent([](const json& Event) { return Event.value("event", "") == "recording"; }))
		<< "Auto Record came from the settings";
	Host.Signal(SIGINT);
	EXPECT_EQ(Host.Wait(), 0);
}

TEST(HostSettings, UnknownKeysAndUnparsableValuesAreRefusedAndChangeNothing)
{
	FTempProject Project;
	EXPECT_EQ(RunSettings(Project, {"set", "NoSuchSetting", "1"}), 2);
	EXPECT_EQ(RunSettings(Project, {"set", "NetworkPortIdByDefault", "nine thousand"}), 2);
	EXPECT_EQ(RunSettings(Project, {"set", "bAutoLens", "perhaps"}), 2);
	EXPECT_FALSE(std::filesystem::exists(Project.Path() / "Config" / "DefaultGame.ini"));
}
} // namespace
