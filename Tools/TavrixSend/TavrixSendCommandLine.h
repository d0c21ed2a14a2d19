// The command line of tavrix-send, parsed strictly: a value that is not fully understood is an error, never a guess.
#pragma once

#include "TavrixSender.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace TavrixSend
{
struct FTavrixSendOptions
{
	FTavrixEndpoint Endpoint;
	/** Used when Endpoint is a group. */
	FTavrixMulticastOptions Multicast;
	FTavrixPacing Pacing;
	FTavrixCameraScript Script;
	/** Set: the lines of this file are sent instead of the made-up camera. */
	std::optional<std::string> ReplayPath;
	/** Set: the UDP payloads of this capture file are sent instead, at the pace they were captured. */
	std::optional<std::string> CapturePath;
	/** Chooses the capture's packets, in tcpdump's filter language; empty for all. */
	std::string CaptureFilter;
	/** How many times faster than captured; positive and finite. */
	double CaptureSpeed = 1.0;
	bool bCaptureLoop = false;
	/** Each datagram is held for a random time from zero to this before it is sent; zero for none. */
	FTavrixDuration JitterMax{};
	/** Set: the made-up camera writes one line per datagram to this file (see FTavrixSendLog). */
	std::optional<std::string> SendLogPath;
	bool bQuiet = false;
};

enum class ETavrixCommandLineAction
{
	Send,
	ShowHelp,
	Reject,
};

struct FTavrixSendCommandLine
{
	ETavrixCommandLineAction Action = ETavrixCommandLineAction::Send;
	FTavrixSendOptions Options;
	/** Why the arguments were rejected, one line naming the option. */
	std::string Error;

	/** InArguments without the program name. Options take their value as the next argument or after '='. */
	static FTavrixSendCommandLine Parse(std::span<const std::string_view> InArguments);
	/** The help text: every option by group, then the exit statuses. */
	static std::string GetUsage();
};
} // namespace TavrixSend
