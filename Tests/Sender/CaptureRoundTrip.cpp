#include "CaptureTestSupport.h"
#include "SenderTestSupport.h"
#include "TavrixCaptureFile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

using namespace TavrixSend;
using namespace std::chrono_literals;

namespace
{
constexpr int StreamLength = 12;

std::optional<std::string> FindTcpdump()
{
	std::string Directories = "/usr/sbin:/usr/bin:/sbin:/bin";
	if (const char* Path = std::getenv("PATH"))
	{
		Directories = std::string(Path) + ":" + Directories;
	}
	std::string_view Left = Directories;
	while (!Left.empty())
	{
		const size_t Colon = std::min(Left.find(':'), Left.size());
		const std::string Candidate = std::string(Left.substr(0, Colon)) + "/tcpdump";
		if (Colon > 0 && ::access(Candidate.c_str(), X_OK) == 0)
		{
			return Candidate;
		}
		Left.remove_prefix(std::min(Colon + 1, Left.size()));
	}
	return std::nullopt;
}

/** Waits until InReady holds, checking again after each change to the file at InPath; false after InTimeout. */
bool AwaitFile(const std::string& InPath, const std::function<bool()>& InReady, std::chrono::milliseconds InTimeout)
{
	const int Watcher = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
	if (Watcher < 0 || ::inotify_add_watch(Watcher, InPath.c_str(), IN_MODIFY | IN_CLOSE_WRITE) < 0)
	{
		if (Watcher >= 0)
		{
			::close(Watcher);
		}
		return InReady();
	}
	// Watched before the first look, so no change after it goes unnoticed.
	const auto Deadline = std::chrono::steady_clock::now() + InTimeout;
	bool bReady = InReady();
	while (!bReady)
	{
		const auto Left = std::chrono::duration_cast<std::chrono::milliseconds>(Deadline - std::chrono::steady_clock::now());
		pollfd Poll{Watcher, POLLIN, 0};
		if (Left.count() <= 0 || ::poll(&Poll, 1, static_cast<int>(Left.count())) < 0)
		{
			break;
		}
		char Events[4096];
		while (::read(Watcher, Events, sizeof(Events)) > 0)
		{
		}
		bReady = InReady();
	}
	::close(Watcher);
	return bReady;
}

bool SaysCapturingIsNotPermitted(const std::string& InError)
{
	for (const std::string_view Sign : {"ermission", "not permitted", "Operation not permitted"})
	{
		if (InError.find(Sign) != std::string::npos)
		{
			return true;
		}
	}
	return false;
}
} // namespace

TEST(CaptureRoundTrip, TcpdumpCaptureOfTheSenderReplaysTheSameDatagrams)
{
	const std::optional<std::string> Tcpdump = FindTcpdump();
	if (!Tcpdump)
	{
		GTEST_SKIP() << "tcpdump is not installed (Scripts/install-deps.sh installs it)";
	}

	FLoopbackReceiver Original;
	ASSERT_TRUE(Original.IsBound());
	const CaptureTest::FTempPath Capture("round-trip.pcap");
	// Immediate mode and packet-buffered output put every packet in the file as soon as it is seen. As root, tcpdump
	// would otherwise give up its privileges before writing, to a user that may not write the test's directory.
	FChildProcess Capturer({*Tcpdump, "-i", "lo", "-n", "--immediate-mode", "-U", "-Z", "root", "-w", Capture.Get(), "udp", "dst", "port",
		std::to_string(Original.GetEndpoint().Port)});
	ASSERT_TRUE(Capturer.IsStarted());
	if (!Capturer.WaitForError("listening on", 20s))
	{
		const FProcessResult Failed = Capturer.Finish(5s);
		if (SaysCapturingIsNotPermitted(Failed.Err))
		{
			GTEST_SKIP() << "capturing on the loopback interface is not permitted here (tcpdump needs root or CAP_NET_RAW): " << Failed.Err;
		}
		FAIL() << "tcpdump did not start capturing: " << Failed.Err;
	}

	const FProcessResult Sent = RunSender({"--endpoint", Original.GetEndpoint().ToString(), "--count", std::to_string(StreamLength),
		"--rate", "50", "--record", "toggle:0.1", "--start-frame", "100", "--quiet"});
	ASSERT_EQ(Sent.ExitCode, 0) << Sent.Err;
	std::vector<std::string> Expected;
	for (int Index = 0; Index < StreamLength; ++Index)
	{
		const std::optional<std::string> Datagram = Original.Receive(10s);
		ASSERT_TRUE(Datagram.has_value()) << "datagram " << Index;
		Expected.push_back(*Datagram);
	}

	// Received here does not mean written there yet: tcpdump is another process.
	const bool bAllCaptured = AwaitFile(
		Capture.Get(), [&Capture] { return LoadCapture(Capture.Get(), "").Capture.Datagrams.size() >= StreamLength; }, 20s);
	Capturer.Signal(SIGINT);
	const FProcessResult Captured = Capturer.Finish(10s);
	ASSERT_TRUE(bAllCaptured) << Captured.Err;
	EXPECT_FALSE(Captured.bTimedOut);
	EXPECT_EQ(Captured.ExitCode, 0) << Captured.Err;

	FLoopbackReceiver Fresh;
	ASSERT_TRUE(Fresh.IsBound());
	const FProcessResult Replayed =
		RunSender({"--endpoint", Fresh.GetEndpoint().ToString(), "--replay-pcap", Capture.Get(), "--speed", "4"});
	ASSERT_EQ(Replayed.ExitCode, 0) << Replayed.Err;
	EXPECT_NE(Replayed.Out.find(std::to_string(StreamLength) + " datagrams sent"), std::string::npos) << Replayed.Out;
	std::vector<std::string> Received;
	while (const std::optional<std::string> Datagram = Fresh.Receive(Received.size() < StreamLength ? 10s : 0ms))
	{
		Received.push_back(*Datagram);
	}
	EXPECT_EQ(Received, Expected);
}
