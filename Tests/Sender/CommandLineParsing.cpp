#include "CommandLineTestSupport.h"
#include "TavrixSendCommandLine.h"

#include <gtest/gtest.h>

#include <vector>

using namespace TavrixSend;
using namespace std::chrono_literals;

namespace
{
/** Splits at single spaces, so that a whole command line reads as one text. */
std::vector<std::string_view> Split(std::string_view InLine)
{
	std::vector<std::string_view> Arguments;
	for (size_t Space = InLine.find(' '); Space != std::string_view::npos; Space = InLine.find(' '))
	{
		Arguments.push_back(InLine.substr(0, Space));
		InLine.remove_prefix(Space + 1);
	}
	Arguments.push_back(InLine);
	return Arguments;
}

/** Each case is one "--name=value" argument, and the error must name the option. */
void ExpectEachRejected(std::initializer_list<std::string_view> InCases)
{
	for (const std::string_view Case : InCases)
	{
		ExpectRejected({Case}, Case.substr(0, Case.find('=')));
	}
}
} // namespace

TEST(CommandLineParsing, AcceptsEveryOptionInBothForms)
{
	const FTavrixSendCommandLine CommandLine =
		Parse(Split("--endpoint 10.1.2.3:7000 --rate=50 --count 12 --motion static --radius=120.5 --orbit-seconds 4 "
					"--lens 50,250.5,2.39,40 --timecode-rate=30000/1001 --start-frame -25 --scene --x --take 3 "
					"--first=a=b --record toggle:2.5 --version 7 --quiet"));
	ASSERT_EQ(CommandLine.Action, ETavrixCommandLineAction::Send) << CommandLine.Error;
	const FTavrixSendOptions& Options = CommandLine.Options;
	EXPECT_EQ(Options.Endpoint, (FTavrixEndpoint{0x0A010203, 7000}));
	EXPECT_EQ(Options.Pacing.RateHz, 50.0);
	EXPECT_EQ(Options.Pacing.MaxSends, 12u);
	EXPECT_FALSE(Options.Pacing.MaxDuration);
	EXPECT_EQ(Options.Script.Motion, ETavrixMotion::Static);
	EXPECT_EQ(Options.Script.Orbit.Radius, 120.5);
	EXPECT_EQ(Options.Script.Orbit.PeriodSeconds, 4.0);
	EXPECT_EQ(Options.Script.Lens, (std::array<double, 4>{50.0, 250.5, 2.39, 40.0}));
	EXPECT_EQ(Options.Script.FrameRate.Numerator, 30000);
	EXPECT_EQ(Options.Script.FrameRate.Denominator, 1001);
	EXPECT_EQ(Options.Script.StartFrame, -25);
	EXPECT_EQ(Options.Script.Scene, "--x");
	EXPECT_EQ(Options.Script.Record.FirstTake, 3);
	EXPECT_EQ(Options.Script.FirstText, "a=b");
	EXPECT_EQ(Options.Script.Record.Mode, ETavrixRecordMode::Toggle);
	EXPECT_EQ(Options.Script.Record.TogglePeriod, 2500ms);
	EXPECT_EQ(Options.Script.Version, 7);
	EXPECT_TRUE(Options.bQuiet);
	EXPECT_FALSE(Options.ReplayPath);
}

TEST(CommandLineParsing, DurationAndReplayAreAccepted)
{
	const FTavrixSendCommandLine CommandLine = Parse(Split("--replay lines.txt --duration 0.5 --rate 0.25"));
	ASSERT_EQ(CommandLine.Action, ETavrixCommandLineAction::Send) << CommandLine.Error;
	EXPECT_EQ(CommandLine.Options.ReplayPath, "lines.txt");
	EXPECT_EQ(CommandLine.Options.Pacing.MaxDuration, 500ms);
	EXPECT_EQ(CommandLine.Options.Pacing.RateHz, 0.25);
}

TEST(CommandLineParsing, GroupEndpointTakesItsTimeToLiveAndInterface)
{
	const FTavrixSendCommandLine Defaults = Parse(Split("--endpoint 239.1.2.3:9001"));
	ASSERT_EQ(Defaults.Action, ETavrixCommandLineAction::Send) << Defaults.Error;
	EXPECT_TRUE(Defaults.Options.Endpoint.IsMulticast());
	EXPECT_EQ(Defaults.Options.Multicast.TimeToLive, 1);
	EXPECT_FALSE(Defaults.Options.Multicast.Interface);

	const FTavrixSendCommandLine CommandLine =
		Parse(Split("--endpoint 224.0.0.250:9001 --multicast-ttl 0 --multicast-interface=127.0.0.1"));
	ASSERT_EQ(CommandLine.Action, ETavrixCommandLineAction::Send) << CommandLine.Error;
	EXPECT_EQ(CommandLine.Options.Multicast.TimeToLive, 0);
	EXPECT_EQ(CommandLine.Options.Multicast.Interface, 0x7F000001u);
	EXPECT_EQ(Parse(Split("--endpoint 239.255.255.255:1 --multicast-ttl 255")).Options.Multicast.TimeToLive, 255);

	ExpectRejected(Split("--endpoint 239.1.2.3:9001 --multicast-ttl 256"), "--multicast-ttl");
	ExpectRejected(Split("--endpoint 239.1.2.3:9001 --multicast-ttl -1"), "--multicast-ttl");
	ExpectRejected(Split("--endpoint 239.1.2.3:9001 --multicast-interface 127.0.0"), "--multicast-interface");
	ExpectRejected(Split("--endpoint 239.1.2.3:9001 --multicast-interface 127.0.0.1:9001"), "--multicast-interface");
	ExpectRejected(Split("--endpoint 239.1.2.3:9001 --multicast-interface 127.0.0.01"), "--multicast-interface");
	// Only a group is sent with a time to live and an interface of the user's choice; elsewhere they would be ignored.
	ExpectRejected(Split("--endpoint 223.255.255.255:9001 --multicast-ttl 0"), "--multicast-ttl");
	ExpectRejected(Split("--endpoint 240.0.0.1:9001 --multicast-interface 127.0.0.1"), "--multicast-interface");
	ExpectRejected(Split("--multicast-ttl 0"), "--multicast-ttl");
}

TEST(CommandLineParsing, RejectsNumbersOutOfRangeOrNotFullyRead)
{
	ExpectEachRejected({"--rate=0", "--rate=-1", "--rate=abc", "--rate=25x", "--rate= 25", "--rate=+25"});
	ExpectEachRejected({"--rate=inf", "--rate=nan", "--rate=10001", "--rate="});
	ExpectEachRejected({"--count=0", "--count=-3", "--count=1.5", "--count=18446744073709551616"});
	ExpectEachRejected({"--duration=0", "--duration=-1", "--duration=1e300", "--orbit-seconds=0"});
	ExpectEachRejected({"--start-frame=2147483648", "--start-frame=1e3", "--version=2147483648"});
	ExpectEachRejected({"--take=-1", "--take=0x10", "--radius=-1", "--radius=1e8"});
}

TEST(CommandLineParsing, RejectsMalformedCompositeValues)
{
	ExpectEachRejected({"--lens=1,2,3", "--lens=1,2,3,4,5", "--lens=1,,3,4", "--lens=1,2,3,4,", "--lens=1;2;3;4"});
	ExpectEachRejected({"--timecode-rate=30000", "--timecode-rate=0/1", "--timecode-rate=25/-1"});
	ExpectEachRejected({"--timecode-rate=25/1/1", "--timecode-rate=/1"});
	ExpectEachRejected({"--record=maybe", "--record=toggle:", "--record=toggle:0", "--record=toggle:-2"});
	ExpectEachRejected({"--record=ON", "--motion=spin", "--replay="});
}

TEST(CommandLineParsing, RejectsMalformedEndpoints)
{
	for (const std::string_view Text : {"127.0.0.1", "127.0.0.1:", "127.0.0.1:0", ":9001", "127.0.0.1:65536", "256.0.0.1:9001",
			 "127.0.0.01:9001", "127.0.0.1:09001", "127.0.0.1:+80", "1.2.3:80", "1.2.3.4.5:80", "localhost:9001", " 127.0.0.1:9001",
			 "127.0.0.1:9001 ", "-1.0.0.0:1", "1..2.3:4", "0x7f.0.0.1:80"})
	{
		EXPECT_FALSE(FTavrixEndpoint::Parse(Text).has_value()) << Text;
		ExpectRejected({"--endpoint", Text}, "--endpoint");
	}
}

TEST(CommandLineParsing, EndpointTextReadsBackAsWritten)
{
	for (const std::string_view Text : {"0.0.0.0:1", "255.255.255.255:65535", "10.20.30.40:9001", "127.0.0.1:80"})
	{
		const std::optional<FTavrixEndpoint> Endpoint = FTavrixEndpoint::Parse(Text);
		ASSERT_TRUE(Endpoint.has_value()) << Text;
		EXPECT_EQ(Endpoint->ToString(), Text);
	}
	EXPECT_EQ(FTavrixEndpoint::Parse("192.168.1.20:9001"), (FTavrixEndpoint{0xC0A80114, 9001}));
}

TEST(CommandLineParsing, RejectsStructuralMistakes)
{
	ExpectRejected({"--bogus"}, "--bogus");
	ExpectRejected({"stray"}, "stray");
	ExpectRejected(Split("--rate 10 --rate 20"), "more than once");
	ExpectRejected({"--scene"}, "needs a value");
	ExpectRejected({"--quiet=yes"}, "takes no value");
	ExpectRejected(Split("--count 3 --duration 1"), "cannot be combined");
	ExpectRejected(Split("--replay lines.txt --scene x"), "--scene");
	ExpectRejected(Split("--record on --replay lines.txt"), "--record");
}

TEST(CommandLineParsing, HelpIsRecognisedBeforeLaterMistakes)
{
	EXPECT_EQ(Parse(Split("--help --bogus")).Action, ETavrixCommandLineAction::ShowHelp);
	EXPECT_EQ(Parse(Split("--rate 5 -h")).Action, ETavrixCommandLineAction::ShowHelp);
	EXPECT_EQ(Parse(Split("--scene --help")).Action, ETavrixCommandLineAction::Send);
}

TEST(CommandLineParsing, ClockTimecodeAndRampAreAcceptedAndCheckedTogether)
{
	FTavrixSendCommandLine CommandLine =
		Parse(Split("--motion ramp --ramp-speed -12.5 --ramp-period=3600 --timecode clock --timecode-rate 30000/1001"));
	ASSERT_EQ(CommandLine.Action, ETavrixCommandLineAction::Send) << CommandLine.Error;
	EXPECT_EQ(CommandLine.Options.Script.Motion, ETavrixMotion::Ramp);
	EXPECT_EQ(CommandLine.Options.Script.Ramp.SpeedCmPerSecond, -12.5);
	EXPECT_EQ(CommandLine.Options.Script.Ramp.PeriodSeconds, 3600);
	EXPECT_EQ(CommandLine.Options.Script.Timecode, ETavrixTimecodeSource::Clock);

	CommandLine = Parse(Split("--motion ramp"));
	ASSERT_EQ(CommandLine.Action, ETavrixCommandLineAction::Send) << CommandLine.Error;
	EXPECT_EQ(CommandLine.Options.Script.Timecode, ETavrixTimecodeSource::Count);
	EXPECT_EQ(CommandLine.Options.Script.Ramp.SpeedCmPerSecond, 100.0);
	EXPECT_EQ(CommandLine.Options.Script.Ramp.PeriodSeconds, 60);
	EXPECT_EQ(Parse(Split("--timecode count --start-frame 7")).Options.Script.StartFrame, 7);

	ExpectEachRejected({"--timecode=sometimes", "--timecode=Clock", "--timecode=", "--motion=Ramp"});
	ExpectEachRejected({"--ramp-speed=abc", "--ramp-speed=inf", "--ramp-speed=1000001", "--ramp-speed=-2e6"});
	ExpectEachRejected({"--ramp-period=0", "--ramp-period=7", "--ramp-period=86401", "--ramp-period=1.5", "--ramp-period=-60"});
	ExpectRejected(Split("--ramp-speed 5"), "--ramp-speed");
	ExpectRejected(Split("--motion orbit --ramp-period 60"), "--ramp-period");
	ExpectRejected(Split("--timecode clock --start-frame 3"), "--start-frame");
	ExpectRejected(Split("--timecode clock --timecode-rate 25/0"), "known rate");
	ExpectRejected(Split("--replay lines.txt --timecode clock"), "--timecode");
}

TEST(CommandLineParsing, JitterAndSendLogAreAcceptedWhereTheyMeanSomething)
{
	FTavrixSendCommandLine CommandLine = Parse(Split("--jitter 12.5 --log-sends sends.txt --motion ramp --timecode clock"));
	ASSERT_EQ(CommandLine.Action, ETavrixCommandLineAction::Send) << CommandLine.Error;
	EXPECT_EQ(CommandLine.Options.JitterMax, 12500us);
	EXPECT_EQ(CommandLine.Options.SendLogPath, "sends.txt");
	EXPECT_EQ(Parse(Split("--rate 25")).Options.JitterMax, FTavrixDuration::zero());
	EXPECT_EQ(Parse(Split("--replay lines.txt --jitter 3")).Options.JitterMax, 3ms);

	ExpectEachRejected({"--jitter=-1", "--jitter=1000.5", "--jitter=abc", "--jitter=", "--log-sends="});
	ExpectRejected(Split("--replay-pcap stage.pcap --jitter 5"), "--jitter");
	// The log describes the made-up camera's poses, which a replay does not have.
	ExpectRejected(Split("--replay lines.txt --log-sends sends.txt"), "--log-sends");
}
