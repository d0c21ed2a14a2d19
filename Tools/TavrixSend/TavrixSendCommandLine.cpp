#include "TavrixSendCommandLine.h"

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

struct FOptionEntry
{
	std::string_view Name;
	bool bTakesValue;
	/** Shapes the made-up camera, so it means nothing to a replay. */
	bool bShapesCamera;
};

// clang-format off
constexpr std::array OptionEntries{
	FOptionEntry{"--endpoint", true, false},
	FOptionEntry{"--rate", true, false},
	FOptionEntry{"--duration", true, false},
	FOptionEntry{"--count", true, false},
	FOptionEntry{"--motion", true, true},
	FOptionEntry{"--radius", true, true},
	FOptionEntry{"--orbit-seconds", true, true},
	FOptionEntry{"--lens", true, true},
	FOptionEntry{"--timecode-rate", true, true},
	FOptionEntry{"--start-frame", true, true},
	FOptionEntry{"--scene", true, true},
	FOptionEntry{"--take", true, true},
	FOptionEntry{"--first", true, true},
	FOptionEntry{"--record", true, true},
	FOptionEntry{"--version", true, true},
	FOptionEntry{"--quiet", false, false},
	FOptionEntry{"--replay", true, false},
	FOptionEntry{"--replay-pcap", true, false},
	FOptionEntry{"--speed", true, false},
	FOptionEntry{"--loop", false, false},
	FOptionEntry{"--filter", true, false},
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
	if (InName == "--motion")
	{
		const bool bValid = InValue == "static" || InValue == "orbit";
		Script.Motion = InValue == "static" ? ETavrixMotion::Static : ETavrixMotion::Orbit;
		return bValid ? "" : "static or orbit";
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
} // namespace

FTavrixSendCommandLine FTavrixSendCommandLine::Parse(std::span<const std::string_view> InArguments)
{
	FTavrixSendCommandLine Result;
	std::vector<std::string_view> Given;
	std::string_view FirstCameraOption;
	for (size_t Index = 0; Index < InArguments.size(); ++Index)
	{
		const std::string_view Argument = InArguments[Index];
		if (Argument == "--help" || Argument == "-h")
		{
			Result.Action = ETavrixCommandLineAction::ShowHelp;
			return Result;
		}
		const size_t Equals = Argument.find('=');
		const std::string_view Name = Argument.substr(0, Equals);
		const auto Entry =
			std::find_if(OptionEntries.begin(), OptionEntries.end(), [Name](const FOptionEntry& InEntry) { return InEntry.Name == Name; });
		if (Entry == OptionEntries.end())
		{
			return Reject(Argument.starts_with("-") ? "unknown option '" + std::string(Name) + "'"
													: "unexpected argument '" + std::string(Argument) + "'");
		}
		if (std::find(Given.begin(), Given.end(), Name) != Given.end())
		{
			return Reject(std::string(Name) + " given more than once");
		}
		Given.push_back(Name);
		if (Entry->bShapesCamera && FirstCameraOption.empty())
		{
			FirstCameraOption = Name;
		}

		std::string_view Value;
		if (!Entry->bTakesValue)
		{
			if (Equals != std::string_view::npos)
			{
				return Reject(std::string(Name) + " takes no value");
			}
			if (Name == "--loop")
			{
				Result.Options.bCaptureLoop = true;
			}
			else
			{
				Result.Options.bQuiet = true;
			}
			continue;
		}
		if (Equals != std::string_view::npos)
		{
			Value = Argument.substr(Equals + 1);
		}
		else if (Index + 1 < InArguments.size())
		{
			Value = InArguments[++Index];
		}
		else
		{
			return Reject(std::string(Name) + " needs a value");
		}
		const std::string_view Expected = ApplyOption(Name, Value, Result.Options);
		if (!Expected.empty())
		{
			return Reject("invalid " + std::string(Name) + " '" + std::string(Value) + "': expected " + std::string(Expected));
		}
	}

	if (Result.Options.Pacing.MaxDuration && Result.Options.Pacing.MaxSends != 0)
	{
		return Reject("--duration and --count cannot be combined");
	}
	if (Result.Options.ReplayPath && !FirstCameraOption.empty())
	{
		return Reject("--replay sends the file as it is and cannot be combined with " + std::string(FirstCameraOption));
	}
	const auto WasGiven = [&Given](std::string_view InName) { return std::find(Given.begin(), Given.end(), InName) != Given.end(); };
	if (Result.Options.CapturePath)
	{
		if (Result.Options.ReplayPath)
		{
			return Reject("--replay-pcap and --replay cannot be combined");
		}
		if (!FirstCameraOption.empty())
		{
			return Reject(
				"--replay-pcap sends the captured datagrams as they are and cannot be combined with " + std::string(FirstCameraOption));
		}
		if (WasGiven("--rate"))
		{
			return Reject("--replay-pcap keeps the capture's own pace and cannot be combined with --rate; use --speed");
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

std::string_view FTavrixSendCommandLine::GetUsage()
{
	return R"(Usage: tavrix-send [options]
Streams camera messages over UDP to a TavrixLiveLink source, for trying it without the camera application.

Destination and pacing:
  --endpoint A.B.C.D:PORT   where to send (default 127.0.0.1:9001)
  --rate HZ                 messages per second, at most 10000 (default 25)
  --duration SECONDS        stop after this long
  --count N                 stop after N messages
                            without either, run until interrupted (Ctrl+C or SIGTERM)
  --quiet                   no summary line at the end

Camera:
  --motion static|orbit     orbit: circle the origin 150 cm above it, looking at it;
                            static: hold the first pose of that orbit (default orbit)
  --radius CM               radius of the orbit (default 300)
  --orbit-seconds S         time for one turn (default 10)
  --lens FOCAL,FOCUS,ASPECT,FOV
                            lens values (default 35,300,1.7777777777777777,54.43)
  --timecode-rate NUM/DEN   timecode frames per second as a fraction, such as 25/1 or
                            30000/1001; DEN 0 announces that no timecode is known (default 25/1)
  --start-frame N           timecode frame of the first message (default 0)
  --scene TEXT              scene name, any UTF-8 text (default "Scene 1")
  --take N                  take number (default 1)
  --first TEXT              first metadata text (default empty)
  --record on|off|toggle:SECONDS
                            record state (default off); toggle starts idle, switches every
                            SECONDS and announces the next take number with each new recording
  --version N               format version written in every message (default 1)

Crafted messages:
  --replay FILE             send each line of FILE as one datagram, verbatim without its line
                            feed (a carriage return before it is kept, an empty line is an empty
                            datagram), once through the file at --rate; not combined with the
                            camera options

Captured traffic:
  --replay-pcap FILE        send the UDP payloads of a capture (pcap or pcapng, as tcpdump or
                            Wireshark write them) at the pace they were captured, in order;
                            only UDP over IPv4 is sent, other packets and fragmented datagrams are
                            skipped and counted; link types: Ethernet (with VLAN tags), Linux
                            cooked (SLL, SLL2), raw IP, BSD loopback; --count and --duration
                            bound it; not combined with --replay, --rate or the camera options
  --speed X                 play X times as fast, X more than 0 (default 1; 0.5 is half speed)
  --loop                    start over after the last datagram, the pace running on as if the
                            capture repeated (one mean gap between passes); until interrupted,
                            --count or --duration
  --filter EXPR             replay only the packets matching EXPR, in tcpdump's filter language,
                            such as "udp port 9001" or "udp and src host 10.0.0.5"

  --help                    show this text

Exit status: 0 when done or interrupted, 1 when the file or the socket failed or sending kept
failing, 2 for bad arguments (a --filter that does not compile included), 3 when the capture
cannot be replayed: unreadable, an unsupported link type, or no UDP datagram over IPv4 in it
(after the filter).
)";
}
} // namespace TavrixSend
