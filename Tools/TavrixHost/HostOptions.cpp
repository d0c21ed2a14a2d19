#include "HostOptions.h"

#include "TavrixCommandLineErrors.h"
#include "TavrixUdpSocket.h"

#include <CLI/CLI.hpp>

#include <charconv>
#include <cmath>
#include <functional>
#include <map>

namespace
{
bool ParseDouble(const std::string& Text, double& OutValue)
{
	const std::from_chars_result Result = std::from_chars(Text.data(), Text.data() + Text.size(), OutValue);
	return Result.ec == std::errc() && Result.ptr == Text.data() + Text.size() && std::isfinite(OutValue);
}

bool ParsePositive(const std::string& Text, int& OutValue)
{
	const std::from_chars_result Result = std::from_chars(Text.data(), Text.data() + Text.size(), OutValue);
	return Result.ec == std::errc() && Result.ptr == Text.data() + Text.size() && OutValue > 0;
}

/** "N" or "N/D", both positive. */
std::optional<std::pair<int, int>> ParseRate(const std::string& Text)
{
	const size_t Slash = Text.find('/');
	int Numerator = 0;
	int Denominator = 1;
	if (!ParsePositive(Text.substr(0, Slash), Numerator) ||
		(Slash != std::string::npos && !ParsePositive(Text.substr(Slash + 1), Denominator)))
	{
		return std::nullopt;
	}
	return std::make_pair(Numerator, Denominator);
}

constexpr const char* SourceGroup = "Each source (after its --endpoint; before any, the first source)";
constexpr const char* RunGroup = "The run";

/** An option whose value must read as a number InAccepts takes; the refusal says what it takes. */
CLI::Option* AddNumber(CLI::App& App, const std::string& Name, const std::string& ValueName, const std::string& Description,
	const std::string& Takes, std::function<bool(double)> InAccepts, std::function<void(double)> InStore)
{
	const auto Store = [=](const std::string& Text) {
		double Value = 0.0;
		if (!ParseDouble(Text, Value) || !InAccepts(Value))
		{
			throw CLI::ValidationError(Name + " takes " + Takes + ", not '" + Text + "'");
		}
		InStore(Value);
	};
	return App.add_option_function<std::string>(Name, Store, Description)->type_name(ValueName)->group(RunGroup);
}

/** The options, their values stored into OutOptions; what belongs to one source is gathered afterwards, in order. */
struct FHostCommandLine
{
	CLI::App App{"Runs the TavrixLiveLink plug-in as the editor would, without the editor.", "tavrix-host"};
	CLI::App* Settings = nullptr;
	CLI::App* SettingsSet = nullptr;
	CLI::Option* Endpoint = nullptr;
	/** Per-source switches, with the value each sets. */
	std::map<const CLI::Option*, std::pair<std::optional<bool> FHostSourceOptions::*, bool>> Boxes;
	CLI::Option* SubjectName = nullptr;
	CLI::Option* AcceptFrom = nullptr;
	CLI::Option* Capture = nullptr;
	/** Per-source options typed into the engine's part of the details, with the property each is typed into. */
	std::map<const CLI::Option*, std::string> EvaluationOptions;
	CLI::Option* FramePerDatagram = nullptr;
	std::map<const CLI::Option*, EHostOutput> Outputs;
	std::string SettingKey;
	std::string SettingValue;

	explicit FHostCommandLine(FHostOptions& OutOptions);
};

FHostCommandLine::FHostCommandLine(FHostOptions& OutOptions)
{
	App.footer(R"(Sources are added as a user adds them: for each, the factory's creation panel opens with the project settings,
the options of that source fill it in, and Ok is pressed; then its details are filled in. Repeat --endpoint to add
more sources, each followed by its own options.

Sub-commands:
  tavrix-host [--project DIR] settings             list the project settings of the plug-in
  tavrix-host [--project DIR] settings set KEY VALUE
                                                   change one setting (e.g. settings set bAutoRecord True)

Exit status: 0 after a clean shut-down, 1 when the host cannot run, 2 on a bad argument.)");
	App.get_formatter()->column_width(30);
	App.get_formatter()->label("OPTIONS", "options");
	// The per-source options may come once for each source, and a later run-wide switch wins over an earlier one.
	App.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
	App.set_help_flag("-h,--help", "this text");

	App.add_option("--project", OutOptions.ProjectDir, "the project folder: Config/DefaultGame.ini, Saved/Takes/ (default: current folder)")
		->type_name("DIR")
		->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
	// Strict on purpose: the panel reads the text with the engine's parser, which accepts more than a dotted quad.
	const CLI::Validator DottedQuad(
		[](std::string& Text) {
			return TavrixSend::FTavrixEndpoint::Parse(Text) ? std::string()
															: "takes A.B.C.D:PORT (decimal octets 0-255, port 1-65535), not '" + Text + "'";
		},
		"", "");
	Endpoint = App.add_option("--endpoint")
				   ->description("type this into a new source's \"Network Address:Port\" entry; repeat for more sources")
				   ->type_name("A.B.C.D:PORT")
				   ->check(DottedQuad)
				   ->group(SourceGroup);
	const auto AddBox = [this](const std::string& Name, std::optional<bool> FHostSourceOptions::*Box, const std::string& Label) {
		Boxes[App.add_flag(Name)->description("tick \"" + Label + "\"")->disable_flag_override()->group(SourceGroup)] = {Box, true};
		Boxes[App.add_flag("--no-" + Name.substr(2))->description("clear \"" + Label + "\"")->disable_flag_override()->group(SourceGroup)] =
			{Box, false};
	};
	AddBox("--auto-lens", &FHostSourceOptions::bAutoLens, "Auto Lens Update");
	AddBox("--auto-scene-take", &FHostSourceOptions::bAutoSceneTake, "Auto Scene/Take");
	AddBox("--auto-record", &FHostSourceOptions::bAutoRecord, "Auto Record");
	SubjectName = App.add_option("--subject-name")
					  ->description("type this into the source's details as the name of its subject")
					  ->type_name("NAME")
					  ->group(SourceGroup);
	AcceptFrom = App.add_option("--accept-from")
					 ->description("type this into the source's details: the senders whose datagrams it takes")
					 ->type_name("LIST")
					 ->group(SourceGroup);
	Capture = App.add_flag("--capture")
				  ->description("tick the source's \"Capture Raw Datagrams\": every datagram received goes to\n"
								"a pcap file under <project>/Saved/TavrixCaptures/")
				  ->disable_flag_override()
				  ->group(SourceGroup);
	const auto AddEvaluation = [this](const std::string& Name, const std::string& ValueName, const std::string& Property,
								   const std::string& Description) {
		EvaluationOptions[App.add_option(Name)->description(Description)->type_name(ValueName)->group(SourceGroup)] = Property;
	};
	AddEvaluation("--evaluation-mode", "latest|enginetime|timecode", "Mode",
		"type this into the source's \"Evaluation Mode\": how a camera reads the subject\neach frame (a Tavrix source starts in latest)");
	AddEvaluation("--engine-time-offset", "SECONDS", "BufferSettings.EngineTimeOffset",
		"type this into the source's \"Engine Time Offset\" (engine time mode)");
	AddEvaluation("--timecode-frame-offset", "FRAMES", "BufferSettings.TimecodeFrameOffset",
		"type this into the source's \"Timecode Frame Offset\" (timecode mode)");
	AddEvaluation("--latest-offset", "N", "BufferSettings.LatestOffset",
		"type this into the source's \"Latest Offset\": frames before the newest (latest mode)");
	AddEvaluation("--max-buffered-frames", "N", "BufferSettings.MaxNumberOfFrameToBuffered",
		"type this into the source's \"Max Number of Frame to Buffered\" (default 10)");
	FramePerDatagram = App.add_flag("--frame-per-datagram")
						   ->description("tick the source's \"Frame per Datagram\": each camera datagram becomes a frame\n"
										 "of its own instead of one frame per tick")
						   ->disable_flag_override()
						   ->group(SourceGroup);
	App.add_option("--connection-string")
		->description("create the single source from a connection string instead of the panel\n(lens off, scene/take on, record off)")
		->type_name("A.B.C.D:PORT")
		->check(DottedQuad)
		->multi_option_policy(CLI::MultiOptionPolicy::TakeLast)
		->each([&OutOptions](const std::string& Text) { OutOptions.ConnectionString = Text; })
		->group(RunGroup);

	AddNumber(
		App, "--tick-hz", "HZ", "Live Link ticks per second (default 60)", "a rate above 0 and up to 1000",
		[](double Value) { return Value > 0.0 && Value <= 1000.0; }, [&OutOptions](double Value) { OutOptions.TickHz = Value; });
	AddNumber(
		App, "--duration", "SECONDS", "stop after this long (default: run until Ctrl-C or SIGTERM)", "a number of seconds",
		[](double Value) { return Value >= 0.0; }, [&OutOptions](double Value) { OutOptions.DurationSeconds = Value; });
	App.add_option_function<std::string>(
		   "--timecode-rate",
		   [&OutOptions](const std::string& Text) {
			   OutOptions.TimecodeRate = ParseRate(Text);
			   if (!OutOptions.TimecodeRate)
			   {
				   throw CLI::ValidationError(
					   "--timecode-rate takes N or N/D with both positive, such as 25 or 30000/1001, not '" + Text + "'");
			   }
		   },
		   "the engine timecode provider's frames per second (default 24)")
		->type_name("N[/D]")
		->group(RunGroup);
	App.add_flag(
		   "--no-timecode-provider", OutOptions.bNoTimecodeProvider, "run the engine without a timecode provider (no engine timecode)")
		->disable_flag_override()
		->group(RunGroup);
	App.add_flag("--no-take-recorder")
		->description("do not open the Take Recorder panel")
		->disable_flag_override()
		->each([&OutOptions](const std::string&) { OutOptions.bTakeRecorder = false; })
		->group(RunGroup);
	App.add_flag("--take-recorder-refuses", OutOptions.bTakeRecorderRefuses,
		   "Take Recorder refuses every start (as with no sources, or a take under review)")
		->disable_flag_override()
		->group(RunGroup);
	AddNumber(
		App, "--take-recorder-countdown", "SECONDS", "Take Recorder counts down this long, in ticks, before a take starts (default 0)",
		"a number of seconds from 0 to 3600", [](double Value) { return Value >= 0.0 && Value <= 3600.0; },
		[&OutOptions](double Value) { OutOptions.TakeRecorderCountdownSeconds = Value; });
	App.add_flag("--demo", OutOptions.bDemo,
		   "also stream demo cameras from inside the host, one to each of two sources\n"
		   "(a second source is added next to the first when only one is given)")
		->disable_flag_override()
		->group(RunGroup);
	AddNumber(
		App, "--demo-toggle", "SECONDS", "the first demo camera starts and stops recording this often (default 4)",
		"a positive number of seconds", [](double Value) { return Value > 0.0; },
		[&OutOptions](double Value) { OutOptions.DemoToggleSeconds = Value; });
	Outputs[App.add_flag("--live")->description("live view (default on a terminal)")->disable_flag_override()->group(RunGroup)] =
		EHostOutput::Live;
	Outputs[App.add_flag("--jsonl")->description("one JSON object per line")->disable_flag_override()->group(RunGroup)] =
		EHostOutput::JsonLines;
	Outputs[App.add_flag("--plain")->description("plain status lines (default otherwise)")->disable_flag_override()->group(RunGroup)] =
		EHostOutput::Plain;

	Settings = App.add_subcommand("settings", "list the project settings of the plug-in, or change one with: settings set KEY VALUE");
	Settings->fallthrough();
	SettingsSet = Settings->add_subcommand("set", "change one setting");
	SettingsSet->fallthrough();
	SettingsSet->add_option("KEY", SettingKey, "the setting's name");
	SettingsSet->add_option("VALUE", SettingValue, "its new value, as the settings file writes it");
}

/** Hands each per-source option to the source it follows, in command-line order. */
void GatherSources(const FHostCommandLine& CommandLine, FHostOptions& OutOptions)
{
	OutOptions.Sources.assign(1, FHostSourceOptions());
	bool bEndpointGiven = false;
	std::map<const CLI::Option*, size_t> Occurrences;
	for (const CLI::Option* Option : CommandLine.App.parse_order())
	{
		const size_t Occurrence = Occurrences[Option]++;
		const auto Value = [&] { return Option->results().at(Occurrence); };
		FHostSourceOptions& Current = OutOptions.Sources.back();
		if (Option == CommandLine.Endpoint)
		{
			if (bEndpointGiven)
			{
				OutOptions.Sources.emplace_back();
			}
			bEndpointGiven = true;
			OutOptions.Sources.back().Endpoint = Value();
		}
		else if (const auto Box = CommandLine.Boxes.find(Option); Box != CommandLine.Boxes.end())
		{
			Current.*(Box->second.first) = Box->second.second;
		}
		else if (Option == CommandLine.SubjectName)
		{
			Current.SubjectName = Value();
		}
		else if (Option == CommandLine.AcceptFrom)
		{
			Current.AcceptFrom = Value();
		}
		else if (Option == CommandLine.Capture)
		{
			Current.bCapture = true;
		}
		else if (const auto Evaluation = CommandLine.EvaluationOptions.find(Option); Evaluation != CommandLine.EvaluationOptions.end())
		{
			Current.EvaluationEdits.push_back(FHostDetailEdit{Option->get_name(), Evaluation->second, Value()});
		}
		else if (Option == CommandLine.FramePerDatagram)
		{
			Current.bFramePerDatagram = true;
		}
		else if (const auto Output = CommandLine.Outputs.find(Option); Output != CommandLine.Outputs.end())
		{
			OutOptions.Output = Output->second;
		}
	}
}
} // namespace

bool ParseHostOptions(const std::vector<std::string>& Arguments, FHostOptions& OutOptions, std::string& OutError)
{
	FHostOptions Options;
	FHostCommandLine CommandLine(Options);
	try
	{
		// CLI11 takes the arguments last first.
		CommandLine.App.parse(std::vector<std::string>(Arguments.rbegin(), Arguments.rend()));
	}
	catch (const CLI::CallForHelp&)
	{
		Options.bHelp = true;
		OutOptions = Options;
		return true;
	}
	catch (const CLI::ParseError& Error)
	{
		OutError = TavrixSend::DescribeParseError(CommandLine.App, Error, Arguments);
		return false;
	}
	GatherSources(CommandLine, Options);

	Options.bSettingsCommand = CommandLine.Settings->parsed();
	if (CommandLine.SettingsSet->parsed())
	{
		if (CommandLine.SettingsSet->count("KEY") == 0 || CommandLine.SettingsSet->count("VALUE") == 0)
		{
			OutError = "settings set needs a KEY and a VALUE";
			return false;
		}
		Options.SettingToSet = std::make_pair(CommandLine.SettingKey, CommandLine.SettingValue);
	}
	if (Options.ConnectionString)
	{
		const FHostSourceOptions& Only = Options.Sources.front();
		if (Options.Sources.size() > 1 || Only.Endpoint || Only.bAutoLens || Only.bAutoSceneTake || Only.bAutoRecord)
		{
			OutError = "--connection-string creates the source without the panel: it cannot be combined with --endpoint or the "
					   "--[no-]auto-* options";
			return false;
		}
	}
	OutOptions = Options;
	return true;
}

std::string GetHostUsage()
{
	FHostOptions Unused;
	return FHostCommandLine(Unused).App.help();
}
