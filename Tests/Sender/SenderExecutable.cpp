#include "LoopbackMulticast.h"
#include "SenderTestSupport.h"
#include "TavrixSyntheticCamera.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <csignal>
#include <fstream>

using namespace std::chrono_literals;

namespace
{
std::string Destination(const FLoopbackReceiver& InReceiver)
{
	return InReceiver.GetEndpoint().ToString();
}

std::string WriteTempFile(const std::string& InName, std::string_view InContent)
{
	const std::string Path = ::testing::TempDir() + InName;
	std::ofstream File(Path, std::ios::binary | std::ios::trunc);
	File.write(InContent.data(), static_cast<std::streamsize>(InContent.size()));
	return Path;
}
/** A member of the test group on Port, joined on the interface given (any: the system's choice). */
class FGroupMember
{
public:
	FGroupMember(uint16_t Port, uint32_t Interface)
	{
		Descriptor = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
		const int Reuse = 1;
		::setsockopt(Descriptor, SOL_SOCKET, SO_REUSEADDR, &Reuse, sizeof(Reuse));
		sockaddr_in Any{};
		Any.sin_family = AF_INET;
		Any.sin_port = htons(Port);
		ip_mreq Request{};
		Request.imr_multiaddr.s_addr = htonl(TestMulticastGroup);
		Request.imr_interface.s_addr = htonl(Interface);
		bJoined = ::bind(Descriptor, reinterpret_cast<sockaddr*>(&Any), sizeof(Any)) == 0 &&
			::setsockopt(Descriptor, IPPROTO_IP, IP_ADD_MEMBERSHIP, &Request, sizeof(Request)) == 0;
	}
	~FGroupMember() { ::close(Descriptor); }
	FGroupMember(const FGroupMember&) = delete;
	FGroupMember& operator=(const FGroupMember&) = delete;

	bool IsJoined() const { return bJoined; }

	/** Datagrams that arrive until none has come for InQuiet. */
	int CountUntilQuiet(std::chrono::milliseconds InQuiet) const
	{
		int Count = 0;
		pollfd Poll{Descriptor, POLLIN, 0};
		while (::poll(&Poll, 1, static_cast<int>(InQuiet.count())) == 1)
		{
			char Buffer[2048];
			Count += ::recv(Descriptor, Buffer, sizeof(Buffer), 0) >= 0 ? 1 : 0;
		}
		return Count;
	}

private:
	int Descriptor = -1;
	bool bJoined = false;
};

std::string GroupEndpoint(uint16_t Port)
{
	return TavrixSend::FTavrixEndpoint{TestMulticastGroup, Port}.ToString();
}
} // namespace

TEST(SenderExecutable, BadArgumentsExitWithStatusTwoAndUsage)
{
	const std::vector<std::vector<std::string>> Cases = {
		{"--rate", "0"}, {"--endpoint", "1.2.3.4"}, {"--bogus"}, {"--count", "3", "--duration", "1"}};
	for (const std::vector<std::string>& Case : Cases)
	{
		const FProcessResult Result = RunSender(Case);
		EXPECT_EQ(Result.ExitCode, 2) << Case[0];
		EXPECT_NE(Result.Err.find(Case[0]), std::string::npos) << Result.Err;
		EXPECT_NE(Result.Err.find("Usage: tavrix-send"), std::string::npos) << Result.Err;
		EXPECT_TRUE(Result.Out.empty()) << Result.Out;
	}
}

TEST(SenderExecutable, BadClockOrRampArgumentsExitWithStatusTwo)
{
	const std::vector<std::vector<std::string>> Cases = {{"--timecode", "now"}, {"--ramp-period", "7", "--motion", "ramp"},
		{"--ramp-speed", "fast", "--motion", "ramp"}, {"--ramp-speed", "5"}, {"--start-frame", "1", "--timecode", "clock"}};
	for (const std::vector<std::string>& Case : Cases)
	{
		const FProcessResult Result = RunSender(Case);
		EXPECT_EQ(Result.ExitCode, 2) << Case[0];
		EXPECT_NE(Result.Err.find(Case[0]), std::string::npos) << Result.Err;
		EXPECT_TRUE(Result.Out.empty()) << Result.Out;
	}
}

TEST(SenderExecutable, ClockTimecodeAndRampFollowTheLocalTimeOfDay)
{
	FLoopbackReceiver Receiver;
	ASSERT_TRUE(Receiver.IsBound());
	const TavrixSend::FTavrixDuration Before = TavrixSend::ReadLocalTimeOfDay();
	const FProcessResult Result = RunSender({"--endpoint", Destination(Receiver), "--count", "4", "--rate", "100", "--motion", "ramp",
		"--ramp-speed", "250", "--ramp-period", "3600", "--timecode", "clock", "--timecode-rate", "30000/1001", "--quiet"});
	const TavrixSend::FTavrixDuration After = TavrixSend::ReadLocalTimeOfDay();
	ASSERT_EQ(Result.ExitCode, 0) << Result.Err;

	for (int Index = 0; Index < 4; ++Index)
	{
		const std::optional<std::string> Datagram = Receiver.Receive(5s);
		ASSERT_TRUE(Datagram.has_value()) << "datagram " << Index;
		const nlohmann::json Camera = nlohmann::json::parse(*Datagram).at("TVKCamera").at(0);
		const int64_t Frame = Camera["Timecode"][0].get<int64_t>();
		EXPECT_EQ(Camera["Timecode"][1].get<int>(), 30000);
		EXPECT_EQ(Camera["Timecode"][2].get<int>(), 1001);
		// The frame's start lies between the readings taken around the run, unless midnight fell in between.
		const double FrameSeconds = static_cast<double>(Frame) * 1001.0 / 30000.0;
		if (Before <= After)
		{
			EXPECT_GE(FrameSeconds, std::chrono::duration<double>(Before).count() - 1001.0 / 30000.0) << Frame;
			EXPECT_LE(FrameSeconds, std::chrono::duration<double>(After).count()) << Frame;
		}
		EXPECT_NEAR(Camera["Location"][0].get<double>(), 250.0 * std::fmod(FrameSeconds, 3600.0), 0.05) << Frame;
		EXPECT_EQ(Camera["Location"][1].get<double>(), 0.0);
		EXPECT_EQ(Camera["Location"][2].get<double>(), 0.0);
		EXPECT_EQ(Camera["Rotation"], nlohmann::json::parse("[0,0,0,1]"));
	}
}

TEST(SenderExecutable, HelpPrintsUsageAndSucceeds)
{
	const FProcessResult Result = RunSender({"--help"});
	EXPECT_EQ(Result.ExitCode, 0);
	EXPECT_NE(Result.Out.find("Usage: tavrix-send"), std::string::npos) << Result.Out;
	EXPECT_NE(Result.Out.find("--replay FILE"), std::string::npos) << Result.Out;
}

TEST(SenderExecutable, SendsCountedCameraMessagesAndSummarises)
{
	FLoopbackReceiver Receiver;
	ASSERT_TRUE(Receiver.IsBound());
	const FProcessResult Result = RunSender({"--endpoint", Destination(Receiver), "--count", "5", "--rate", "100", "--scene", "Caf\xC3\xA9",
		"--take", "12", "--record", "on", "--timecode-rate", "30000/1001", "--start-frame", "900"});
	ASSERT_EQ(Result.ExitCode, 0) << Result.Err;
	EXPECT_NE(Result.Out.find("5 datagrams sent to " + Destination(Receiver)), std::string::npos) << Result.Out;

	int PreviousFrame = 900;
	for (int Index = 0; Index < 5; ++Index)
	{
		const std::optional<std::string> Datagram = Receiver.Receive(5s);
		ASSERT_TRUE(Datagram.has_value()) << "datagram " << Index;
		for (const char Byte : *Datagram)
		{
			ASSERT_TRUE(Byte >= 0x20 && Byte <= 0x7E) << *Datagram;
		}
		const nlohmann::json Camera = nlohmann::json::parse(*Datagram).at("TVKCamera").at(0);
		EXPECT_EQ(Camera["Metadata"][1].get<std::string>(), "Caf\xC3\xA9");
		EXPECT_EQ(Camera["Metadata"][2].get<std::string>(), "12");
		EXPECT_EQ(Camera["State"].get<int>(), 2);
		const int Frame = Camera["Timecode"][0].get<int>();
		EXPECT_TRUE(Index == 0 ? Frame == 900 : Frame >= PreviousFrame) << "frame " << Frame;
		PreviousFrame = Frame;
		EXPECT_EQ(Camera["Timecode"][2].get<int>(), 1001);
	}
	EXPECT_FALSE(Receiver.Receive(0ms).has_value());
}

TEST(SenderExecutable, ReplaySendsEachLineVerbatim)
{
	FLoopbackReceiver Receiver;
	ASSERT_TRUE(Receiver.IsBound());
	const std::string Lines[] = {R"({"TVKCamera":[{}]})", "", "\x80\xFF\xC3\xA9 not json\r", "{\"Bad\":", "last"};
	std::string Content;
	for (const std::string& Line : Lines)
	{
		Content += Line + '\n';
	}
	Content.pop_back();
	const std::string Path = WriteTempFile("TavrixSendReplay.txt", Content);

	const FProcessResult Result = RunSender({"--endpoint", Destination(Receiver), "--replay", Path, "--rate", "200", "--quiet"});
	ASSERT_EQ(Result.ExitCode, 0) << Result.Err;
	EXPECT_TRUE(Result.Out.empty()) << Result.Out;
	for (const std::string& Line : Lines)
	{
		const std::optional<std::string> Datagram = Receiver.Receive(5s);
		ASSERT_TRUE(Datagram.has_value());
		EXPECT_EQ(*Datagram, Line);
	}
	EXPECT_FALSE(Receiver.Receive(0ms).has_value());
}

TEST(SenderExecutable, MissingReplayFileExitsWithStatusOne)
{
	const FProcessResult Result = RunSender({"--replay", ::testing::TempDir() + "TavrixSendDoesNotExist.txt", "--count", "1"});
	EXPECT_EQ(Result.ExitCode, 1);
	EXPECT_NE(Result.Err.find("TavrixSendDoesNotExist.txt"), std::string::npos) << Result.Err;
}

TEST(SenderExecutable, TerminationSignalsStopAnUnboundedRun)
{
	for (const int Signal : {SIGINT, SIGTERM})
	{
		FLoopbackReceiver Receiver;
		ASSERT_TRUE(Receiver.IsBound());
		FChildProcess Process({TAVRIX_SEND_EXECUTABLE, "--endpoint", Destination(Receiver), "--rate", "50"});
		ASSERT_TRUE(Process.IsStarted());
		ASSERT_TRUE(Receiver.Receive(10s).has_value());
		Process.Signal(Signal);
		const FProcessResult Result = Process.Finish(10s);
		EXPECT_FALSE(Result.bTimedOut);
		EXPECT_EQ(Result.ExitCode, 0) << "signal " << Signal << ": " << Result.Err;
		EXPECT_NE(Result.Out.find("(interrupted)"), std::string::npos) << Result.Out;
	}
}

// A group endpoint reaches every member on this machine, on the interface the system chooses or the one named.
TEST(SenderExecutable, SendsToAGroupThatEveryLocalMemberHears)
{
	if (const std::optional<std::string> Why = WhyLocalMulticastIsUnavailable())
	{
		GTEST_SKIP() << *Why;
	}
	const uint16_t Port = FreeLoopbackPort();
	{
		const FGroupMember First(Port, INADDR_ANY);
		const FGroupMember Second(Port, INADDR_ANY);
		ASSERT_TRUE(First.IsJoined() && Second.IsJoined());
		const FProcessResult Result =
			RunSender({"--endpoint", GroupEndpoint(Port), "--count", "6", "--rate", "200", "--multicast-ttl", "0"});
		ASSERT_EQ(Result.ExitCode, 0) << Result.Err;
		EXPECT_NE(Result.Out.find("6 datagrams sent to " + GroupEndpoint(Port)), std::string::npos) << Result.Out;
		EXPECT_EQ(First.CountUntilQuiet(2s), 6);
		EXPECT_EQ(Second.CountUntilQuiet(2s), 6);
	}
	{
		const FGroupMember OnLoopback(Port, INADDR_LOOPBACK);
		ASSERT_TRUE(OnLoopback.IsJoined());
		const FProcessResult Result = RunSender({"--endpoint", GroupEndpoint(Port), "--count", "4", "--rate", "200", "--multicast-ttl", "0",
			"--multicast-interface", "127.0.0.1"});
		ASSERT_EQ(Result.ExitCode, 0) << Result.Err;
		EXPECT_EQ(OnLoopback.CountUntilQuiet(2s), 4);
	}
	// An interface this machine does not have is refused when the socket is set up, not at every send.
	const FProcessResult Refused =
		RunSender({"--endpoint", GroupEndpoint(Port), "--count", "1", "--multicast-ttl", "0", "--multicast-interface", "192.0.2.123"});
	EXPECT_EQ(Refused.ExitCode, 1);
	EXPECT_NE(Refused.Err.find("cannot open a UDP socket"), std::string::npos) << Refused.Err;
}
