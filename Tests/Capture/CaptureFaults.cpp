#include "CaptureTestSupport.h"
#include "HAL/RunnableThread.h"
#include "LogCapture.h"
#include "Misc/Paths.h"
#include "SourceTestSupport.h"
#include "TavrixCaptureFile.h"
#include "TavrixCaptureWriter.h"
#include "HAL/RunnableThreadTesting.h"

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <fstream>
#include <sstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace CaptureTest;

namespace
{
const FIPv4Endpoint LocalEndpoint(FIPv4Address::InternalLoopback, 9001);

int CountModuleErrors(const FLogCapture& Log)
{
	int Count = 0;
	for (const FLogCapture::FLine& Line : Log.GetLines())
	{
		Count += Line.Category == "ModuleLog" && Line.Verbosity == ELogVerbosity::Error ? 1 : 0;
	}
	return Count;
}

/** The file holds whole records only, all of which tcpdump (when installed) and the replay reader read. */
void ExpectReadableCapture(const std::string& InPath, uint64 InRecords, const std::optional<std::string>& InTcpdump)
{
	if (InRecords == 0)
	{
		EXPECT_EQ(FileSize(InPath), 24) << InPath;
		return;
	}
	const TavrixSend::FTavrixCaptureLoad Load = TavrixSend::LoadCapture(InPath, "");
	ASSERT_EQ(Load.Problem, TavrixSend::ETavrixCaptureProblem::None) << Load.Error;
	EXPECT_TRUE(Load.Capture.ReadError.empty()) << InPath << ": " << Load.Capture.ReadError;
	EXPECT_EQ(Load.Capture.Datagrams.size(), InRecords) << InPath;
	if (InTcpdump)
	{
		const FTcpdumpReading Reading = ReadWithTcpdump(*InTcpdump, InPath);
		EXPECT_EQ(Reading.ExitCode, 0) << Reading.Err;
		EXPECT_EQ(Reading.Err.find("truncated"), std::string::npos) << Reading.Err;
		EXPECT_EQ(Reading.Packets.size(), InRecords) << InPath;
	}
}

/** Sends camera messages to a port from a thread of its own until destroyed; counts what it sent. */
class FStreamingSender
{
public:
	explicit FStreamingSender(uint16 InPort)
		: Thread([this, InPort] { Run(InPort); })
	{
	}
	~FStreamingSender()
	{
		bStop = true;
		Thread.join();
	}
	uint64 GetSent() const { return Sent.load(); }

private:
	void Run(uint16 InPort)
	{
		FLoopbackUdp Sender;
		for (int Frame = 0; !bStop; ++Frame)
		{
			Sent += Sender.SendTo(InPort, CameraMessageWithFrame(Frame)) ? 1 : 0;
			// About 2,000 a second: steady traffic without flooding a slowed-down receiver.
			if (Frame % 4 == 0)
			{
				std::this_thread::sleep_for(std::chrono::milliseconds(2));
			}
		}
	}

	std::atomic<bool> bStop{false};
	std::atomic<uint64> Sent{0};
	std::thread Thread;
};
} // namespace

TEST(CaptureFaults, FolderThatCannotBeMadeFailsStartWithOneError)
{
	FTempFolder Folder;
	// A regular file where a folder should be stops root as surely as anyone.
	const std::string Blocker = Folder.Get() + "/NotAFolder";
	std::ofstream(Blocker) << "file";
	const int Descriptors = CountOpenDescriptors();
	const int32 Threads = FRunnableThreadTesting::GetLiveThreadCount();

	FLogCapture Log;
	FTavrixCaptureWriter Writer;
	EXPECT_FALSE(Writer.Start(FString::FromUtf8(Blocker + "/Captures"), LocalEndpoint));
	const FTavrixCaptureStatus Status = Writer.GetStatus();
	EXPECT_TRUE(Status.bFailed);
	EXPECT_FALSE(Status.bCapturing);
	EXPECT_FALSE(Writer.IsCapturing());
	EXPECT_NE(Status.Error.ToUtf8().find("NotAFolder/Captures"), std::string::npos) << Status.Error.ToUtf8();
	EXPECT_EQ(CountModuleErrors(Log), 1);
	const uint8 Byte = 'x';
	EXPECT_FALSE(Writer.Enqueue(1, 1, 1, &Byte, 1));
	EXPECT_EQ(CountOpenDescriptors(), Descriptors);
	EXPECT_EQ(FRunnableThreadTesting::GetLiveThreadCount(), Threads);

	// The next start in a usable folder works and forgets the failure.
	ASSERT_TRUE(Writer.Start(Folder.GetFString(), LocalEndpoint));
	EXPECT_FALSE(Writer.GetStatus().bFailed);
	Writer.Stop();
}

TEST(CaptureFaults, SourceReceivesOnWhenItsCaptureCannotStart)
{
	FTempFolder Folder;
	const std::string Blocker = Folder.Get() + "/Project";
	std::ofstream(Blocker) << "file";
	FPaths::SetProjectDir(FString::FromUtf8(Blocker));

	FLogCapture Log;
	std::shared_ptr<FTavrixLiveLinkSource> Source = MakeLoopbackSource();
	FTavrixLiveLinkSourceInspector Inspector(*Source);
	EXPECT_FALSE(Source->SetCaptureRawDatagrams(true));
	EXPECT_TRUE(Source->GetCaptureStatus().bFailed);
	EXPECT_EQ(CountModuleErrors(Log), 1);

	FLoopbackUdp Sender;
	ASSERT_TRUE(Sender.SendTo(static_cast<uint16>(Inspector.GetBoundPort()), CameraMessageWithFrame(1)));
	EXPECT_TRUE(WaitUntil([&Inspector] { return Inspector.GetDecodedCameraCount() == 1; }));
	FPaths::SetProjectDir(FString());
}

TEST(CaptureFaults, FullDiskEndsTheCaptureAtItsLastWholeRecord)
{
	FTempFolder Folder;
	constexpr int PayloadSize = 300;
	constexpr int RecordSize = TavrixPcapFormat::RecordOverhead + PayloadSize;
	constexpr int Offered = 100;
	// The limit falls inside the 13th record, so the system writes part of it before refusing.
	constexpr rlim_t Limit = 24 + 12 * RecordSize + RecordSize / 2;

	// A file-size limit is the process's: the writing runs in a child, which reports back through a pipe.
	int Pipe[2];
	ASSERT_EQ(::pipe(Pipe), 0);
	const pid_t Child = ::fork();
	ASSERT_GE(Child, 0);
	if (Child == 0)
	{
		::close(Pipe[0]);
		std::signal(SIGXFSZ, SIG_IGN);
		const rlimit FileSize{Limit, Limit};
		::setrlimit(RLIMIT_FSIZE, &FileSize);
		const int Descriptors = CountOpenDescriptors();
		const int32 Threads = FRunnableThreadTesting::GetLiveThreadCount();
		std::ostringstream Report;
		{
			FLogCapture Log;
			FTavrixCaptureWriter Writer;
			const bool bStarted = Writer.Start(Folder.GetFString(), LocalEndpoint);
			const std::string Payload(PayloadSize, 'D');
			for (int Index = 0; Index < Offered; ++Index)
			{
				Writer.Enqueue(Index, 1, 2, reinterpret_cast<const uint8*>(Payload.data()), PayloadSize);
			}
			Writer.Stop();
			const FTavrixCaptureStatus Status = Writer.GetStatus();
			Report << bStarted << " " << Status.CapturedDatagrams << " " << Status.DroppedDatagrams << " " << Status.bFailed << " "
				   << CountModuleErrors(Log) << " " << Status.FilePath.ToUtf8() << "\n";
		}
		Report << CountOpenDescriptors() - Descriptors << " " << FRunnableThreadTesting::GetLiveThreadCount() - Threads << "\n";
		const std::string Text = Report.str();
		const bool bWritten = ::write(Pipe[1], Text.data(), Text.size()) == static_cast<ssize_t>(Text.size());
		::_exit(bWritten ? 0 : 1);
	}
	::close(Pipe[1]);
	std::string Text;
	char Buffer[512];
	for (ssize_t Read = 0; (Read = ::read(Pipe[0], Buffer, sizeof(Buffer))) > 0;)
	{
		Text.append(Buffer, static_cast<size_t>(Read));
	}
	::close(Pipe[0]);
	int ExitStatus = 0;
	ASSERT_EQ(::waitpid(Child, &ExitStatus, 0), Child);
	ASSERT_TRUE(WIFEXITED(ExitStatus) && WEXITSTATUS(ExitStatus) == 0) << Text;

	std::istringstream Report(Text);
	bool bStarted = false;
	uint64 Captured = 0;
	uint64 Dropped = 0;
	bool bFailed = false;
	int Errors = 0;
	std::string Path;
	int LeakedDescriptors = -1;
	int LeakedThreads = -1;
	Report >> bStarted >> Captured >> Dropped >> bFailed >> Errors >> Path >> LeakedDescriptors >> LeakedThreads;
	ASSERT_TRUE(bStarted) << Text;
	EXPECT_TRUE(bFailed) << Text;
	EXPECT_EQ(Errors, 1) << Text;
	EXPECT_EQ(Captured, 12u) << Text;
	EXPECT_EQ(Captured + Dropped, static_cast<uint64>(Offered)) << Text;
	EXPECT_EQ(LeakedDescriptors, 0) << Text;
	EXPECT_EQ(LeakedThreads, 0) << Text;
	EXPECT_EQ(FileSize(Path), 24 + 12 * RecordSize);
	ExpectReadableCapture(Path, 12, FindTool("tcpdump"));
}

TEST(CaptureFaults, ThousandStartsAndStopsWhileStreamingLeaveCompleteFiles)
{
	FTempFolder Project;
	FPaths::SetProjectDir(Project.GetFString());
	// ThreadSanitizer starts a helper thread of its own with the process's second thread: one made and ended
	// beforehand keeps it out of the count.
	std::thread([] {}).join();
	const int Descriptors = CountOpenDescriptors();
	const int SystemThreads = CountThreads();
	const int32 Threads = FRunnableThreadTesting::GetLiveThreadCount();

	std::vector<FTavrixCaptureStatus> Captures;
	{
		std::shared_ptr<FTavrixLiveLinkSource> Source = MakeLoopbackSource(false, false, false);
		FTavrixLiveLinkSourceInspector Inspector(*Source);
		FStreamingSender Sender(static_cast<uint16>(Inspector.GetBoundPort()));
		for (int Toggle = 0; Toggle < 1000; ++Toggle)
		{
			ASSERT_TRUE(Source->SetCaptureRawDatagrams(true)) << Source->GetCaptureStatus().Error.ToUtf8();
			EXPECT_FALSE(Source->SetCaptureRawDatagrams(false));
			Captures.push_back(Source->GetCaptureStatus());
		}
		EXPECT_GT(Sender.GetSent(), 0u);
	}

	const std::vector<std::string> Files = ListCaptures(Project.Get() + "/Saved/TavrixCaptures");
	EXPECT_EQ(Files.size(), Captures.size());
	const std::optional<std::string> Tcpdump = FindTool("tcpdump");
	uint64 Captured = 0;
	int Checked = 0;
	for (const FTavrixCaptureStatus& Capture : Captures)
	{
		EXPECT_FALSE(Capture.bFailed) << Capture.Error.ToUtf8();
		EXPECT_EQ(Capture.DroppedDatagrams, 0u);
		Captured += Capture.CapturedDatagrams;
		// tcpdump is a process per file: a few files with records are enough for it.
		const bool bWithTcpdump = Capture.CapturedDatagrams > 0 && Checked < 5;
		Checked += bWithTcpdump ? 1 : 0;
		ExpectReadableCapture(Capture.FilePath.ToUtf8(), Capture.CapturedDatagrams, bWithTcpdump ? Tcpdump : std::nullopt);
	}
	EXPECT_GT(Captured, 0u) << "no datagram arrived while capturing";
	EXPECT_EQ(CountOpenDescriptors(), Descriptors);
	EXPECT_EQ(FRunnableThreadTesting::GetLiveThreadCount(), Threads);
	EXPECT_TRUE(WaitUntil([SystemThreads] { return CountThreads() == SystemThreads; }))
		<< CountThreads() << " threads, " << SystemThreads << " before";
	FPaths::SetProjectDir(FString());
}

TEST(CaptureFaults, SourceShutDownMidCaptureClosesACompleteFile)
{
	FTempFolder Project;
	FPaths::SetProjectDir(Project.GetFString());
	const int Descriptors = CountOpenDescriptors();
	const int32 Threads = FRunnableThreadTesting::GetLiveThreadCount();

	FString Path;
	{
		std::shared_ptr<FTavrixLiveLinkSource> Source = MakeLoopbackSource(false, false, false);
		FTavrixLiveLinkSourceInspector Inspector(*Source);
		FStreamingSender Sender(static_cast<uint16>(Inspector.GetBoundPort()));
		ASSERT_TRUE(Source->SetCaptureRawDatagrams(true));
		Path = Source->GetCaptureStatus().FilePath;
		// The stream began before the capture: of what is decoded from here on, at most the datagram being decoded
		// at this moment was received before it.
		const uint64 DecodedAtStart = Inspector.GetDecodedCameraCount();
		ASSERT_TRUE(WaitUntil([&Inspector, DecodedAtStart] { return Inspector.GetDecodedCameraCount() >= DecodedAtStart + 51; }));
		// The shut-down request first, as the client makes it, then the release, with datagrams still arriving.
		Source->RequestSourceShutdown();
		Source.reset();
	}

	const TavrixSend::FTavrixCaptureLoad Load = TavrixSend::LoadCapture(Path.ToUtf8(), "");
	ASSERT_EQ(Load.Problem, TavrixSend::ETavrixCaptureProblem::None) << Load.Error;
	EXPECT_GE(Load.Capture.Datagrams.size(), 50u);
	ExpectReadableCapture(Path.ToUtf8(), Load.Capture.Datagrams.size(), FindTool("tcpdump"));
	EXPECT_EQ(CountOpenDescriptors(), Descriptors);
	EXPECT_EQ(FRunnableThreadTesting::GetLiveThreadCount(), Threads);
	FPaths::SetProjectDir(FString());
}
