#include "HostOptions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
FHostOptions ParseAccepted(const std::vector<std::string>& Arguments)
{
	FHostOptions Options;
	std::string Error;
	EXPECT_TRUE(ParseHostOptions(Arguments, Options, Error)) << Error;
	return Options;
}

/** Expects the arguments to be refused with an error that mentions InMentioned. */
void ExpectRefused(const std::vector<std::string>& Arguments, const std::string& Mentioned)
{
	FHostOptions Options;
	std::string Error;
	std::string Joined;
	for (const std::string& Argument : Arguments)
	{
		Joined += Argument + ' ';
	}
	EXPECT_FALSE(ParseHostOptions(Arguments, Options, Error)) << Joined;
	EXPECT_NE(Error.find(Mentioned), std::string::npos) << Joined << "-> " << Error;
}
} // namespace

TEST(HostCommandLine, WithoutAnEndpointThereIsOneSourceWithThePanelsInitialValues)
{
	const FHostOptions Options = ParseAccepted({"--jsonl"});
	ASSERT_EQ(Options.Sources.size(), 1u);
	EXPECT_EQ(Options.Sources.front(), FHostSourceOptions());
	EXPECT_EQ(Options.Output, EHostOutput::JsonLines);

	const FHostOptions Ticked = ParseAccepted({"--no-auto-lens", "--capture", "--subject-name", "Crane"});
	ASSERT_EQ(Ticked.Sources.size(), 1u);
	EXPECT_EQ(Ticked.Sources.front().bAutoLens, false);
	EXPECT_TRUE(Ticked.Sources.front().bCapture);
	EXPECT_EQ(Ticked.Sources.front().SubjectName, "Crane");
	EXPECT_FALSE(Ticked.Sources.front().Endpoint);
}

TEST(HostCommandLine, EachEndpointStartsASourceThatTakesTheOptionsAfterIt)
{
	const FHostOptions Options =
		ParseAccepted({"--auto-lens", "--endpoint", "127.0.0.1:9001", "--no-auto-record", "--subject-name", "Main Camera", "--duration",
			"5", "--endpoint=10.0.0.2:9002", "--capture", "--accept-from", "10.0.0.9", "--auto-scene-take", "--jsonl", "--endpoint",
			"0.0.0.0:9003", "--subject-name=Crane Cam", "--no-auto-lens", "--auto-lens", "--frame-per-datagram", "--plain"});
	ASSERT_EQ(Options.Sources.size(), 3u);
	const FHostSourceOptions& First = Options.Sources[0];
	const FHostSourceOptions& Second = Options.Sources[1];
	const FHostSourceOptions& Third = Options.Sources[2];
	// What comes before any --endpoint belongs to the first source.
	EXPECT_EQ(First.Endpoint, "127.0.0.1:9001");
	EXPECT_EQ(First.bAutoLens, true);
	EXPECT_EQ(First.bAutoRecord, false);
	EXPECT_FALSE(First.bAutoSceneTake);
	EXPECT_EQ(First.SubjectName, "Main Camera");
	EXPECT_FALSE(First.bCapture);
	EXPECT_FALSE(First.AcceptFrom);
	EXPECT_FALSE(First.bFramePerDatagram);

	EXPECT_EQ(Second.Endpoint, "10.0.0.2:9002");
	EXPECT_TRUE(Second.bCapture);
	EXPECT_EQ(Second.AcceptFrom, "10.0.0.9");
	EXPECT_EQ(Second.bAutoSceneTake, true);
	EXPECT_FALSE(Second.bAutoLens);
	EXPECT_FALSE(Second.SubjectName);
	EXPECT_FALSE(Second.bFramePerDatagram);

	EXPECT_EQ(Third.Endpoint, "0.0.0.0:9003");
	EXPECT_EQ(Third.SubjectName, "Crane Cam");
	EXPECT_EQ(Third.bAutoLens, true) << "the later of two contrary switches wins";
	EXPECT_TRUE(Third.bFramePerDatagram);
	EXPECT_FALSE(Third.bCapture);

	// Run-wide options stay run-wide wherever they stand; the later output switch wins.
	EXPECT_EQ(Options.DurationSeconds, 5.0);
	EXPECT_EQ(Options.Output, EHostOutput::Plain);
}

TEST(HostCommandLine, RunWideOptionsAndTheSettingsCommandKeepTheirMeaning)
{
	const FHostOptions Options = ParseAccepted({"--project", "Studio", "--tick-hz", "120", "--no-take-recorder", "--take-recorder-refuses",
		"--take-recorder-countdown", "3", "--demo", "--demo-toggle", "2.5", "--live"});
	EXPECT_EQ(Options.ProjectDir, "Studio");
	EXPECT_EQ(Options.TickHz, 120.0);
	EXPECT_FALSE(Options.bTakeRecorder);
	EXPECT_TRUE(Options.bTakeRecorderRefuses);
	EXPECT_EQ(Options.TakeRecorderCountdownSeconds, 3.0);
	EXPECT_TRUE(Options.bDemo);
	EXPECT_EQ(Options.DemoToggleSeconds, 2.5);
	EXPECT_EQ(Options.Output, EHostOutput::Live);
	EXPECT_FALSE(Options.bSettingsCommand);

	const FHostOptions Connection = ParseAccepted({"--connection-string", "0.0.0.0:9001", "--capture"});
	EXPECT_EQ(Connection.ConnectionString, "0.0.0.0:9001");
	ASSERT_EQ(Connection.Sources.size(), 1u);
	EXPECT_TRUE(Connection.Sources.front().bCapture);

	const FHostOptions Listing = ParseAccepted({"settings", "--project", "Studio"});
	EXPECT_TRUE(Listing.bSettingsCommand);
	EXPECT_EQ(Listing.ProjectDir, "Studio");
	EXPECT_FALSE(Listing.SettingToSet);

	const FHostOptions Setting = ParseAccepted({"--project", "Studio", "settings", "set", "bAutoRecord", "True"});
	EXPECT_TRUE(Setting.bSettingsCommand);
	ASSERT_TRUE(Setting.SettingToSet);
	EXPECT_EQ(Setting.SettingToSet->first, "bAutoRecord");
	EXPECT_EQ(Setting.SettingToSet->second, "True");
}

TEST(HostCommandLine, EvaluationSwitchesFollowTheirSourceAndTheTimecodeRateIsRunWide)
{
	const FHostOptions Options = ParseAccepted({"--evaluation-mode", "latest", "--timecode-rate", "30000/1001", "--endpoint",
		"127.0.0.1:9002", "--engine-time-offset", "0.1", "--evaluation-mode", "enginetime", "--latest-offset", "2", "--endpoint",
		"127.0.0.1:9003", "--timecode-frame-offset", "1.5", "--max-buffered-frames", "4", "--no-timecode-provider"});
	ASSERT_EQ(Options.Sources.size(), 2u);
	const std::vector<FHostDetailEdit> First = {{"--evaluation-mode", "Mode", "latest"},
		{"--engine-time-offset", "BufferSettings.EngineTimeOffset", "0.1"}, {"--evaluation-mode", "Mode", "enginetime"},
		{"--latest-offset", "BufferSettings.LatestOffset", "2"}};
	EXPECT_EQ(Options.Sources[0].EvaluationEdits, First) << "typed in command-line order, the later mode last";
	const std::vector<FHostDetailEdit> Second = {{"--timecode-frame-offset", "BufferSettings.TimecodeFrameOffset", "1.5"},
		{"--max-buffered-frames", "BufferSettings.MaxNumberOfFrameToBuffered", "4"}};
	EXPECT_EQ(Options.Sources[1].EvaluationEdits, Second);
	EXPECT_EQ(Options.TimecodeRate, std::make_pair(30000, 1001));
	EXPECT_TRUE(Options.bNoTimecodeProvider);
	EXPECT_EQ(ParseAccepted({"--timecode-rate", "25"}).TimecodeRate, std::make_pair(25, 1));
	EXPECT_FALSE(ParseAccepted({}).TimecodeRate);
	ExpectRefused({"--timecode-rate", "0"}, "--timecode-rate");
	ExpectRefused({"--timecode-rate", "24/0"}, "--timecode-rate");
	ExpectRefused({"--timecode-rate", "24/x"}, "--timecode-rate");
}

TEST(HostCommandLine, BadArgumentsAreRefusedNamingWhatIsWrong)
{
	ExpectRefused({"--frobnicate"}, "--frobnicate");
	ExpectRefused({"stray"}, "stray");
	ExpectRefused({"--endpoint", "127.0.0.1:9001", "--endpoint", "host:9002"}, "host:9002");
	ExpectRefused({"--endpoint", "127.0.0.1:9001", "--endpoint"}, "--endpoint needs a value");
	ExpectRefused({"--endpoint", "127.0.0.1:9001", "--subject-name"}, "--subject-name needs a value");
	ExpectRefused({"--capture=yes"}, "--capture takes no value");
	ExpectRefused({"--frame-per-datagram=yes"}, "--frame-per-datagram takes no value");
	ExpectRefused({"--tick-hz", "0"}, "--tick-hz");
	ExpectRefused({"--tick-hz", "60x"}, "--tick-hz");
	ExpectRefused({"--duration", "-1"}, "--duration");
	ExpectRefused({"--demo-toggle", "0"}, "--demo-toggle");
	ExpectRefused({"--take-recorder-countdown", "3601"}, "--take-recorder-countdown");
	ExpectRefused({"--connection-string", "1.2.3.4:5", "--endpoint", "1.2.3.4:6"}, "--connection-string");
	ExpectRefused({"--connection-string", "1.2.3.4:5", "--no-auto-record"}, "--connection-string");
	ExpectRefused({"settings", "set", "bAutoRecord"}, "KEY and a VALUE");
}

TEST(HostCommandLine, HelpWinsOverLaterMistakesAndDescribesEverySwitch)
{
	EXPECT_TRUE(ParseAccepted({"--help", "--frobnicate"}).bHelp);
	EXPECT_TRUE(ParseAccepted({"--endpoint", "127.0.0.1:9001", "-h"}).bHelp);
	const std::string Usage = GetHostUsage();
	for (const char* Switch : {"--project DIR", "--endpoint A.B.C.D:PORT", "--auto-lens", "--no-auto-lens", "--auto-scene-take",
			 "--no-auto-scene-take", "--auto-record", "--no-auto-record", "--subject-name NAME", "--accept-from LIST", "--capture",
			 "--frame-per-datagram", "--connection-string A.B.C.D:PORT", "--tick-hz HZ", "--duration SECONDS", "--no-take-recorder",
			 "--take-recorder-refuses", "--take-recorder-countdown SECONDS", "--demo", "--demo-toggle SECONDS", "--live", "--jsonl",
			 "--plain", "--help", "--evaluation-mode latest|enginetime|timecode", "--engine-time-offset SECONDS",
			 "--timecode-frame-offset FRAMES", "--latest-offset N", "--max-buffered-frames N", "--timecode-rate N[/D]",
			 "--no-timecode-provider", "settings set KEY VALUE", "Exit status"})
	{
		EXPECT_NE(Usage.find(Switch), std::string::npos) << Switch << " missing from:\n" << Usage;
	}
}
