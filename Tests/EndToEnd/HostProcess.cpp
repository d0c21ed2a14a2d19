#include "HostProcess.h"

#include <algorithm>
#include <arpa/inet.h>
#include <csignal>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

FTempProject::FTempProject()
{
	static int Counter = 0;
	Dir = std::filesystem::temp_directory_path() / ("tavrix-e2e-" + std::to_string(::getpid()) + "-" + std::to_string(Counter++));
	std::filesystem::create_directories(Dir);
}

FTempProject::~FTempProject()
{
	std::error_code Ignored;
	std::filesystem::remove_all(Dir, Ignored);
}

bool SendDatagram(uint16_t Port, const std::string& Payload)
{
	const int Socket = ::socket(AF_INET, SOCK_DGRAM, 0);
	sockaddr_in Address{};
	Address.sin_family = AF_INET;
	Address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
	Address.sin_port = htons(Port);
	const bool bSent = ::sendto(Socket, Payload.data(), Payload.size(), 0, reinterpret_cast<sockaddr*>(&Address), sizeof(Address)) ==
		static_cast<ssize_t>(Payload.size());
	::close(Socket);
	return bSent;
}

FHostProcess::FHostProcess(const std::vector<std::string>& Arguments, const std::string& Executable)
{
	int Out[2];
	int Err[2];
	if (::pipe2(Out, O_CLOEXEC) != 0 || ::pipe2(Err, O_CLOEXEC) != 0)
	{
		return;
	}
	posix_spawn_file_actions_t Actions;
	posix_spawn_file_actions_init(&Actions);
	posix_spawn_file_actions_adddup2(&Actions, Out[1], STDOUT_FILENO);
	posix_spawn_file_actions_adddup2(&Actions, Err[1], STDERR_FILENO);
	std::vector<std::string> Storage{Executable};
	Storage.insert(Storage.end(), Arguments.begin(), Arguments.end());
	std::vector<char*> Argv;
	for (std::string& Argument : Storage)
	{
		Argv.push_back(Argument.data());
	}
	Argv.push_back(nullptr);
	if (::posix_spawn(&Pid, Executable.c_str(), &Actions, nullptr, Argv.data(), environ) != 0)
	{
		Pid = -1;
	}
	posix_spawn_file_actions_destroy(&Actions);
	::close(Out[1]);
	::close(Err[1]);
	OutPipe = Out[0];
	ErrPipe = Err[0];
}

FHostProcess::~FHostProcess()
{
	if (Pid > 0 && ExitStatus == -1)
	{
		Wait(std::chrono::seconds(5));
	}
	::close(OutPipe);
	::close(ErrPipe);
}

std::optional<std::string> FHostProcess::ReadLine(std::chrono::milliseconds Timeout)
{
	const auto Deadline = std::chrono::steady_clock::now() + Timeout;
	for (;;)
	{
		const size_t End = Pending.find('\n');
		if (End != std::string::npos)
		{
			std::string Line = Pending.substr(0, End);
			Pending.erase(0, End + 1);
			return Line;
		}
		// A time-out of zero still looks once at what is already in the pipe.
		const auto Left = std::chrono::duration_cast<std::chrono::milliseconds>(Deadline - std::chrono::steady_clock::now());
		if (OutPipe < 0)
		{
			return std::nullopt;
		}
		pollfd Poll{OutPipe, POLLIN, 0};
		if (::poll(&Poll, 1, static_cast<int>(std::max<int64_t>(0, Left.count()))) <= 0)
		{
			return std::nullopt;
		}
		char Buffer[65536];
		const ssize_t Read = ::read(OutPipe, Buffer, sizeof(Buffer));
		if (Read <= 0)
		{
			return std::nullopt;
		}
		Pending.append(Buffer, static_cast<size_t>(Read));
	}
}

std::optional<nlohmann::json> FHostProcess::FindOrWaitForEvent(
	const std::function<bool(const nlohmann::json&)>& Predicate, std::chrono::milliseconds Timeout)
{
	for (const nlohmann::json& Event : Events)
	{
		if (Predicate(Event))
		{
			return Event;
		}
	}
	return WaitForEvent(Predicate, Timeout);
}

std::optional<nlohmann::json> FHostProcess::WaitForEvent(
	const std::function<bool(const nlohmann::json&)>& Predicate, std::chrono::milliseconds Timeout)
{
	const auto Deadline = std::chrono::steady_clock::now() + Timeout;
	while (std::chrono::steady_clock::now() < Deadline)
	{
		const std::optional<std::string> Line =
			ReadLine(std::chrono::duration_cast<std::chrono::milliseconds>(Deadline - std::chrono::steady_clock::now()));
		if (!Line)
		{
			return std::nullopt;
		}
		nlohmann::json Event = nlohmann::json::parse(*Line, nullptr, false);
		if (Event.is_discarded())
		{
			continue;
		}
		Events.push_back(Event);
		if (Predicate(Event))
		{
			return Event;
		}
	}
	return std::nullopt;
}

void FHostProcess::Signal(int SignalNumber)
{
	if (Pid > 0)
	{
		::kill(Pid, SignalNumber);
	}
}

int FHostProcess::Wait(std::chrono::milliseconds Timeout)
{
	if (Pid <= 0)
	{
		return -1;
	}
	const auto Deadline = std::chrono::steady_clock::now() + Timeout;
	int Status = 0;
	const auto Drain = [this] {
		// Both pipes are emptied so a chatty process never blocks on a full pipe; events are kept.
		while (const std::optional<std::string> Line = ReadLine(std::chrono::milliseconds(0)))
		{
			nlohmann::json Event = nlohmann::json::parse(*Line, nullptr, false);
			if (!Event.is_discarded())
			{
				Events.push_back(std::move(Event));
			}
		}
		char Buffer[4096];
		pollfd Poll{ErrPipe, POLLIN, 0};
		while (::poll(&Poll, 1, 0) > 0)
		{
			const ssize_t Read = ::read(ErrPipe, Buffer, sizeof(Buffer));
			if (Read <= 0)
			{
				break;
			}
			Errors.append(Buffer, static_cast<size_t>(Read));
		}
	};
	for (;;)
	{
		Drain();
		const pid_t Done = ::waitpid(Pid, &Status, WNOHANG);
		if (Done == Pid)
		{
			Drain(); // what it wrote just before it exited
			ExitStatus = WIFEXITED(Status) ? WEXITSTATUS(Status) : -1;
			Pid = -1;
			return ExitStatus;
		}
		if (std::chrono::steady_clock::now() >= Deadline)
		{
			::kill(Pid, SIGKILL);
			::waitpid(Pid, &Status, 0);
			Pid = -1;
			return -1;
		}
		std::this_thread::sleep_for(std::chrono::milliseconds(5));
	}
}

std::vector<std::string> HostArguments(const FTempProject& Project, uint16_t Port, std::vector<std::string> Extra)
{
	std::vector<std::string> Arguments = {
		"--project", Project.Path().string(), "--jsonl", "--endpoint", "127.0.0.1:" + std::to_string(Port)};
	Arguments.insert(Arguments.end(), Extra.begin(), Extra.end());
	return Arguments;
}
