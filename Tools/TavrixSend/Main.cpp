#include "TavrixCaptureFile.h"
#include "TavrixSendCommandLine.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <optional>
#include <pthread.h>
#include <random>
#include <signal.h>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

using namespace TavrixSend;

namespace
{
constexpr int ExitSuccess = 0;
constexpr int ExitRuntimeFailure = 1;
constexpr int ExitBadArguments = 2;
constexpr int ExitUnusableCapture = 3;

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

/** InDetail, when given, follows the counts as ", InDetail". */
void PrintSummary(const FTavrixSendReport& InReport, const FTavrixEndpoint& InEndpoint, const std::string& InDetail = {})
{
	const double Seconds = std::chrono::duration<double>(InReport.Elapsed).count();
	std::printf("tavrix-send: %llu datagram%s sent to %s in %.3f s", static_cast<unsigned long long>(InReport.Sent),
		InReport.Sent == 1 ? "" : "s", InEndpoint.ToString().c_str(), Seconds);
	if (InReport.Failed > 0)
	{
		std::printf(", %llu failed", static_cast<unsigned long long>(InReport.Failed));
	}
	if (!InDetail.empty())
	{
		std::printf(", %s", InDetail.c_str());
	}
	std::printf("%s\n", InReport.bStopRequested ? " (interrupted)" : "");
}
int ReportRunEnd(const FTavrixSendReport& InReport, const FTavrixEndpoint& InEndpoint)
{
	if (InReport.PersistentError)
	{
		std::fprintf(
			stderr, "tavrix-send: sending to %s failed: %s\n", InEndpoint.ToString().c_str(), InReport.PersistentError.message().c_str());
		return ExitRuntimeFailure;
	}
	return ExitSuccess;
}

int ReplayCapture(const FTavrixSendOptions& InOptions)
{
	// Loaded whole before anything is sent, so that an unusable capture is refused with nothing on the wire.
	const FTavrixCaptureLoad Load = LoadCapture(*InOptions.CapturePath, InOptions.CaptureFilter);
	if (Load.Problem != ETavrixCaptureProblem::None)
	{
		std::fprintf(stderr, "tavrix-send: %s\n", Load.Error.c_str());
		return Load.Problem == ETavrixCaptureProblem::InvalidFilter ? ExitBadArguments : ExitUnusableCapture;
	}
	const FTavrixCapture& Capture = Load.Capture;
	if (!Capture.ReadError.empty())
	{
		std::fprintf(stderr, "tavrix-send: warning: reading %s stopped early (%s); replaying the %zu datagram%s before that\n",
			InOptions.CapturePath->c_str(), Capture.ReadError.c_str(), Capture.Datagrams.size(), Capture.Datagrams.size() == 1 ? "" : "s");
	}

	std::error_code SocketError;
	const std::unique_ptr<FTavrixUdpSocket> Socket = FTavrixUdpSocket::Open(InOptions.Endpoint, InOptions.Multicast, SocketError);
	if (!Socket)
	{
		std::fprintf(stderr, "tavrix-send: cannot open a UDP socket: %s\n", SocketError.message().c_str());
		return ExitRuntimeFailure;
	}

	FTavrixCapturePacing Pacing;
	Pacing.Speed = InOptions.CaptureSpeed;
	Pacing.bLoop = InOptions.bCaptureLoop;
	Pacing.MaxSends = InOptions.Pacing.MaxSends;
	Pacing.MaxDuration = InOptions.Pacing.MaxDuration;
	FTavrixStopSignal Stop;
	FTavrixSteadyClock Clock;
	FTavrixCaptureReplayReport Report;
	{
		FTerminationWatcher Watcher(Stop);
		Report = FTavrixCaptureReplayer(Capture.Datagrams, *Socket, Pacing, Clock).Run(Stop);
	}

	if (!InOptions.bQuiet)
	{
		PrintSummary(Report, InOptions.Endpoint,
			InOptions.bCaptureLoop ? std::to_string(Report.Passes) + (Report.Passes == 1 ? " pass" : " passes") : std::string());
		const uint64_t Skipped = Capture.Skipped.Total();
		if (Skipped != 0)
		{
			std::printf("tavrix-send: %llu packet%s of the capture skipped: %s\n", static_cast<unsigned long long>(Skipped),
				Skipped == 1 ? "" : "s", Capture.Skipped.Describe().c_str());
		}
	}
	return ReportRunEnd(Report, InOptions.Endpoint);
}
} // namespace

int main(int ArgumentCount, char** Arguments)
{
	const std::vector<std::string_view> Given(Arguments + 1, Arguments + ArgumentCount);
	const FTavrixSendCommandLine CommandLine = FTavrixSendCommandLine::Parse(Given);
	const std::string Usage = FTavrixSendCommandLine::GetUsage();
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
	if (Options.CapturePath)
	{
		return ReplayCapture(Options);
	}

	std::unique_ptr<ITavrixPayloadSource> Payloads;
	FTavrixCameraPayloads* Camera = nullptr;
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
		auto CameraPayloads = std::make_unique<FTavrixCameraPayloads>(Options.Script);
		Camera = CameraPayloads.get();
		Payloads = std::move(CameraPayloads);
	}

	std::FILE* SendLogFile = nullptr;
	if (Options.SendLogPath)
	{
		SendLogFile = std::fopen(Options.SendLogPath->c_str(), "w");
		if (SendLogFile == nullptr)
		{
			std::fprintf(
				stderr, "tavrix-send: cannot write %s: %s\n", Options.SendLogPath->c_str(), std::generic_category().message(errno).c_str());
			return ExitRuntimeFailure;
		}
	}

	std::error_code SocketError;
	const std::unique_ptr<FTavrixUdpSocket> Socket = FTavrixUdpSocket::Open(Options.Endpoint, Options.Multicast, SocketError);
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
		FTavrixJitterSink Jitter(*Socket, Options.JitterMax, Clock, Stop, std::random_device{}());
		std::optional<FTavrixSendLog> SendLog;
		if (SendLogFile != nullptr)
		{
			SendLog.emplace(Jitter, *Camera, Clock, SendLogFile);
		}
		FTavrixSender Sender(*Payloads, SendLog ? static_cast<ITavrixDatagramSink&>(*SendLog) : Jitter, Options.Pacing, Clock);
		Report = Sender.Run(Stop);
	}
	if (SendLogFile != nullptr && std::fclose(SendLogFile) != 0)
	{
		std::fprintf(stderr, "tavrix-send: writing %s failed\n", Options.SendLogPath->c_str());
		return ExitRuntimeFailure;
	}

	if (!Options.bQuiet)
	{
		PrintSummary(Report, Options.Endpoint);
	}
	return ReportRunEnd(Report, Options.Endpoint);
}
