#include "CaptureTestSupport.h"
#include "SenderTestSupport.h"

#include <gtest/gtest.h>
#include <pcap/dlt.h>

#include <csignal>
#include <filesystem>
#include <fstream>

using namespace TavrixSend;
using namespace CaptureTest;
using namespace std::chrono_literals;

namespace
{
std::string CameraPayload(int InFrame)
{
	return R"({"TVKCamera":[{"Version":1,"Location":[120.5,-30,150],"Timecode":[)" + std::to_string(InFrame) + R"(,25,1],"State":0}]})";
}

/** Camera datagrams over Ethernet every InGap, frames 0 to InCount - 1. */
std::vector<FCaptureRecord> CameraStream(int InCount, std::chrono::microseconds InGap)
{
	std::vector<FCaptureRecord> Records;
	for (int Frame = 0; Frame < InCount; ++Frame)
	{
		Records.push_back(At(InGap * Frame, Ethernet(MakeIPv4Udp(CameraPayload(Frame)))));
	}
	return Records;
}

struct FReplayRun
{
	FProcessResult Process;
	std::vector<FLoopbackReceiver::FArrival> Arrivals;

	std::vector<std::string> Payloads() const
	{
		std::vector<std::string> Result;
		for (const FLoopbackReceiver::FArrival& Arrival : Arrivals)
		{
			Result.push_back(Arrival.Payload);
		}
		return Result;
	}
	std::chrono::nanoseconds Span() const { return Arrivals.size() < 2 ? 0ns : Arrivals.back().Time - Arrivals.front().Time; }
};

/** Runs tavrix-send replaying into InReceiver, taking InExpected datagrams as they arrive, then nothing more. */
FReplayRun Replay(FLoopbackReceiver& InReceiver, std::vector<std::string> InArguments, size_t InExpected)
{
	std::vector<std::string> Arguments{TAVRIX_SEND_EXECUTABLE, "--endpoint", InReceiver.GetEndpoint().ToString()};
	Arguments.insert(Arguments.end(), InArguments.begin(), InArguments.end());
	FChildProcess Process(Arguments);
	FReplayRun Run;
	while (Process.IsStarted() && Run.Arrivals.size() < InExpected)
	{
		std::optional<FLoopbackReceiver::FArrival> Arrival = InReceiver.ReceiveTimed(10s);
		if (!Arrival)
		{
			break;
		}
		Run.Arrivals.push_back(std::move(*Arrival));
	}
	Run.Process = Process.Finish(30s);
	return Run;
}

bool Contains(const std::string& InText, std::string_view InPart)
{
	return InText.find(InPart) != std::string::npos;
}
} // namespace

TEST(CaptureReplay, SendsThePayloadsInOrderAtTheCapturedPace)
{
	std::vector<FCaptureRecord> Records = CameraStream(7, 50ms);
	Records.insert(Records.begin() + 1, At(25ms, Ethernet(MakeIPv4Udp("tcp", CameraHost, Workstation, FIPv4Shape{6}))));
	Records.insert(Records.begin() + 3, At(75ms, Ethernet(MakeIPv6Udp(CameraPayload(99)), EtherTypeIPv6)));
	Records.insert(
		Records.begin() + 5, At(125ms, Ethernet(MakeIPv4Udp(CameraPayload(98), CameraHost, Workstation, FIPv4Shape{17, 0x2000}))));
	const FTempPath Path("paced.pcap");
	ASSERT_TRUE(WritePcap(Path.Get(), DLT_EN10MB, Records));

	FLoopbackReceiver Receiver;
	ASSERT_TRUE(Receiver.IsBound());
	const FReplayRun Run = Replay(Receiver, {"--replay-pcap", Path.Get()}, 7);
	ASSERT_EQ(Run.Process.ExitCode, 0) << Run.Process.Err;

	std::vector<std::string> Expected;
	for (int Frame = 0; Frame < 7; ++Frame)
	{
		Expected.push_back(CameraPayload(Frame));
	}
	EXPECT_EQ(Run.Payloads(), Expected);
	// 300 ms of capture cannot be sent in less; the margin is for clock granularity only.
	EXPECT_GE(Run.Span(), 250ms);
	EXPECT_LT(Run.Span(), 5s);
	EXPECT_TRUE(Contains(Run.Process.Out, "7 datagrams sent to " + Receiver.GetEndpoint().ToString())) << Run.Process.Out;
	EXPECT_TRUE(Contains(Run.Process.Out, "3 packets of the capture skipped: 1 not IPv4, 1 not UDP, 1 fragment")) << Run.Process.Out;
	EXPECT_FALSE(Receiver.Receive(0ms).has_value());
}

TEST(CaptureReplay, SpeedShortensThePace)
{
	// Three seconds of capture at ten times the speed: about 300 ms, far from three seconds, never instant.
	const FTempPath Path("speed.pcap");
	ASSERT_TRUE(WritePcap(Path.Get(), DLT_EN10MB, CameraStream(4, 1s)));
	FLoopbackReceiver Receiver;
	ASSERT_TRUE(Receiver.IsBound());
	const FReplayRun Run = Replay(Receiver, {"--replay-pcap", Path.Get(), "--speed", "10", "--quiet"}, 4);
	ASSERT_EQ(Run.Process.ExitCode, 0) << Run.Process.Err;
	ASSERT_EQ(Run.Arrivals.size(), 4u);
	EXPECT_GE(Run.Span(), 250ms);
	EXPECT_LT(Run.Span(), 2s);
	EXPECT_TRUE(Run.Process.Out.empty()) << Run.Process.Out;
}

TEST(CaptureReplay, FilterSelectsFromMixedTraffic)
{
	const FTavrixEndpoint Tracker{0x0A000009, 9002};
	std::vector<FCaptureRecord> Records;
	for (int Frame = 0; Frame < 6; ++Frame)
	{
		Records.push_back(At(5ms * Frame, Ethernet(MakeIPv4Udp(CameraPayload(Frame), CameraHost, Frame % 2 == 0 ? Workstation : Tracker))));
	}
	const FTempPath Path("mixed.pcap");
	ASSERT_TRUE(WritePcap(Path.Get(), DLT_EN10MB, Records));

	FLoopbackReceiver Receiver;
	ASSERT_TRUE(Receiver.IsBound());
	const FReplayRun Run = Replay(Receiver, {"--replay-pcap", Path.Get(), "--filter", "udp dst port 9002"}, 3);
	ASSERT_EQ(Run.Process.ExitCode, 0) << Run.Process.Err;
	EXPECT_EQ(Run.Payloads(), (std::vector<std::string>{CameraPayload(1), CameraPayload(3), CameraPayload(5)}));
	EXPECT_TRUE(Contains(Run.Process.Out, "3 packets of the capture skipped: 3 not matching the filter")) << Run.Process.Out;
	EXPECT_FALSE(Receiver.Receive(0ms).has_value());
}

TEST(CaptureReplay, LoopStartsOverUntilTheCount)
{
	// Raw IPv4, as the plug-in writes its own captures.
	const FTempPath Path("loop.pcap");
	ASSERT_TRUE(WritePcap(Path.Get(), DLT_RAW, {At(0ms, MakeIPv4Udp("a")), At(10ms, MakeIPv4Udp("b")), At(20ms, MakeIPv4Udp("c"))}));
	FLoopbackReceiver Receiver;
	ASSERT_TRUE(Receiver.IsBound());
	const FReplayRun Run = Replay(Receiver, {"--replay-pcap", Path.Get(), "--loop", "--count", "8"}, 8);
	ASSERT_EQ(Run.Process.ExitCode, 0) << Run.Process.Err;
	EXPECT_EQ(Run.Payloads(), (std::vector<std::string>{"a", "b", "c", "a", "b", "c", "a", "b"}));
	// Eight sends 10 ms apart, the seam included.
	EXPECT_GE(Run.Span(), 60ms);
	EXPECT_TRUE(Contains(Run.Process.Out, "8 datagrams sent")) << Run.Process.Out;
	EXPECT_TRUE(Contains(Run.Process.Out, "3 passes")) << Run.Process.Out;
	EXPECT_FALSE(Receiver.Receive(0ms).has_value());
}

TEST(CaptureReplay, TerminationSignalsStopALoopingReplay)
{
	const FTempPath Path("endless.pcap");
	ASSERT_TRUE(WritePcap(Path.Get(), DLT_EN10MB, CameraStream(3, 20ms)));
	for (const int Signal : {SIGINT, SIGTERM})
	{
		FLoopbackReceiver Receiver;
		ASSERT_TRUE(Receiver.IsBound());
		FChildProcess Process(
			{TAVRIX_SEND_EXECUTABLE, "--endpoint", Receiver.GetEndpoint().ToString(), "--replay-pcap", Path.Get(), "--loop"});
		ASSERT_TRUE(Process.IsStarted());
		// Into the second pass, so the loop is known to run on.
		for (int Received = 0; Received < 4; ++Received)
		{
			ASSERT_TRUE(Receiver.Receive(10s).has_value()) << "datagram " << Received;
		}
		Process.Signal(Signal);
		const FProcessResult Result = Process.Finish(10s);
		EXPECT_FALSE(Result.bTimedOut);
		EXPECT_EQ(Result.ExitCode, 0) << "signal " << Signal << ": " << Result.Err;
		EXPECT_TRUE(Contains(Result.Out, "(interrupted)")) << Result.Out;
	}
}

TEST(CaptureReplay, CaptureCutShortByItsWriterStillReplays)
{
	const FTempPath Path("cut.pcap");
	ASSERT_TRUE(WritePcap(Path.Get(), DLT_EN10MB, CameraStream(3, 10ms)));
	std::filesystem::resize_file(Path.Get(), std::filesystem::file_size(Path.Get()) - 10);
	FLoopbackReceiver Receiver;
	ASSERT_TRUE(Receiver.IsBound());
	const FReplayRun Run = Replay(Receiver, {"--replay-pcap", Path.Get()}, 2);
	EXPECT_EQ(Run.Process.ExitCode, 0) << Run.Process.Err;
	EXPECT_EQ(Run.Payloads(), (std::vector<std::string>{CameraPayload(0), CameraPayload(1)}));
	EXPECT_TRUE(Contains(Run.Process.Err, "warning")) << Run.Process.Err;
	EXPECT_FALSE(Receiver.Receive(0ms).has_value());
}

TEST(CaptureReplay, UnusableCapturesExitWithStatusThreeAndSendNothing)
{
	const FTempPath Missing("missing.pcap");
	const FTempPath Text("text.pcap");
	std::ofstream(Text.Get()) << "{\"TVKCamera\":[{}]}\n";
	const FTempPath Wireless("wireless.pcap");
	ASSERT_TRUE(WritePcap(Wireless.Get(), DLT_IEEE802_11, {At(0ms, MakeIPv4Udp("x"))}));
	const FTempPath NoUdp("no-udp.pcap");
	ASSERT_TRUE(WritePcap(NoUdp.Get(), DLT_EN10MB, {At(0ms, Ethernet(MakeIPv6Udp("six"), EtherTypeIPv6))}));

	for (const auto& [Path, Reason] : {std::pair{&Missing, "cannot read"}, std::pair{&Text, "cannot read"},
			 std::pair{&Wireless, "link type IEEE802_11"}, std::pair{&NoUdp, "no UDP datagram over IPv4"}})
	{
		FLoopbackReceiver Receiver;
		ASSERT_TRUE(Receiver.IsBound());
		const FProcessResult Result = RunSender({"--endpoint", Receiver.GetEndpoint().ToString(), "--replay-pcap", Path->Get()});
		EXPECT_EQ(Result.ExitCode, 3) << Path->Get();
		EXPECT_TRUE(Contains(Result.Err, Path->Get())) << Result.Err;
		EXPECT_TRUE(Contains(Result.Err, Reason)) << Result.Err;
		EXPECT_TRUE(Result.Out.empty()) << Result.Out;
		EXPECT_FALSE(Receiver.Receive(0ms).has_value());
	}
}

TEST(CaptureReplay, BadReplayArgumentsExitWithStatusTwo)
{
	const FTempPath Path("arguments.pcap");
	ASSERT_TRUE(WritePcap(Path.Get(), DLT_EN10MB, CameraStream(1, 0ms)));

	const FProcessResult Filter = RunSender({"--replay-pcap", Path.Get(), "--filter", "udp port"});
	EXPECT_EQ(Filter.ExitCode, 2);
	EXPECT_TRUE(Contains(Filter.Err, "invalid filter 'udp port'")) << Filter.Err;

	for (const std::vector<std::string>& Case : {std::vector<std::string>{"--replay-pcap", Path.Get(), "--speed", "0"},
			 std::vector<std::string>{"--replay-pcap", Path.Get(), "--rate", "25"}, std::vector<std::string>{"--loop"}})
	{
		const FProcessResult Result = RunSender(Case);
		EXPECT_EQ(Result.ExitCode, 2) << Case[0];
		EXPECT_TRUE(Contains(Result.Err, "Usage: tavrix-send")) << Result.Err;
	}
}

TEST(CaptureReplay, HelpDescribesTheReplayOptionsAndExitStatus)
{
	const FProcessResult Result = RunSender({"--help"});
	EXPECT_EQ(Result.ExitCode, 0);
	for (const std::string_view Option : {"--replay-pcap FILE", "--speed X", "--loop", "--filter EXPR", "3 when the capture"})
	{
		EXPECT_TRUE(Contains(Result.Out, Option)) << Option;
	}
}
