#pragma once

#include "LoopbackUdp.h"

#include <nlohmann/json.hpp>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>
#include <sys/types.h>

/** Whether a JSON line of the host is the event named Name. */
inline bool IsEvent(const nlohmann::json& Event, const char* Name)
{
	return Event.value("event", "") == Name;
}

/** A project folder of its own for one test, removed afterwards. */
class FTempProject
{
public:
	FTempProject();
	~FTempProject();
	const std::filesystem::path& Path() const { return Dir; }

private:
	std::filesystem::path Dir;
};

/** Sends one datagram to 127.0.0.1:Port. */
bool SendDatagram(uint16_t Port, const std::string& Payload);

/** A tavrix-host (or tavrix-send) process with its output read line by line. */
class FHostProcess
{
public:
	explicit FHostProcess(const std::vector<std::string>& Arguments, const std::string& Executable = TAVRIX_HOST_EXECUTABLE);
	~FHostProcess();
	FHostProcess(const FHostProcess&) = delete;
	FHostProcess& operator=(const FHostProcess&) = delete;

	/** The next standard-output line, or nothing when none came within Timeout or the output ended. */
	std::optional<std::string> ReadLine(std::chrono::milliseconds Timeout = std::chrono::seconds(10));
	/** Reads events until one satisfies Predicate; every event read is kept in Events. */
	std::optional<nlohmann::json> WaitForEvent(
		const std::function<bool(const nlohmann::json&)>& Predicate, std::chrono::milliseconds Timeout = std::chrono::seconds(15));
	/** The first event read so far that satisfies Predicate, else the next one to come. */
	std::optional<nlohmann::json> FindOrWaitForEvent(
		const std::function<bool(const nlohmann::json&)>& Predicate, std::chrono::milliseconds Timeout = std::chrono::seconds(15));
	void Signal(int SignalNumber);
	/** Waits for the exit (killing the process after Timeout); the exit status, or -1 when it had to be killed. */
	int Wait(std::chrono::milliseconds Timeout = std::chrono::seconds(15));
	/** Whatever the process wrote to standard error, once it has exited. */
	const std::string& GetErrors() const { return Errors; }

	std::vector<nlohmann::json> Events;

private:
	pid_t Pid = -1;
	int OutPipe = -1;
	int ErrPipe = -1;
	std::string Pending;
	std::string Errors;
	int ExitStatus = -1;
};

/** A host run with --jsonl in a project, on 127.0.0.1 at a free port. */
std::vector<std::string> HostArguments(const FTempProject& Project, uint16_t Port, std::vector<std::string> Extra = {});
