#pragma once

#include <optional>
#include <string>
#include <utility>
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

/** One value typed into a source's details: the property's name there and the text, with the switch that asked. */
struct FHostDetailEdit
{
	std::string Switch;
	std::string Property;
	std::string Text;

	bool operator==(const FHostDetailEdit& Other) const = default;
};

/**
 * One source to add, as a user adds it: what is typed into its creation panel, then into its details once it is in
 * Live Link. Unset values leave what the panel or the details start with.
 */
struct FHostSourceOptions
{
	/** Typed into the creation panel's endpoint entry; unset keeps the panel's initial text. */
	std::optional<std::string> Endpoint;
	/** Ticks or clears the panel's boxes; unset keeps the initial state from the project settings. */
	std::optional<bool> bAutoLens;
	std::optional<bool> bAutoSceneTake;
	std::optional<bool> bAutoRecord;
	/** Typed into the source's details: the name its subject is published under. */
	std::optional<std::string> SubjectName;
	/** Typed into the source's details: the senders whose datagrams it takes. */
	std::optional<std::string> AcceptFrom;
	/** Ticks the source's "Capture Raw Datagrams" once it is added. */
	bool bCapture = false;
	/** Typed into the engine's part of the source's details (evaluation mode, buffer offsets), in command-line order. */
	std::vector<FHostDetailEdit> EvaluationEdits;
	/** Ticks the source's "Frame per Datagram" once it is added. */
	bool bFramePerDatagram = false;

	bool operator==(const FHostSourceOptions& Other) const = default;
};

/** The command line of tavrix-host. */
struct FHostOptions
{
	std::string ProjectDir = ".";

	/** "settings" sub-command: list, or set Key to Value. */
	bool bSettingsCommand = false;
	std::optional<std::pair<std::string, std::string>> SettingToSet;

	/**
	 * The sources, one creation panel each, in the order they are added; never empty. Each --endpoint after the first
	 * starts another; the per-source options apply to the latest one, those before any --endpoint to the first.
	 */
	std::vector<FHostSourceOptions> Sources = std::vector<FHostSourceOptions>(1);
	/** Creates the (single) source through the factory's connection-string route instead of the panel. */
	std::optional<std::string> ConnectionString;

	double TickHz = 60.0;
	/** The rate of the engine's timecode provider, numerator and denominator; unset keeps the provider's. */
	std::optional<std::pair<int, int>> TimecodeRate;
	/** Runs the engine without a timecode provider: the engine timecode is then invalid. */
	bool bNoTimecodeProvider = false;
	std::optional<double> DurationSeconds;
	bool bTakeRecorder = true;
	/** Makes Take Recorder refuse every start, as the editor's does without sources or with a take under review. */
	bool bTakeRecorderRefuses = false;
	/** Seconds Take Recorder counts down, in Live Link ticks, before a take really starts; 0 starts at once. */
	double TakeRecorderCountdownSeconds = 0.0;
	bool bDemo = false;
	/** Seconds between record toggles of the demo senders. */
	double DemoToggleSeconds = 4.0;
	EHostOutput Output = EHostOutput::Automatic;
	bool bHelp = false;
};

/** Parses the arguments (without the program name). False with OutError saying what is wrong. */
bool ParseHostOptions(const std::vector<std::string>& Arguments, FHostOptions& OutOptions, std::string& OutError);

/** The usage text, ending with a line feed. */
std::string GetHostUsage();
