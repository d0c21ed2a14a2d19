#include "SourceTestSupport.h"

#include "LiveLinkClientTesting.h"
#include "LoopbackMulticast.h"
#include "Misc/Paths.h"
#include "TavrixCaptureFile.h"
#include "TavrixLiveLinkSourceSettings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

namespace
{
/** A source on the test group, added to a client, with the details object Live Link made for it. */
struct FGroupSource
{
	explicit FGroupSource(uint16 Port)
		: Source(MakeShared<FTavrixLiveLinkSource>(FIPv4Endpoint(FIPv4Address(TestMulticastGroup), Port), true, false, false))
	{
		Guid = Client.AddSource(Source);
		ULiveLinkSourceSettings* Settings = Client.GetSourceSettings(Guid);
		Details = Settings != nullptr && Settings->IsA(UTavrixLiveLinkSourceSettings::StaticClass())
			? static_cast<UTavrixLiveLinkSourceSettings*>(Settings)
			: nullptr;
	}
	~FGroupSource()
	{
		Source.Reset();
		Client.RemoveAllSources();
	}

	FLiveLinkClient Client;
	TSharedPtr<FTavrixLiveLinkSource> Source;
	FGuid Guid;
	UTavrixLiveLinkSourceSettings* Details = nullptr;
};

// Two sources on one group and port, as two editors on one machine would be: each gets every datagram, with the
// details and status a unicast source shows, and the capture names the group as the datagrams' destination.
TEST(MulticastReceiving, EverySourceOnTheGroupGetsEveryDatagram)
{
	if (const std::optional<std::string> Why = WhyLocalMulticastIsUnavailable())
	{
		GTEST_SKIP() << *Why;
	}
	const std::filesystem::path Project = std::filesystem::path(::testing::TempDir()) / ("multicast-" + std::to_string(::getpid()));
	std::filesystem::create_directories(Project);
	FPaths::SetProjectDir(FString::FromUtf8(Project.string()));

	const uint16 Port = FreeLoopbackPort();
	FGroupSource First(Port);
	FGroupSource Second(Port);
	ASSERT_NE(First.Details, nullptr);
	ASSERT_NE(Second.Details, nullptr);
	for (const FGroupSource* Member : {&First, &Second})
	{
		FTavrixLiveLinkSourceInspector Inspector(*Member->Source);
		ASSERT_TRUE(Inspector.HasThread()) << "a source could not join the group";
		EXPECT_EQ(Inspector.GetBoundPort(), Port);
		EXPECT_EQ(Member->Source->GetSourceStatus().ToString(), TEXT("Receiving"));
	}
	ASSERT_TRUE(First.Source->SetCaptureRawDatagrams(true)) << First.Source->GetCaptureStatus().Error.ToUtf8();

	FLocalMulticastSender Sender;
	constexpr int Messages = 40;
	for (int Frame = 1; Frame <= Messages; ++Frame)
	{
		ASSERT_EQ(Sender.SendTo(Port, CameraMessageWithFrame(Frame)), "");
	}
	for (FGroupSource* Member : {&First, &Second})
	{
		FTavrixLiveLinkSourceInspector Inspector(*Member->Source);
		ASSERT_TRUE(WaitUntil([&] {
			Member->Client.Tick();
			return Member->Details->DatagramsReceived >= Messages;
		})) << Member->Details->DatagramsReceived;
		EXPECT_EQ(Member->Details->DatagramsReceived, Messages);
		EXPECT_EQ(Member->Details->DatagramsRejected, 0);
		EXPECT_EQ(Member->Details->TimecodeGaps, 0);
		EXPECT_EQ(Inspector.GetDecodedCameraCount(), static_cast<uint64>(Messages));
		EXPECT_EQ(Inspector.GetReceivedState().Timecode[0], Messages);
		const std::string LastSender = Member->Details->LastSender.ToUtf8();
		EXPECT_TRUE(LastSender.ends_with(":" + std::to_string(Sender.GetPort()))) << LastSender;
		EXPECT_EQ(Member->Source->GetSourceStatus().ToString(), TEXT("Receiving"));
	}

	EXPECT_FALSE(First.Source->SetCaptureRawDatagrams(false));
	const FTavrixCaptureStatus Status = First.Source->GetCaptureStatus();
	EXPECT_EQ(Status.CapturedDatagrams, static_cast<uint64>(Messages));
	const std::string ToTheGroup = "dst host " + FIPv4Address(TestMulticastGroup).ToString().ToUtf8() + " and dst port " +
		std::to_string(Port) + " and src port " + std::to_string(Sender.GetPort());
	const TavrixSend::FTavrixCaptureLoad Load = TavrixSend::LoadCapture(Status.FilePath.ToUtf8(), ToTheGroup);
	ASSERT_EQ(Load.Problem, TavrixSend::ETavrixCaptureProblem::None) << Load.Error;
	ASSERT_EQ(Load.Capture.Datagrams.size(), static_cast<size_t>(Messages)) << "the capture does not name the group as destination";
	EXPECT_EQ(Load.Capture.Datagrams.back().Payload, CameraMessageWithFrame(Messages));

	FPaths::SetProjectDir(FString());
	std::error_code Ignored;
	std::filesystem::remove_all(Project, Ignored);
}
} // namespace
