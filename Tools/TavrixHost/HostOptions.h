#pragma once

#include <optional>
#include <string>
#include <vector>

/** How the host shows what happens. */
enum class EHostOutput
{
	/** The live view when standard output is a terminal, plain status lines otherwise. */
	Automatic,
	Live,
	JsonLines,
	Plain,
};

/** The command line of tavrix-host. */
struct FHostOptions
{
	std::string ProjectDir = ".";

	/** "settings" sub-command: list, or set Key to Value. */
	bool bSettingsCommand = false;
	std::optional<std::pair<std::string, std::string>> SettingToSet;

	/** Typed into the creation panel's endpoint entry; unset keeps the panel's initial text. */
	std::optional<std::string> Endpoint;
	/** Ticks or clears the panel's boxes; unset keeps the initial state from the project settings. */
	std::optional<bool> bAutoLens;
	std::optional<bool> bAutoSceneTake;
	std::optional<bool> bAutoRecord;
	/** Creates the source through the factory's connection-string route instead of the panel. */
	std::optional<std::string> ConnectionString;

	double TickHz = 60.0;
	std::optional<double> DurationSeconds;
	bool bTakeRecorder = true;
	/** Makes Take Recorder refuse every start, as the editor's does without sources or with a take under review. */
	bool bTakeRecorderRefuses = false;
	/** Seconds Take Recorder counts down, in Live Link ticks, before a take really starts; 0 starts at once. */
	double TakeRecorderCountdownSeconds = 0.0;
	/** Ticks the source's "Capture Raw Datagrams" once it is added, as a user would in its details. */
	bool bCapture = false;
	/** Typed into the source's "Accepted Senders" once it is added, as a user would in its details. */
	std::optional<std::string> AcceptFrom;
	bool bDemo = false;
	/** Seconds between record toggles of the demo sender. */
	double DemoToggleSeconds = 4.0;
	EHostOutput Output = EHostOutput::Automatic;
	bool bHelp = false;
};

/** Parses the arguments (without the program name). False with OutError saying what is wrong. */
bool ParseHostOptions(const std::vector<std::string>& Arguments, FHostOptions& OutOptions, std::string& OutError);

/** The usage text, ending with a line feed. */
std::string GetHostUsage();
