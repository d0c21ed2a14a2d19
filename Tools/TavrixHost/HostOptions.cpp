#include "HostOptions.h"

#include "TavrixUdpSocket.h"

#include <charconv>
#include <cmath>

namespace
{
bool ParseDouble(const std::string& Text, double& OutValue)
{
	const std::from_chars_result Result = std::from_chars(Text.data(), Text.data() + Text.size(), OutValue);
	return Result.ec == std::errc() && Result.ptr == Text.data() + Text.size() && std::isfinite(OutValue);
}
} // namespace

bool ParseHostOptions(const std::vector<std::string>& Arguments, FHostOptions& OutOptions, std::string& OutError)
{
	FHostOptions Options;
	for (size_t Index = 0; Index < Arguments.size(); ++Index)
	{
		const std::string& Argument = Arguments[Index];
		const auto NextValue = [&](std::string& OutValue) -> bool {
			if (Index + 1 >= Arguments.size())
			{
				OutError = Argument + " needs a value";
				return false;
			}
			OutValue = Arguments[++Index];
			return true;
		};
		std::string Value;

		if (Argument == "--help" || Argument == "-h")
		{
			Options.bHelp = true;
		}
		else if (Argument == "settings" && !Options.bSettingsCommand)
		{
			Options.bSettingsCommand = true;
			if (Index + 1 < Arguments.size() && Arguments[Index + 1] == "set")
			{
				if (Index + 3 >= Arguments.size())
				{
					OutError = "settings set needs a KEY and a VALUE";
					return false;
				}
				Options.SettingToSet = std::make_pair(Arguments[Index + 2], Arguments[Index + 3]);
				Index += 3;
			}
		}
		else if (Argument == "--project")
		{
			if (!NextValue(Options.ProjectDir))
			{
				return false;
			}
		}
		else if (Argument == "--endpoint" || Argument == "--connection-string")
		{
			if (!NextValue(Value))
			{
				return false;
			}
			// Strict on purpose: the panel reads the text with the engine's parser, which accepts more than a dotted quad.
			if (!TavrixSend::FTavrixEndpoint::Parse(Value))
			{
				OutError = Argument + " takes A.B.C.D:PORT (decimal octets 0-255, port 1-65535), not '" + Value + "'";
				return false;
			}
			(Argument == "--endpoint" ? Options.Endpoint : Options.ConnectionString) = Value;
		}
		else if (Argument == "--auto-lens" || Argument == "--no-auto-lens")
		{
			Options.bAutoLens = Argument == "--auto-lens";
		}
		else if (Argument == "--auto-scene-take" || Argument == "--no-auto-scene-take")
		{
			Options.bAutoSceneTake = Argument == "--auto-scene-take";
		}
		else if (Argument == "--auto-record" || Argument == "--no-auto-record")
		{
			Options.bAutoRecord = Argument == "--auto-record";
		}
		else if (Argument == "--tick-hz")
		{
			if (!NextValue(Value))
			{
				return false;
			}
			if (!ParseDouble(Value, Options.TickHz) || Options.TickHz <= 0.0 || Options.TickHz > 1000.0)
			{
				OutError = "--tick-hz takes a rate above 0 and up to 1000, not '" + Value + "'";
				return false;
			}
		}
		else if (Argument == "--duration")
		{
			double Seconds = 0.0;
			if (!NextValue(Value))
			{
				return false;
			}
			if (!ParseDouble(Value, Seconds) || Seconds < 0.0)
			{
				OutError = "--duration takes a number of seconds, not '" + Value + "'";
				return false;
			}
			Options.DurationSeconds = Seconds;
		}
		else if (Argument == "--demo-toggle")
		{
			if (!NextValue(Value))
			{
				return false;
			}
			if (!ParseDouble(Value, Options.DemoToggleSeconds) || Options.DemoToggleSeconds <= 0.0)
			{
				OutError = "--demo-toggle takes a positive number of seconds, not '" + Value + "'";
				return false;
			}
		}
		else if (Argument == "--no-take-recorder")
		{
			Options.bTakeRecorder = false;
		}
		else if (Argument == "--take-recorder-refuses")
		{
			Options.bTakeRecorderRefuses = true;
		}
		else if (Argument == "--take-recorder-countdown")
		{
			if (!NextValue(Value))
			{
				return false;
			}
			if (!ParseDouble(Value, Options.TakeRecorderCountdownSeconds) || Options.TakeRecorderCountdownSeconds < 0.0 ||
				Options.TakeRecorderCountdownSeconds > 3600.0)
			{
				OutError = "--take-recorder-countdown takes a number of seconds from 0 to 3600, not '" + Value + "'";
				return false;
			}
		}
		else if (Argument == "--demo")
		{
			Options.bDemo = true;
		}
		else if (Argument == "--capture")
		{
			Options.bCapture = true;
		}
		else if (Argument == "--accept-from")
		{
			// Not checked here: the source reads the text, and refuses it in its details, as it would a user's.
			Options.AcceptFrom.emplace();
			if (!NextValue(*Options.AcceptFrom))
			{
				return false;
			}
		}
		else if (Argument == "--jsonl")
		{
			Options.Output = EHostOutput::JsonLines;
		}
		else if (Argument == "--live")
		{
			Options.Output = EHostOutput::Live;
		}
		else if (Argument == "--plain")
		{
			Options.Output = EHostOutput::Plain;
		}
		else
		{
			OutError = "unknown argument '" + Argument + "'";
			return false;
		}
	}
	if (Options.ConnectionString && (Options.Endpoint || Options.bAutoLens || Options.bAutoSceneTake || Options.bAutoRecord))
	{
		OutError =
			"--connection-string creates the source without the panel: it cannot be combined with --endpoint or the --[no-]auto-* options";
		return false;
	}
	OutOptions = Options;
	return true;
}

std::string GetHostUsage()
{
	return R"(Usage:
  tavrix-host [--project DIR] [options]            run the editor host with one Tavrix Live Link source
  tavrix-host [--project DIR] settings             list the project settings of the plug-in
  tavrix-host [--project DIR] settings set KEY VALUE
                                                   change one setting (e.g. settings set bAutoRecord True)

The source is created as a user would create it: the factory's creation panel opens with the project settings,
the options below fill it in, and Ok is pressed.

Options:
  --project DIR               the project folder: Config/DefaultGame.ini, Saved/Takes/ (default: current folder)
  --endpoint A.B.C.D:PORT     type this into the panel's "Network Address:Port" entry
  --[no-]auto-lens            tick or clear "Auto Lens Update"
  --[no-]auto-scene-take      tick or clear "Auto Scene/Take"
  --[no-]auto-record          tick or clear "Auto Record"
  --connection-string A.B.C.D:PORT
                              create the source from a connection string instead of the panel
                              (lens off, scene/take on, record off)
  --tick-hz HZ                Live Link ticks per second (default 60)
  --duration SECONDS          stop after this long (default: run until Ctrl-C or SIGTERM)
  --no-take-recorder          do not open the Take Recorder panel
  --take-recorder-refuses     Take Recorder refuses every start (as with no sources, or a take under review)
  --take-recorder-countdown SECONDS
                              Take Recorder counts down this long, in ticks, before a take starts (default 0)
  --capture                   tick the source's "Capture Raw Datagrams": every datagram received goes to
                              a pcap file under <project>/Saved/TavrixCaptures/
  --accept-from LIST          type LIST into the source's "Accepted Senders": IPv4 addresses and CIDR
                              ranges separated by commas ("192.168.10.5, 10.0.0.0/24"); datagrams from
                              anyone else are counted and dropped. A list the source refuses leaves it
                              accepting anyone, with the reason in the stats (acceptedSendersError)
  --demo                      also stream a demo camera to the source from inside the host
  --demo-toggle SECONDS       the demo starts and stops recording this often (default 4)
  --live | --jsonl | --plain  live view (default on a terminal), JSON lines, or plain status lines
  --help                      this text

Exit status: 0 after a clean shut-down, 1 when the host cannot run, 2 on a bad argument.
)";
}
