#include "CommandLineTestSupport.h"
#include "TavrixSendCommandLine.h"

#include <gtest/gtest.h>

#include <vector>

using namespace TavrixSend;
using namespace std::chrono_literals;

TEST(CaptureReplayOptions, AcceptsTheReplayOptionsInBothForms)
{
	const FTavrixSendCommandLine CommandLine = Parse({"--replay-pcap", "take 4.pcapng", "--speed=2.5", "--loop", "--filter",
		"udp port 9001 and host 10.0.0.5", "--endpoint=127.0.0.1:9100", "--duration", "30", "--quiet"});
	ASSERT_EQ(CommandLine.Action, ETavrixCommandLineAction::Send) << CommandLine.Error;
	const FTavrixSendOptions& Options = CommandLine.Options;
	EXPECT_EQ(Options.CapturePath, "take 4.pcapng");
	EXPECT_EQ(Options.CaptureSpeed, 2.5);
	EXPECT_TRUE(Options.bCaptureLoop);
	EXPECT_EQ(Options.CaptureFilter, "udp port 9001 and host 10.0.0.5");
	EXPECT_EQ(Options.Pacing.MaxDuration, 30s);
	EXPECT_TRUE(Options.bQuiet);
	EXPECT_FALSE(Options.ReplayPath);

	const FTavrixSendCommandLine Defaults = Parse({"--replay-pcap=capture.pcap", "--count", "4"});
	ASSERT_EQ(Defaults.Action, ETavrixCommandLineAction::Send) << Defaults.Error;
	EXPECT_EQ(Defaults.Options.CaptureSpeed, 1.0);
	EXPECT_FALSE(Defaults.Options.bCaptureLoop);
	EXPECT_TRUE(Defaults.Options.CaptureFilter.empty());
	EXPECT_FALSE(Defaults.Options.bQuiet);
	EXPECT_EQ(Defaults.Options.Pacing.MaxSends, 4u);
}

TEST(CaptureReplayOptions, RejectsSpeedsThatAreNotPositiveAndFinite)
{
	for (const std::string_view Speed : {"--speed=0", "--speed=-1", "--speed=-0", "--speed=inf", "--speed=nan", "--speed=1e999",
			 "--speed=", "--speed=2x", "--speed=+2", "--speed= 2"})
	{
		ExpectRejected({"--replay-pcap", "capture.pcap", Speed}, "--speed");
	}
	EXPECT_EQ(Parse({"--replay-pcap", "capture.pcap", "--speed", "0.001"}).Options.CaptureSpeed, 0.001);
}

TEST(CaptureReplayOptions, RejectsEmptyValuesAndRepeats)
{
	ExpectRejected({"--replay-pcap="}, "--replay-pcap");
	ExpectRejected({"--replay-pcap", "a.pcap", "--filter="}, "--filter");
	ExpectRejected({"--replay-pcap", "a.pcap", "--loop=yes"}, "--loop takes no value");
	ExpectRejected({"--replay-pcap", "a.pcap", "--loop", "--loop"}, "--loop given more than once");
	ExpectRejected({"--replay-pcap", "a.pcap", "--speed", "2", "--speed", "3"}, "--speed given more than once");
}

TEST(CaptureReplayOptions, RejectsOptionsThatMeanNothingToACaptureReplay)
{
	ExpectRejected({"--replay-pcap", "a.pcap", "--rate", "50"}, "--rate");
	ExpectRejected({"--replay-pcap", "a.pcap", "--replay", "lines.txt"}, "--replay");
	ExpectRejected({"--replay-pcap", "a.pcap", "--scene", "Scene 4"}, "--scene");
	ExpectRejected({"--motion", "static", "--replay-pcap", "a.pcap"}, "--motion");
}

TEST(CaptureReplayOptions, RejectsReplayOptionsWithoutACapture)
{
	ExpectRejected({"--speed", "2"}, "--speed");
	ExpectRejected({"--loop"}, "--loop");
	ExpectRejected({"--filter", "udp"}, "--filter");
	ExpectRejected({"--replay", "lines.txt", "--loop"}, "--loop");
}
