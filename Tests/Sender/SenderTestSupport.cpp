#include "SenderTestSupport.h"

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

FLoopbackReceiver::FLoopbackReceiver()
{
	Descriptor = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
	sockaddr_in Address{};
	Address.sin_family = AF_INET;
	Address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
	Address.sin_port = 0;
	socklen_t Length = sizeof(Address);
	if (Descriptor >= 0 && ::bind(Descriptor, reinterpret_cast<const sockaddr*>(&Address), sizeof(Address)) == 0 &&
		::getsockname(Descriptor, reinterpret_cast<sockaddr*>(&Address), &Length) == 0)
	{
		Endpoint.Port = ntohs(Address.sin_port);
	}
	const int On = 1;
	::setsockopt(Descriptor, SOL_SOCKET, SO_TIMESTAMPNS, &On, sizeof(On));
}

FLoopbackReceiver::~FLoopbackReceiver()
{
	if (Descriptor >= 0)
	{
		::close(Descriptor);
	}
}

std::optional<std::string> FLoopbackReceiver::Receive(std::chrono::milliseconds InTimeout)
{
	pollfd Poll{Descriptor, POLLIN, 0};
	if (!IsBound() || ::poll(&Poll, 1, static_cast<int>(InTimeout.count())) != 1)
	{
		return std::nullopt;
	}
	std::string Datagram(65536, '\0');
	const ssize_t Received = ::recv(Descriptor, Datagram.data(), Datagram.size(), 0);
	if (Received < 0)
	{
		return std::nullopt;
	}
	Datagram.resize(static_cast<size_t>(Received));
	return Datagram;
}

std::optional<FLoopbackReceiver::FArrival> FLoopbackReceiver::ReceiveTimed(std::chrono::milliseconds InTimeout)
{
	pollfd Poll{Descriptor, POLLIN, 0};
	if (!IsBound() || ::poll(&Poll, 1, static_cast<int>(InTimeout.count())) != 1)
	{
		return std::nullopt;
	}
	FArrival Arrival;
	Arrival.Payload.resize(65536);
	iovec Buffer{Arrival.Payload.data(), Arrival.Payload.size()};
	alignas(cmsghdr) char Control[CMSG_SPACE(sizeof(timespec))];
	msghdr Message{};
	Message.msg_iov = &Buffer;
	Message.msg_iovlen = 1;
	Message.msg_control = Control;
	Message.msg_controllen = sizeof(Control);
	const ssize_t Received = ::recvmsg(Descriptor, &Message, 0);
	if (Received < 0)
	{
		return std::nullopt;
	}
	Arrival.Payload.resize(static_cast<size_t>(Received));
	for (cmsghdr* Header = CMSG_FIRSTHDR(&Message); Header != nullptr; Header = CMSG_NXTHDR(&Message, Header))
	{
		if (Header->cmsg_level == SOL_SOCKET && Header->cmsg_type == SCM_TIMESTAMPNS)
		{
			timespec Stamp{};
			std::memcpy(&Stamp, CMSG_DATA(Header), sizeof(Stamp));
			Arrival.Time = std::chrono::seconds(Stamp.tv_sec) + std::chrono::nanoseconds(Stamp.tv_nsec);
			return Arrival;
		}
	}
	// No stamp from the kernel: the time of reading is a later bound on the arrival.
	Arrival.Time = std::chrono::system_clock::now().time_since_epoch();
	return Arrival;
}

FChildProcess::FChildProcess(const std::vector<std::string>& InArguments)
{
	int Out[2] = {-1, -1};
	int Err[2] = {-1, -1};
	if (::pipe2(Out, O_CLOEXEC) != 0 || ::pipe2(Err, O_CLOEXEC) != 0)
	{
		return;
	}
	posix_spawn_file_actions_t Actions;
	posix_spawn_file_actions_init(&Actions);
	posix_spawn_file_actions_adddup2(&Actions, Out[1], STDOUT_FILENO);
	posix_spawn_file_actions_adddup2(&Actions, Err[1], STDERR_FILENO);
	posix_spawnattr_t Attributes;
	posix_spawnattr_init(&Attributes);
	sigset_t AllSignals;
	sigset_t NoSignals;
	sigfillset(&AllSignals);
	sigemptyset(&NoSignals);
	posix_spawnattr_setsigdefault(&Attributes, &AllSignals);
	posix_spawnattr_setsigmask(&Attributes, &NoSignals);
	posix_spawnattr_setflags(&Attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

	std::vector<char*> Argv;
	for (const std::string& Argument : InArguments)
	{
		Argv.push_back(const_cast<char*>(Argument.c_str()));
	}
	Argv.push_back(nullptr);
	if (posix_spawn(&Pid, Argv[0], &Actions, &Attributes, Argv.data(), environ) != 0)
	{
		Pid = -1;
	}
	posix_spawnattr_destroy(&Attributes);
	posix_spawn_file_actions_destroy(&Actions);
	::close(Out[1]);
	::close(Err[1]);
	OutPipe = Out[0];
	ErrPipe = Err[0];
}

FChildProcess::~FChildProcess()
{
	if (Pid > 0)
	{
		::kill(Pid, SIGKILL);
		::waitpid(Pid, nullptr, 0);
	}
	for (const int Pipe : {OutPipe, ErrPipe})
	{
		if (Pipe >= 0)
		{
			::close(Pipe);
		}
	}
}

void FChildProcess::Signal(int InSignal)
{
	if (Pid > 0)
	{
		::kill(Pid, InSignal);
	}
}

bool FChildProcess::WaitForError(std::string_view InText, std::chrono::milliseconds InTimeout)
{
	const auto Deadline = std::chrono::steady_clock::now() + InTimeout;
	while (ErrReadEarly.find(InText) == std::string::npos)
	{
		const auto Left = std::chrono::duration_cast<std::chrono::milliseconds>(Deadline - std::chrono::steady_clock::now());
		if (ErrPipe < 0 || Left.count() <= 0)
		{
			return false;
		}
		pollfd Poll{ErrPipe, POLLIN, 0};
		const int Ready = ::poll(&Poll, 1, static_cast<int>(Left.count()));
		if (Ready < 0 && errno == EINTR)
		{
			continue;
		}
		if (Ready <= 0)
		{
			return false;
		}
		char Buffer[4096];
		const ssize_t Read = ::read(ErrPipe, Buffer, sizeof(Buffer));
		if (Read > 0)
		{
			ErrReadEarly.append(Buffer, static_cast<size_t>(Read));
		}
		else if (Read == 0 || errno != EINTR)
		{
			::close(ErrPipe);
			ErrPipe = -1;
		}
	}
	return true;
}

FProcessResult FChildProcess::Finish(std::chrono::milliseconds InTimeout)
{
	FProcessResult Result;
	if (Pid <= 0)
	{
		return Result;
	}
	Result.Err = std::move(ErrReadEarly);
	// Awaits the exit itself where the kernel offers a process handle; otherwise the end of both pipes stands in.
	const int ProcessHandle = static_cast<int>(::syscall(SYS_pidfd_open, Pid, 0));
	const auto Deadline = std::chrono::steady_clock::now() + InTimeout;
	bool bExited = false;
	std::string* Sinks[2] = {&Result.Out, &Result.Err};
	int Pipes[2] = {OutPipe, ErrPipe};
	while (Pipes[0] >= 0 || Pipes[1] >= 0 || (ProcessHandle >= 0 && !bExited))
	{
		const auto Left = std::chrono::duration_cast<std::chrono::milliseconds>(Deadline - std::chrono::steady_clock::now());
		if (Left.count() <= 0)
		{
			Result.bTimedOut = true;
			break;
		}
		pollfd Polls[3] = {{Pipes[0], POLLIN, 0}, {Pipes[1], POLLIN, 0}, {bExited ? -1 : ProcessHandle, POLLIN, 0}};
		if (::poll(Polls, 3, static_cast<int>(Left.count())) < 0 && errno != EINTR)
		{
			break;
		}
		for (int Index = 0; Index < 2; ++Index)
		{
			if (Pipes[Index] >= 0 && Polls[Index].revents != 0)
			{
				char Buffer[4096];
				const ssize_t Read = ::read(Pipes[Index], Buffer, sizeof(Buffer));
				if (Read > 0)
				{
					Sinks[Index]->append(Buffer, static_cast<size_t>(Read));
				}
				else
				{
					Pipes[Index] = -1;
				}
			}
		}
		bExited = bExited || (Polls[2].fd >= 0 && Polls[2].revents != 0);
	}
	if (ProcessHandle >= 0)
	{
		::close(ProcessHandle);
	}
	if (Result.bTimedOut)
	{
		::kill(Pid, SIGKILL);
	}
	// Either the process has exited or it has just been killed: this wait returns at once.
	int Status = 0;
	if (::waitpid(Pid, &Status, 0) == Pid && WIFEXITED(Status) && !Result.bTimedOut)
	{
		Result.ExitCode = WEXITSTATUS(Status);
	}
	Pid = -1;
	return Result;
}

FProcessResult RunSender(const std::vector<std::string>& InArguments, std::chrono::milliseconds InTimeout)
{
	std::vector<std::string> Arguments{TAVRIX_SEND_EXECUTABLE};
	Arguments.insert(Arguments.end(), InArguments.begin(), InArguments.end());
	FChildProcess Process(Arguments);
	return Process.Finish(InTimeout);
}
