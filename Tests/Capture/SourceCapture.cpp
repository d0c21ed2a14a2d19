#include "CaptureTestSupport.h"
#include "Misc/Paths.h"
#include "SourceTestSupport.h"
#include "TavrixCaptureFile.h"
#include "TavrixSender.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

using namespace CaptureTest;

namespace
{
/** Datagrams the system dropped for the UDP socket bound to 127.0.0.1:InPort (its receive buffer was full). */
uint64_t KernelDrops(uint16 InPort)
{
	char SocketTableAddress[32];
	std::snprintf(SocketTableAddress, sizeof(SocketTableAddress), "0100007F:%04X", static_cast<unsigned>(InPort));
	std::ifstream Table("/proc/net/udp");
	std::string Line;
	std::getline(Table, Line);
	while (std::getline(Table, Line))
	{
		std::istringstream Fields(Line);
		std::string Slot, Local;
		Fields >> Slot >> Local;
		if (Local != SocketTableAddress)
		{
			continue;
		}
		// The drop count is the line's last field.
		std::string Field, Last;
		while (Fields >> Field)
		{
			Last = Field;
		}
		return std::stoull(Last);
	}
	return 0;
}

#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
constexpr bool bSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool bSanitized = true;
#else
constexpr bool bSanitized = false;
#endif
#else
constexpr bool bSanitized = false;
#endif
} // namespace

TEST(SourceCapture, EveryReceivedDatagramIsInTheFileAndDecoded)
{
	FTempFolder Project;
	FPaths::SetProjectDir(Project.GetFString());
	std::shared_ptr<FTavrixLiveLinkSource> Source = MakeLoopbackSource(false, false, false);
	FTavrixLiveLinkSourceInspector Inspector(*Source);
	const uint16 SourcePort = static_cast<uint16>(Inspector.GetBoundPort());
	ASSERT_TRUE(Source->SetCaptureRawDatagrams(true)) << Source->GetCaptureStatus().Error.ToUtf8();
	EXPECT_TRUE(Source->SetCaptureRawDatagrams(true)) << "a second start keeps the capture";

	FLoopbackUdp Sender;
	std::vector<std::string> Sent;
	constexpr int Messages = 200;
	for (int Frame = 0; Frame < Messages; ++Frame)
	{
		Sent.push_back(CameraMessageWithFrame(Frame));
		// An empty datagram is captured, though nothing is decoded of it.
		if (Frame == 100)
		{
			Sent.push_back(std::string());
		}
	}
	for (const std::string& Payload : Sent)
	{
		ASSERT_TRUE(Sender.SendTo(SourcePort, Payload));
	}
	ASSERT_TRUE(WaitUntil([&Inspector] { return Inspector.GetDecodedCameraCount() == Messages; }));
	// The empty datagram went in before the last camera message, which is decoded: everything has been received.
	EXPECT_FALSE(Source->SetCaptureRawDatagrams(false));

	const FTavrixCaptureStatus Status = Source->GetCaptureStatus();
	EXPECT_EQ(Status.CapturedDatagrams, Sent.size());
	EXPECT_EQ(Status.DroppedDatagrams, 0u);
	const std::string Path = Status.FilePath.ToUtf8();
	EXPECT_EQ(Path.rfind(Project.Get() + "/Saved/TavrixCaptures/Tavrix-", 0), 0u) << Path;

	const std::string Ends = "src host 127.0.0.1 and src port " + std::to_string(Sender.GetPort()) +
		" and dst host 127.0.0.1 and dst port " + std::to_string(SourcePort);
	const TavrixSend::FTavrixCaptureLoad Load = TavrixSend::LoadCapture(Path, Ends);
	ASSERT_EQ(Load.Problem, TavrixSend::ETavrixCaptureProblem::None) << Load.Error;
	EXPECT_EQ(Load.Capture.Skipped.Total(), 0u) << Load.Capture.Skipped.Describe();
	ASSERT_EQ(Load.Capture.Datagrams.size(), Sent.size());
	for (size_t Index = 0; Index < Sent.size(); ++Index)
	{
		EXPECT_EQ(Load.Capture.Datagrams[Index].Payload, Sent[Index]) << "datagram " << Index;
		if (Index > 0)
		{
			EXPECT_GE(Load.Capture.Datagrams[Index].Timestamp, Load.Capture.Datagrams[Index - 1].Timestamp) << "datagram " << Index;
		}
	}
	const auto Now = std::chrono::system_clock::now().time_since_epoch();
	EXPECT_LE(Load.Capture.Datagrams.back().Timestamp, Now);
	EXPECT_GT(Load.Capture.Datagrams.front().Timestamp, Now - std::chrono::minutes(5));
	FPaths::SetProjectDir(FString());
}

TEST(SourceCapture, TenThousandDatagramsASecondAreAllDecodedAndAccountedFor)
{
	// Two seconds in the normal suite; TAVRIX_CAPTURE_FULL_THROUGHPUT=1 runs the full ten.
	const char* Full = std::getenv("TAVRIX_CAPTURE_FULL_THROUGHPUT");
	const int Seconds = Full != nullptr && std::string(Full) == "1" ? 10 : 2;
	FTempFolder Project;
	FPaths::SetProjectDir(Project.GetFString());
	std::shared_ptr<FTavrixLiveLinkSource> Source = MakeLoopbackSource(false, false, false);
	FTavrixLiveLinkSourceInspector Inspector(*Source);
	const uint16 SourcePort = static_cast<uint16>(Inspector.GetBoundPort());
	ASSERT_TRUE(Source->SetCaptureRawDatagrams(true)) << Source->GetCaptureStatus().Error.ToUtf8();

	std::error_code Error;
	std::unique_ptr<TavrixSend::FTavrixUdpSocket> Socket =
		TavrixSend::FTavrixUdpSocket::Open(TavrixSend::FTavrixEndpoint{0x7F000001, SourcePort}, Error);
	ASSERT_NE(Socket, nullptr) << Error.message();
	TavrixSend::FTavrixPacing Pacing;
	Pacing.RateHz = 10'000;
	Pacing.MaxDuration = std::chrono::seconds(Seconds);
	TavrixSend::FTavrixSendThread SendThread(
		std::make_unique<TavrixSend::FTavrixCameraPayloads>(TavrixSend::FTavrixCameraScript{}), std::move(Socket), Pacing);
	const TavrixSend::FTavrixSendReport Report = SendThread.Join();
	ASSERT_GT(Report.Sent, 0u);

	// Everything sent is either decoded or was dropped by the system before the source could read it.
	const auto Accounted = [&] { return Inspector.GetDecodedCameraCount() + KernelDrops(SourcePort) >= Report.Sent; };
	EXPECT_TRUE(WaitUntil(Accounted, std::chrono::seconds(60)));
	Source->SetCaptureRawDatagrams(false);
	const uint64 Decoded = Inspector.GetDecodedCameraCount();
	const uint64 SystemDrops = KernelDrops(SourcePort);
	const FTavrixCaptureStatus Status = Source->GetCaptureStatus();

	std::printf(
		"%d s at 10,000/s: sent %llu (%.0f/s), decoded %llu, dropped by the system %llu, captured %llu, dropped from the capture %llu\n",
		Seconds, static_cast<unsigned long long>(Report.Sent), Report.Sent / std::chrono::duration<double>(Report.Elapsed).count(),
		static_cast<unsigned long long>(Decoded), static_cast<unsigned long long>(SystemDrops),
		static_cast<unsigned long long>(Status.CapturedDatagrams), static_cast<unsigned long long>(Status.DroppedDatagrams));
	EXPECT_EQ(Decoded + SystemDrops, Report.Sent);
	EXPECT_EQ(Status.CapturedDatagrams + Status.DroppedDatagrams, Decoded);
	EXPECT_FALSE(Status.bFailed) << Status.Error.ToUtf8();
	if (!bSanitized)
	{
		// A capture that held up the receive thread would show here first: the socket's buffer overflowing.
		EXPECT_EQ(SystemDrops, 0u);
	}
	const TavrixSend::FTavrixCaptureLoad Load = TavrixSend::LoadCapture(Status.FilePath.ToUtf8(), "");
	ASSERT_EQ(Load.Problem, TavrixSend::ETavrixCaptureProblem::None) << Load.Error;
	EXPECT_TRUE(Load.Capture.ReadError.empty()) << Load.Capture.ReadError;
	EXPECT_EQ(Load.Capture.Datagrams.size(), Status.CapturedDatagrams);
	FPaths::SetProjectDir(FString());
}
