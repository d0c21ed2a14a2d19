#include "TavrixSendCommandLine.h"

#include "TavrixCommandLineErrors.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <vector>

namespace TavrixSend
{
namespace
{
constexpr double MaxRateHz = 10000.0;
constexpr double MaxSeconds = 1e9;
constexpr double MaxRadius = 1e7;
constexpr double MaxRampSpeed = 1e6;
constexpr double MaxJitterMs = 1000.0;
constexpr int32_t SecondsPerDay = 86400;

struct FOptionEntry
{
	std::string_view Name;
	/** What the value looks like in the help; empty for a switch. */
	std::string_view ValueName;
	std::string_view Group;
	std::string_view Description;
	/** Shapes the made-up camera, so it means nothing to a replay. */
	bool bShapesCamera = false;
};

constexpr std::string_view PacingGroup = "Destination and pacing";
constexpr std::string_view CameraGroup = "Camera";
constexpr std::string_view CraftedGroup = "Crafted messages";
constexpr std::string_view CapturedGroup = "Captured traffic";

// clang-format off
constexpr std::array OptionEntries{
	FOptionEntry{"--endpoint", "A.B.C.D:PORT", PacingGroup, "where to send (default 127.0.0.1:9001)"},
	FOptionEntry{"--multicast-ttl", "N", PacingGroup,
		"for a group endpoint (224.0.0.0 to 239.255.255.255): router hops\nthe datagrams may cross, 0-255; 0 keeps them on this machine\n(default 1, the local network)"},
	FOptionEntry{"--multicast-interface", "A.B.C.D", PacingGroup,
		"for a group endpoint: address of the interface to send from\n(default: the system's choice by its routes); members on this\nmachine always get the datagrams too"},
	FOptionEntry{"--rate", "HZ", PacingGroup, "messages per second, at most 10000 (default 25)"},
	FOptionEntry{"--duration", "SECONDS", PacingGroup, "stop after this long"},
	FOptionEntry{"--count", "N", PacingGroup, "stop after N messages\nwithout either, run until interrupted (Ctrl+C or SIGTERM)"},
	FOptionEntry{"--quiet", "", PacingGroup, "no summary line at the end"},
	FOptionEntry{"--jitter", "MS", PacingGroup,
		"hold each message for a random time from 0 to MS milliseconds\n(uniform) after it is built and before it is sent, so arrivals\n"
		"scatter by MS/2 either side; timecode and pose stay those of the\nbuild; 0-1000 (default 0)"},
	FOptionEntry{"--log-sends", "FILE", CameraGroup,
		"write a line per message: timecode frame, time of day read for it\n(s), monotonic clock (s) after building it and after sending it,\n"
		"1 if sent or 0 if the send failed",
		true},
	FOptionEntry{"--motion", "static|orbit|ramp", CameraGroup,
		"orbit: circle the origin 150 cm above it, looking at it;\nstatic: hold the first pose of that orbit;\nramp: slide along X "
		"with the local time of day t (seconds since\nmidnight): X = SPEED * (t mod PERIOD) cm, Y = Z = 0, no rotation,\nscale 1; t "
		"is read once per message as it is sent, and with\n--timecode clock it is the start of the message's frame,\nFRAME * DEN / "
		"NUM (default orbit)",
		true},
	FOptionEntry{"--radius", "CM", CameraGroup, "radius of the orbit (default 300)", true},
	FOptionEntry{"--orbit-seconds", "S", CameraGroup, "time for one turn (default 10)", true},
	FOptionEntry{"--ramp-speed", "CM_PER_S", CameraGroup, "SPEED of the ramp, -1000000 to 1000000 (default 100)", true},
	FOptionEntry{"--ramp-period", "SECONDS", CameraGroup,
		"PERIOD of the ramp, whole seconds dividing 86400 (default 60):\nX starts over from 0 at every multiple of it", true},
	FOptionEntry{"--lens", "FOCAL,FOCUS,ASPECT,FOV", CameraGroup, "lens values (default 35,300,1.7777777777777777,54.43)", true},
	FOptionEntry{"--timecode", "count|clock", CameraGroup,
		"count: frames from --start-frame at the start; clock: the frame of\nthe local time of day when each message is sent, "
		"floor(t * NUM /\nDEN), 0 again at midnight (default count)",
		true},
	FOptionEntry{"--timecode-rate", "NUM/DEN", CameraGroup,
		"timecode frames per second as a fraction, such as 25/1 or\n30000/1001; DEN 0 announces that no timecode is known (default 25/1)",
		true},
	FOptionEntry{"--start-frame", "N", CameraGroup, "timecode frame of the first message (default 0)", true},
	FOptionEntry{"--scene", "TEXT", CameraGroup, "scene name, any UTF-8 text (default \"Scene 1\")", true},
	FOptionEntry{"--take", "N", CameraGroup, "take number (default 1)", true},
	FOptionEntry{"--first", "TEXT", CameraGroup, "first metadata text (default empty)", true},
	FOptionEntry{"--record", "on|off|toggle:SECONDS", CameraGroup,
		"record state (default off); toggle starts idle, switches every\nSECONDS and announces the next take number with each new "
		"recording", true},
	FOptionEntry{"--version", "N", CameraGroup, "format version written in every message (default 1)", true},
	FOptionEntry{"--replay", "FILE", CraftedGroup,
		"send each line of FILE as one datagram, verbatim without its line\nfeed (a carriage return before it is kept, an empty line "
		"is an empty\ndatagram), once through the file at --rate; not combined with the\ncamera options"},
	FOptionEntry{"--replay-pcap", "FILE", CapturedGroup,
		"send the UDP payloads of a capture (pcap or pcapng, as tcpdump or\nWireshark write them) at the pace they were captured, in "
		"order;\nonly UDP over IPv4 is sent, other packets and fragmented datagrams are\nskipped and counted; link types: Ethernet "
		"(with VLAN tags), Linux\ncooked (SLL, SLL2), raw IP, BSD loopback; --count and --duration\nbound it; not combined with "
		"--replay, --rate or the camera options"},
	FOptionEntry{"--speed", "X", CapturedGroup, "play X times as fast, X more than 0 (default 1; 0.5 is half speed)"},
	FOptionEntry{"--loop", "", CapturedGroup,
		"start over after the last datagram, the pace running on as if the\ncapture repeated (one mean gap between passes); until "
		"interrupted,\n--count or --duration"},
	FOptionEntry{"--filter", "EXPR", CapturedGroup,
		"replay only the packets matching EXPR, in tcpdump's filter language,\nsuch as \"udp port 9001\" or \"udp and src host "
		"10.0.0.5\""},
};
// clang-format on

/** A finite decimal number that fills InText completely: no sign '+', no white space, no "inf" or "nan". */
std::optional<double> ParseDecimal(std::string_view InText)
{
	double Value = 0.0;
	const std::from_chars_result Result = std::from_chars(InText.data(), InText.data() + InText.size(), Value);
	if (InText.empty() || Result.ec != std::errc() || Result.ptr != InText.data() + InText.size() || !std::isfinite(Value))
	{
		return std::nullopt;
	}
	return Value;
}

/** A decimal integer in [InMin, InMax] that fills InText completely. */
template <typename T> std::optional<T> ParseInteger(std::string_view InText, T InMin, T InMax)
{
	T Value{};
	const std::from_chars_result Result = std::from_chars(InText.data(), InText.data() + InText.size(), Value);
	if (InText.empty() || Result.ec != std::errc() || Result.ptr != InText.data() + InText.size() || Value < InMin || Value > InMax)
	{
		return std::nullopt;
	}
	return Value;
}

std::optional<FTavrixDuration> ParseSeconds(std::string_view InText)
{
	const std::optional<double> Seconds = ParseDecimal(InText);
	if (!Seconds || *Seconds <= 0.0 || *Seconds > MaxSeconds)
	{
		return std::nullopt;
	}
	return FTavrixDuration(std::max<int64_t>(1, std::llround(*Seconds * 1e9)));
}

std::optional<FTavrixFrameRate> ParseFrameRate(std::string_view InText)
{
	const size_t Slash = InText.find('/');
	if (Slash == std::string_view::npos)
	{
		return std::nullopt;
	}
	constexpr int32_t Max = std::numeric_limits<int32_t>::max();
	const std::optional<int32_t> Numerator = ParseInteger<int32_t>(InText.substr(0, Slash), 1, Max);
	const std::optional<int32_t> Denominator = ParseInteger<int32_t>(InText.substr(Slash + 1), 0, Max);
	if (!Numerator || !Denominator)
	{
		return std::nullopt;
	}
	return FTavrixFrameRate{*Numerator, *Denominator};
}

std::optional<std::array<double, 4>> ParseLens(std::string_view InText)
{
	std::array<double, 4> Lens{};
	for (size_t Index = 0; Index < Lens.size(); ++Index)
	{
		const bool bLast = Index + 1 == Lens.size();
		const size_t Comma = InText.find(',');
		if (bLast != (Comma == std::string_view::npos))
		{
			return std::nullopt;
		}
		const std::optional<double> Value = ParseDecimal(InText.substr(0, Comma));
		if (!Value)
		{
			return std::nullopt;
		}
		Lens[Index] = *Value;
		InText.remove_prefix(bLast ? InText.size() : Comma + 1);
	}
	return Lens;
}

std::optional<FTavrixRecordPlan> ParseRecord(std::string_view InText, FTavrixRecordPlan InPlan)
{
	constexpr std::string_view TogglePrefix = "toggle:";
	if (InText == "on" || InText == "off")
	{
		InPlan.Mode = InText == "on" ? ETavrixRecordMode::On : ETavrixRecordMode::Off;
		return InPlan;
	}
	if (InText.starts_with(TogglePrefix))
	{
		if (const std::optional<FTavrixDuration> Period = ParseSeconds(InText.substr(TogglePrefix.size())))
		{
			InPlan.Mode = ETavrixRecordMode::Toggle;
			InPlan.TogglePeriod = *Period;
			return InPlan;
		}
	}
	return std::nullopt;
}

/** Stores one option's value; returns what the value should have been when it is not acceptable. */
std::string_view ApplyOption(std::string_view InName, std::string_view InValue, FTavrixSendOptions& Options)
{
	FTavrixCameraScript& Script = Options.Script;
	constexpr int32_t MaxInt32 = std::numeric_limits<int32_t>::max();
	constexpr int32_t MinInt32 = std::numeric_limits<int32_t>::min();
	if (InName == "--endpoint")
	{
		const std::optional<FTavrixEndpoint> Endpoint = FTavrixEndpoint::Parse(InValue);
		Options.Endpoint = Endpoint.value_or(Options.Endpoint);
		return Endpoint ? "" : "an IPv4 address and port as A.B.C.D:PORT, decimal, port 1-65535";
	}
	if (InName == "--multicast-ttl")
	{
		const std::optional<uint8_t> TimeToLive = ParseInteger<uint8_t>(InValue, 0, 255);
		Options.Multicast.TimeToLive = TimeToLive.value_or(Options.Multicast.TimeToLive);
		return TimeToLive ? "" : "a whole number of hops, 0-255";
	}
	if (InName == "--multicast-interface")
	{
		const std::optional<uint32_t> Interface = ParseIPv4Address(InValue);
		Options.Multicast.Interface = Interface ? Interface : Options.Multicast.Interface;
		return Interface ? "" : "the IPv4 address of an interface of this machine as A.B.C.D, decimal";
	}
	if (InName == "--rate")
	{
		const std::optional<double> Rate = ParseDecimal(InValue);
		const bool bValid = Rate && *Rate > 0.0 && *Rate <= MaxRateHz;
		Options.Pacing.RateHz = bValid ? *Rate : Options.Pacing.RateHz;
		return bValid ? "" : "messages per second, more than 0 and at most 10000";
	}
	if (InName == "--duration")
	{
		Options.Pacing.MaxDuration = ParseSeconds(InValue);
		return Options.Pacing.MaxDuration ? "" : "seconds, more than 0";
	}
	if (InName == "--count")
	{
		const std::optional<uint64_t> Count = ParseInteger<uint64_t>(InValue, 1, std::numeric_limits<uint64_t>::max());
		Options.Pacing.MaxSends = Count.value_or(0);
		return Count ? "" : "a whole number of messages, at least 1";
	}
	if (InName == "--jitter")
	{
		const std::optional<double> Milliseconds = ParseDecimal(InValue);
		const bool bValid = Milliseconds && *Milliseconds >= 0.0 && *Milliseconds <= MaxJitterMs;
		Options.JitterMax = bValid ? FTavrixDuration(std::llround(*Milliseconds * 1e6)) : Options.JitterMax;
		return bValid ? "" : "milliseconds, from 0 to 1000";
	}
	if (InName == "--log-sends")
	{
		Options.SendLogPath = std::string(InValue);
		return InValue.empty() ? "a file name" : "";
	}
	if (InName == "--motion")
	{
		const bool bValid = InValue == "static" || InValue == "orbit" || InValue == "ramp";
		Script.Motion = InValue == "static" ? ETavrixMotion::Static : InValue == "ramp" ? ETavrixMotion::Ramp : ETavrixMotion::Orbit;
		return bValid ? "" : "static, orbit or ramp";
	}
	if (InName == "--ramp-speed")
	{
		const std::optional<double> Speed = ParseDecimal(InValue);
		const bool bValid = Speed && std::abs(*Speed) <= MaxRampSpeed;
		Script.Ramp.SpeedCmPerSecond = bValid ? *Speed : Script.Ramp.SpeedCmPerSecond;
		return bValid ? "" : "centimetres per second, from -1000000 to 1000000";
	}
	if (InName == "--ramp-period")
	{
		const std::optional<int32_t> Period = ParseInteger<int32_t>(InValue, 1, SecondsPerDay);
		const bool bValid = Period && SecondsPerDay % *Period == 0;
		Script.Ramp.PeriodSeconds = bValid ? *Period : Script.Ramp.PeriodSeconds;
		return bValid ? "" : "a whole number of seconds that divides 86400, such as 60, 3600 or 86400";
	}
	if (InName == "--timecode")
	{
		const bool bValid = InValue == "count" || InValue == "clock";
		Script.Timecode = InValue == "clock" ? ETavrixTimecodeSource::Clock : ETavrixTimecodeSource::Count;
		return bValid ? "" : "count or clock";
	}
	if (InName == "--radius")
	{
		const std::optional<double> Radius = ParseDecimal(InValue);
		const bool bValid = Radius && *Radius >= 0.0 && *Radius <= MaxRadius;
		Script.Orbit.Radius = bValid ? *Radius : Script.Orbit.Radius;
		return bValid ? "" : "centimetres, at least 0 and at most 10000000";
	}
	if (InName == "--orbit-seconds")
	{
		const std::optional<FTavrixDuration> Period = ParseSeconds(InValue);
		Script.Orbit.PeriodSeconds = Period ? std::chrono::duration<double>(*Period).count() : Script.Orbit.PeriodSeconds;
		return Period ? "" : "seconds per turn, more than 0";
	}
	if (InName == "--lens")
	{
		const std::optional<std::array<double, 4>> Lens = ParseLens(InValue);
		Script.Lens = Lens.value_or(Script.Lens);
		return Lens ? "" : "four numbers FOCAL,FOCUS,ASPECT,FOV separated by commas";
	}
	if (InName == "--timecode-rate")
	{
		const std::optional<FTavrixFrameRate> Rate = ParseFrameRate(InValue);
		Script.FrameRate = Rate.value_or(Script.FrameRate);
		return Rate ? "" : "NUM/DEN with NUM 1-2147483647 and DEN 0-2147483647";
	}
	if (InName == "--start-frame")
	{
		const std::optional<int32_t> Frame = ParseInteger<int32_t>(InValue, MinInt32, MaxInt32);
		Script.StartFrame = Frame.value_or(Script.StartFrame);
		return Frame ? "" : "a whole frame number that fits in 32 signed bits";
	}
	if (InName == "--scene")
	{
		Script.Scene = InValue;
		return "";
	}
	if (InName == "--take")
	{
		const std::optional<int32_t> Take = ParseInteger<int32_t>(InValue, 0, MaxInt32);
		Script.Record.FirstTake = Take.value_or(Script.Record.FirstTake);
		return Take ? "" : "a whole take number, 0-2147483647";
	}
	if (InName == "--first")
	{
		Script.FirstText = InValue;
		return "";
	}
	if (InName == "--record")
	{
		const std::optional<FTavrixRecordPlan> Plan = ParseRecord(InValue, Script.Record);
		Script.Record = Plan.value_or(Script.Record);
		return Plan ? "" : "on, off or toggle:SECONDS with SECONDS more than 0";
	}
	if (InName == "--version")
	{
		const std::optional<int32_t> Version = ParseInteger<int32_t>(InValue, MinInt32, MaxInt32);
		Script.Version = Version.value_or(Script.Version);
		return Version ? "" : "a whole number that fits in 32 signed bits";
	}
	if (InName == "--replay-pcap")
	{
		Options.CapturePath = std::string(InValue);
		return InValue.empty() ? "a capture file name" : "";
	}
	if (InName == "--speed")
	{
		const std::optional<double> Speed = ParseDecimal(InValue);
		const bool bValid = Speed && *Speed > 0.0;
		Options.CaptureSpeed = bValid ? *Speed : Options.CaptureSpeed;
		return bValid ? "" : "a number more than 0, such as 2 for twice as fast or 0.5 for half speed";
	}
	if (InName == "--filter")
	{
		Options.CaptureFilter = std::string(InValue);
		return InValue.empty() ? "an expression in tcpdump's filter language, such as \"udp port 9001\"" : "";
	}
	Options.ReplayPath = std::string(InValue);
	return InValue.empty() ? "a file name" : "";
}

FTavrixSendCommandLine Reject(std::string InError)
{
	FTavrixSendCommandLine Result;
	Result.Action = ETavrixCommandLineAction::Reject;
	Result.Error = std::move(InError);
	return Result;
}

/** The command line's options, each storing its value into OutOptions as it is read. */
void DefineOptions(CLI::App& App, FTavrixSendOptions& OutOptions)
{
	App.description("Streams camera messages over UDP to a TavrixLiveLink source, for trying it without the camera application.");
	App.footer(R"(Exit status: 0 when done or interrupted, 1 when the file or the socket failed or sending kept
failing, 2 for bad arguments (a --filter that does not compile included), 3 when the capture
cannot be replayed: unreadable, an unsupported link type, or no UDP datagram over IPv4 in it
(after the filter).)");
	App.get_formatter()->column_width(28);
	App.get_formatter()->label("OPTIONS", "options");
	// Repeats are refused with a sentence of our own once parsing is over.
	App.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
	for (const FOptionEntry& Entry : OptionEntries)
	{
		const std::string Name(Entry.Name);
		CLI::Option* Option = nullptr;
		if (Entry.ValueName.empty())
		{
			bool& bFlag = Name == "--loop" ? OutOptions.bCaptureLoop : OutOptions.bQuiet;
			Option = App.add_flag(Name, bFlag, std::string(Entry.Description))->disable_flag_override();
		}
		else
		{
			const auto Store = [Name, &OutOptions](const std::string& InValue) {
				const std::string_view Expected = ApplyOption(Name, InValue, OutOptions);
				if (!Expected.empty())
				{
					throw CLI::ValidationError("invalid " + Name + " '" + InValue + "': expected " + std::string(Expected));
				}
			};
			Option =
				App.add_option_function<std::string>(Name, Store, std::string(Entry.Description))->type_name(std::string(Entry.ValueName));
		}
		Option->group(std::string(Entry.Group));
	}
	App.set_help_flag("-h,--help", "show this text")->group("Help");
}
} // namespace

FTavrixSendCommandLine FTavrixSendCommandLine::Parse(std::span<const std::string_view> InArguments)
{
	FTavrixSendCommandLine Result;
	CLI::App App("", "tavrix-send");
	DefineOptions(App, Result.Options);
	const std::vector<std::string> Arguments(InArguments.begin(), InArguments.end());
	try
	{
		// CLI11 takes the arguments last first.
		App.parse(std::vector<std::string>(Arguments.rbegin(), Arguments.rend()));
	}
	catch (const CLI::CallForHelp&)
	{
		Result.Action = ETavrixCommandLineAction::ShowHelp;
		return Result;
	}
	catch (const CLI::ParseError& Error)
	{
		return Reject(DescribeParseError(App, Error, Arguments));
	}
	if (const std::string Repeated = FindRepeatedOption(App); !Repeated.empty())
	{
		return Reject(Repeated + " given more than once");
	}

	const auto WasGiven = [&App](std::string_view InName) { return App.count(std::string(InName)) > 0; };
	std::string FirstCameraOption;
	for (const CLI::Option* Option : App.parse_order())
	{
		const auto Entry = std::find_if(OptionEntries.begin(), OptionEntries.end(),
			[Option](const FOptionEntry& InEntry) { return InEntry.Name == Option->get_name(); });
		if (Entry != OptionEntries.end() && Entry->bShapesCamera)
		{
			FirstCameraOption = Option->get_name();
			break;
		}
	}
	const FTavrixSendOptions& Options = Result.Options;
	if (Options.Pacing.MaxDuration && Options.Pacing.MaxSends != 0)
	{
		return Reject("--duration and --count cannot be combined");
	}
	if (!Options.Endpoint.IsMulticast())
	{
		for (const std::string_view MulticastOption : {"--multicast-ttl", "--multicast-interface"})
		{
			if (WasGiven(MulticastOption))
			{
				return Reject(std::string(MulticastOption) + " applies only to a group --endpoint (224.0.0.0 to 239.255.255.255)");
			}
		}
	}
	if (Options.Script.Timecode == ETavrixTimecodeSource::Clock)
	{
		if (WasGiven("--start-frame"))
		{
			return Reject("--start-frame applies only to --timecode count; the clock's frame comes from the time of day");
		}
		if (Options.Script.FrameRate.Denominator == 0)
		{
			return Reject("--timecode clock needs a known rate: --timecode-rate with a DEN of 0 announces none");
		}
	}
	if (Options.Script.Motion != ETavrixMotion::Ramp)
	{
		for (const std::string_view RampOption : {"--ramp-speed", "--ramp-period"})
		{
			if (WasGiven(RampOption))
			{
				return Reject(std::string(RampOption) + " applies only to --motion ramp");
			}
		}
	}
	if (Options.ReplayPath && !FirstCameraOption.empty())
	{
		return Reject("--replay sends the file as it is and cannot be combined with " + FirstCameraOption);
	}
	if (Options.CapturePath)
	{
		if (Options.ReplayPath)
		{
			return Reject("--replay-pcap and --replay cannot be combined");
		}
		if (!FirstCameraOption.empty())
		{
			return Reject("--replay-pcap sends the captured datagrams as they are and cannot be combined with " + FirstCameraOption);
		}
		for (const std::string_view PacedOption : {"--rate", "--jitter"})
		{
			if (WasGiven(PacedOption))
			{
				return Reject("--replay-pcap keeps the capture's own pace and cannot be combined with " + std::string(PacedOption) +
					(PacedOption == "--rate" ? "; use --speed" : ""));
			}
		}
	}
	else
	{
		for (const std::string_view CaptureOption : {"--speed", "--loop", "--filter"})
		{
			if (WasGiven(CaptureOption))
			{
				return Reject(std::string(CaptureOption) + " applies only to --replay-pcap");
			}
		}
	}
	return Result;
}

std::string FTavrixSendCommandLine::GetUsage()
{
	FTavrixSendOptions Unused;
	CLI::App App("", "tavrix-send");
	DefineOptions(App, Unused);
	return App.help();
}
} // namespace TavrixSend
