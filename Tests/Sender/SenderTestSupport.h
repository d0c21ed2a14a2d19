// Loopback receiving socket and child-process runner shared by the sender's tests; every wait is bounded.
#pragma once

#include "TavrixUdpSocket.h"

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

/** A UDP socket bound to 127.0.0.1 on a port the system picks. */
class FLoopbackReceiver
{
public:
	FLoopbackReceiver();
	~FLoopbackReceiver();
	FLoopbackReceiver(const FLoopbackReceiver&) = delete;
	FLoopbackReceiver& operator=(const FLoopbackReceiver&) = delete;

	bool IsBound() const { return Endpoint.Port != 0; }
	const TavrixSend::FTavrixEndpoint& GetEndpoint() const { return Endpoint; }

	/** The next datagram, possibly empty; nothing when none arrives within InTimeout. */
	std::optional<std::string> Receive(std::chrono::milliseconds InTimeout);

	struct FArrival
	{
		std::string Payload;
		/** When the kernel took the datagram in, on the system clock: unaffected by how late this thread reads it. */
		std::chrono::nanoseconds Time{};
	};
	/** As Receive, with the datagram's arrival time. */
	std::optional<FArrival> ReceiveTimed(std::chrono::milliseconds InTimeout);

private:
	int Descriptor = -1;
	TavrixSend::FTavrixEndpoint Endpoint{0x7F000001, 0};
};

struct FProcessResult
{
	/** The exit status, or -1 when the process did not exit normally in time. */
	int ExitCode = -1;
	bool bTimedOut = false;
	std::string Out;
	std::string Err;
};

/** A child process with its standard output and error captured. Killed if still running when destroyed. */
class FChildProcess
{
public:
	/** Starts InArguments[0] with the default disposition and no mask for every signal. */
	explicit FChildProcess(const std::vector<std::string>& InArguments);
	~FChildProcess();
	FChildProcess(const FChildProcess&) = delete;
	FChildProcess& operator=(const FChildProcess&) = delete;

	bool IsStarted() const { return Pid > 0; }
	void Signal(int InSignal);
	/**
	 * Reads the standard error until it holds InText; false when it ends or InTimeout passes first. What was read is
	 * kept for Finish.
	 */
	bool WaitForError(std::string_view InText, std::chrono::milliseconds InTimeout);
	/** Collects the output until the process ends; kills it after InTimeout. */
	FProcessResult Finish(std::chrono::milliseconds InTimeout);

private:
	pid_t Pid = -1;
	int OutPipe = -1;
	int ErrPipe = -1;
	std::string ErrReadEarly;
};

/** Runs the built tavrix-send with InArguments, bounded by InTimeout. */
FProcessResult RunSender(const std::vector<std::string>& InArguments, std::chrono::milliseconds InTimeout = std::chrono::seconds(30));
