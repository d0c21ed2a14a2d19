#include "TavrixSendCommandLine.h"

#include <atomic>
#include <cstdio>
#include <pthread.h>
#include <signal.h>
#include <string>
#include <thread>
#include <vector>

using namespace TavrixSend;

namespace
{
constexpr int ExitSuccess = 0;
constexpr int ExitRuntimeFailure = 1;
constexpr int ExitBadArguments = 2;

/**
 * Turns SIGINT and SIGTERM into a stop request for the send loop. The signals are blocked in every thread and taken
 * by one waiting thread with sigwait, so the stop goes through the ordinary condition variable instead of anything a
 * signal handler would be allowed to touch. Must be constructed before any other thread starts.
 */
class FTerminationWatcher
{
public:
	explicit FTerminationWatcher(FTavrixStopSignal& InStop)
	{
		sigemptyset(&Signals);
		sigaddset(&Signals, SIGINT);
		sigaddset(&Signals, SIGTERM);
		sigaddset(&Signals, WakeSignal);
		// An ignored signal is discarded instead of left pending, and the wake-up must always arrive.
		struct sigaction Default = {};
		Default.sa_handler = SIG_DFL;
		sigaction(WakeSignal, &Default, nullptr);
		pthread_sigmask(SIG_BLOCK, &Signals, nullptr);
		Thread = std::thread([this, &InStop] { Watch(InStop); });
	}

	~FTerminationWatcher()
	{
		bDone.store(true);
		pthread_kill(Thread.native_handle(), WakeSignal);
		Thread.join();
	}

	FTerminationWatcher(const FTerminationWatcher&) = delete;
	FTerminationWatcher& operator=(const FTerminationWatcher&) = delete;

private:
	static constexpr int WakeSignal = SIGUSR1;

	void Watch(FTavrixStopSignal& InStop)
	{
		for (;;)
		{
			int Signal = 0;
			if (sigwait(&Signals, &Signal) != 0)
			{
				continue;
			}
			// A stray SIGUSR1 from outside must not end the watch, or SIGINT would stay blocked for good.
			if (Signal == WakeSignal)
			{
				if (bDone.load())
				{
					return;
				}
				continue;
			}
			InStop.RequestStop();
		}
	}

	sigset_t Signals;
	std::atomic<bool> bDone{false};
	std::thread Thread;
};

void PrintSummary(const FTavrixSendReport& InReport, const FTavrixEndpoint& InEndpoint)
{
	const double Seconds = std::chrono::duration<double>(InReport.Elapsed).count();
	std::printf("tavrix-send: %llu datagram%s sent to %s in %.3f s", static_cast<unsigned long long>(InReport.Sent),
		InReport.Sent == 1 ? "" : "s", InEndpoint.ToString().c_str(), Seconds);
	if (InReport.Failed > 0)
	{
		std::printf(", %llu failed", static_cast<unsigned long long>(InReport.Failed));
	}
	std::printf("%s\n", InReport.bStopRequested ? " (interrupted)" : "");
}
} // namespace

int main(int ArgumentCount, char** Arguments)
{
	const std::vector<std::string_view> Given(Arguments + 1, Arguments + ArgumentCount);
	const FTavrixSendCommandLine CommandLine = FTavrixSendCommandLine::Parse(Given);
	const std::string_view Usage = FTavrixSendCommandLine::GetUsage();
	if (CommandLine.Action == ETavrixCommandLineAction::ShowHelp)
	{
		std::fwrite(Usage.data(), 1, Usage.size(), stdout);
		return ExitSuccess;
	}
	if (CommandLine.Action == ETavrixCommandLineAction::Reject)
	{
		std::fprintf(stderr, "tavrix-send: %s\n\n", CommandLine.Error.c_str());
		std::fwrite(Usage.data(), 1, Usage.size(), stderr);
		return ExitBadArguments;
	}
	const FTavrixSendOptions& Options = CommandLine.Options;

	std::unique_ptr<ITavrixPayloadSource> Payloads;
	if (Options.ReplayPath)
	{
		std::string Error;
		Payloads = FTavrixReplayPayloads::Load(*Options.ReplayPath, Error);
		if (!Payloads)
		{
			std::fprintf(stderr, "tavrix-send: %s\n", Error.c_str());
			return ExitRuntimeFailure;
		}
	}
	else
	{
		Payloads = std::make_unique<FTavrixCameraPayloads>(Options.Script);
	}

	std::error_code SocketError;
	const std::unique_ptr<FTavrixUdpSocket> Socket = FTavrixUdpSocket::Open(Options.Endpoint, SocketError);
	if (!Socket)
	{
		std::fprintf(stderr, "tavrix-send: cannot open a UDP socket: %s\n", SocketError.message().c_str());
		return ExitRuntimeFailure;
	}

	FTavrixStopSignal Stop;
	FTavrixSteadyClock Clock;
	FTavrixSendReport Report;
	{
		FTerminationWatcher Watcher(Stop);
		FTavrixSender Sender(*Payloads, *Socket, Options.Pacing, Clock);
		Report = Sender.Run(Stop);
	}

	if (!Options.bQuiet)
	{
		PrintSummary(Report, Options.Endpoint);
	}
	if (Report.PersistentError)
	{
		std::fprintf(stderr, "tavrix-send: sending to %s failed: %s\n", Options.Endpoint.ToString().c_str(),
			Report.PersistentError.message().c_str());
		return ExitRuntimeFailure;
	}
	return ExitSuccess;
}
