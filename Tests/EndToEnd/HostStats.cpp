#include "HostProcess.h"

#include <gtest/gtest.h>

#include <array>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>

namespace
{
using nlohmann::json;

/**
 * A camera at a timecode of one frame a second. Datagrams sent back to back arrive within a frame of one another, and
 * no pause of a slow machine is long enough to put a frame more than two away from where its arrival time expects it.
 */
std::string CameraAtFrame(int Frame, const std::string& Extra = "")
{
	return "{\"TVKCamera\":[{\"Location\":[1,2,3],\"Timecode\":[" + std::to_string(Frame) + ",1,1]}]" + Extra + "}";
}

TEST(HostStats, StatsEventCarriesTheStreamDetailsOfTheSource)
{
	FTempProject Project;
	const uint16_t Port = FreeLoopbackPort();
	FHostProcess Host(HostArguments(Project, Port, {"--no-take-recorder"}));
	const std::optional<json> First = Host.WaitForEvent([](const json& Event) { return IsEvent(Event, "stats"); });
	ASSERT_TRUE(First) << "no stats event";
	EXPECT_EQ((*First)["datagramsReceived"], 0);
	EXPECT_EQ((*First)["lastSender"], "");
	EXPECT_EQ((*First)["lastDatagramAgeMs"], -1);

	const std::string Stream[] = {CameraAtFrame(10), CameraAtFrame(11), "[1]", CameraAtFrame(12, ",\"Extra\":1"), CameraAtFrame(14),
		CameraAtFrame(13), "nonsense", CameraAtFrame(400), CameraAtFrame(401)};
	for (const std::string& Datagram : Stream)
	{
		ASSERT_TRUE(SendDatagram(Port, Datagram));
	}
	const std::optional<json> Stats =
		Host.WaitForEvent([](const json& Event) { return IsEvent(Event, "stats") && Event["datagramsReceived"] == 9; });
	ASSERT_TRUE(Stats) << "no stats event with every datagram counted";
	EXPECT_EQ((*Stats)["datagramsRejected"], 2);
	EXPECT_EQ((*Stats)["messagesWithForeignMembers"], 1);
	EXPECT_EQ((*Stats)["timecodeGaps"], 1);
	EXPECT_EQ((*Stats)["timecodeFramesMissed"], 1);
	EXPECT_EQ((*Stats)["timecodeStepsBack"], 1);
	EXPECT_EQ((*Stats)["timecodeJumps"], 1);
	EXPECT_EQ((*Stats)["lastSender"].get<std::string>().rfind("127.0.0.1:", 0), 0u) << (*Stats)["lastSender"];
	EXPECT_GE((*Stats)["lastDatagramAgeMs"].get<double>(), 0.0);
	for (const char* Member : {"datagramsPerSecond", "arrivalJitterMs"})
	{
		EXPECT_TRUE((*Stats)[Member].is_number()) << Member;
	}

	Host.Signal(SIGTERM);
	EXPECT_EQ(Host.Wait(), 0) << Host.GetErrors();
	// The run ends with the totals.
	ASSERT_FALSE(Host.Events.empty());
	EXPECT_TRUE(IsEvent(Host.Events.back(), "stats"));
	EXPECT_EQ(Host.Events.back()["datagramsReceived"], 9);
}

TEST(HostStats, AcceptFromDropsAnotherLoopbackSenderAndDecodesTheListedOne)
{
	FTempProject Project;
	const uint16_t Port = FreeLoopbackPort();
	FHostProcess Host(HostArguments(Project, Port, {"--no-take-recorder", "--accept-from", "127.0.0.1"}));
	ASSERT_TRUE(Host.WaitForEvent([](const json& Event) { return IsEvent(Event, "stats") && Event["acceptedSenders"] == "127.0.0.1"; }))
		<< "the list was not typed into the details";
	FLoopbackUdp Stranger(0, (127u << 24) | 2u);
	FLoopbackUdp Tracker;
	ASSERT_TRUE(Stranger.SendTo(Port, CameraAtFrame(50, ",\"Extra\":1")));
	ASSERT_TRUE(Tracker.SendTo(Port, CameraAtFrame(60)));
	const std::optional<json> Stats = Host.WaitForEvent([](const json& Event) {
		return IsEvent(Event, "stats") && Event["datagramsReceived"] == 1 && Event["datagramsFromOtherSenders"] == 1;
	});
	ASSERT_TRUE(Stats) << "the datagrams were not counted apart";
	EXPECT_EQ((*Stats)["lastOtherSender"], "127.0.0.2:" + std::to_string(Stranger.GetPort()));
	EXPECT_EQ((*Stats)["lastSender"], "127.0.0.1:" + std::to_string(Tracker.GetPort()));
	EXPECT_EQ((*Stats)["messagesWithForeignMembers"], 0) << "the stranger's datagram was decoded";
	EXPECT_EQ((*Stats)["acceptedSendersError"], "");
	Host.Signal(SIGTERM);
	EXPECT_EQ(Host.Wait(), 0) << Host.GetErrors();
	for (const json& Event : Host.Events)
	{
		EXPECT_FALSE(IsEvent(Event, "log") && Event["text"] == "Unknow data received") << "the stranger's datagram was logged";
		EXPECT_FALSE(IsEvent(Event, "frame") && Event["location"] != json({1, 2, 3})) << Event;
	}
}

TEST(HostStats, AcceptFromWithAListTheSourceRefusesLeavesItAcceptingAnyoneAndSaysWhy)
{
	FTempProject Project;
	const uint16_t Port = FreeLoopbackPort();
	FHostProcess Host(HostArguments(Project, Port, {"--no-take-recorder", "--accept-from", "127.0.0.1; 127.0.0.2"}));
	const std::optional<json> Refused =
		Host.WaitForEvent([](const json& Event) { return IsEvent(Event, "stats") && Event["acceptedSendersError"] != ""; });
	ASSERT_TRUE(Refused) << "no reason shown";
	EXPECT_EQ((*Refused)["acceptedSenders"], "");
	FLoopbackUdp Stranger(0, (127u << 24) | 2u);
	ASSERT_TRUE(Stranger.SendTo(Port, CameraAtFrame(50)));
	ASSERT_TRUE(Host.WaitForEvent([](const json& Event) { return IsEvent(Event, "stats") && Event["datagramsReceived"] == 1; }));
	Host.Signal(SIGTERM);
	EXPECT_EQ(Host.Wait(), 0) << Host.GetErrors();
}

/** Runs a command and returns what it printed on its standard output; nothing when it could not run or failed. */
std::optional<std::string> OutputOf(const std::string& Command)
{
	std::FILE* Pipe = popen(Command.c_str(), "r");
	if (Pipe == nullptr)
	{
		return std::nullopt;
	}
	std::string Output;
	std::array<char, 4096> Buffer;
	for (size_t Read; (Read = std::fread(Buffer.data(), 1, Buffer.size(), Pipe)) > 0;)
	{
		Output.append(Buffer.data(), Read);
	}
	return pclose(Pipe) == 0 ? std::optional<std::string>(Output) : std::nullopt;
}

TEST(HostStats, CaptureOptionWritesWhatTheSourceReceivesToAFileTcpdumpReads)
{
	FTempProject Project;
	const uint16_t Port = FreeLoopbackPort();
	FHostProcess Host(HostArguments(Project, Port, {"--no-take-recorder", "--capture"}));
	ASSERT_TRUE(Host.WaitForEvent([](const json& Event) { return IsEvent(Event, "stats") && Event.value("bCaptureRawDatagrams", false); }))
		<< "the capture did not start: " << Host.GetErrors();
	constexpr int Datagrams = 5;
	for (int Frame = 0; Frame < Datagrams; ++Frame)
	{
		ASSERT_TRUE(SendDatagram(Port, CameraAtFrame(7000 + Frame)));
	}
	ASSERT_TRUE(Host.WaitForEvent([](const json& Event) { return IsEvent(Event, "stats") && Event["datagramsCaptured"] == Datagrams; }))
		<< "the datagrams did not reach the capture file";

	Host.Signal(SIGTERM);
	ASSERT_EQ(Host.Wait(), 0) << Host.GetErrors();
	const json& Totals = Host.Events.back();
	EXPECT_EQ(Totals["datagramsDroppedFromCapture"], 0);
	EXPECT_EQ(Totals["captureError"], "");
	const std::filesystem::path File = Totals["captureFile"].get<std::string>();
	EXPECT_EQ(File.parent_path(), Project.Path() / "Saved" / "TavrixCaptures");
	ASSERT_TRUE(std::filesystem::is_regular_file(File)) << File;

	std::string Tcpdump;
	for (const char* Candidate : {"/usr/bin/tcpdump", "/usr/sbin/tcpdump"})
	{
		Tcpdump = std::filesystem::exists(Candidate) && Tcpdump.empty() ? Candidate : Tcpdump;
	}
	if (Tcpdump.empty())
	{
		GTEST_SKIP() << "tcpdump is not installed (apt-get install tcpdump): the file was written but not read back";
	}
	const std::optional<std::string> Shown = OutputOf(Tcpdump + " -r '" + File.string() + "' -n -A 2>/dev/null");
	ASSERT_TRUE(Shown) << "tcpdump could not read " << File;
	for (int Frame = 0; Frame < Datagrams; ++Frame)
	{
		EXPECT_NE(Shown->find("\"Timecode\":[" + std::to_string(7000 + Frame) + ",1,1]"), std::string::npos) << *Shown;
	}
	EXPECT_NE(Shown->find("> 127.0.0.1." + std::to_string(Port) + ": UDP"), std::string::npos) << *Shown;
}
} // namespace
