#include "CaptureTestSupport.h"
#include "LiveLinkClient.h"
#include "Misc/Paths.h"
#include "SourceTestSupport.h"
#include "TavrixCaptureFile.h"
#include "TavrixLiveLinkSourceSettings.h"
#include "LiveLinkClientTesting.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace CaptureTest;

namespace
{
/** A receiving source added to a client under a fresh project, with the details object Live Link made for it. */
class FCaptureDetailsHarness
{
public:
	explicit FCaptureDetailsHarness(const FString& InProjectDir)
	{
		FPaths::SetProjectDir(InProjectDir);
		Source = MakeLoopbackSource(false, false, false);
		Port = static_cast<uint16>(FTavrixLiveLinkSourceInspector(*Source).GetBoundPort());
		Guid = Client.AddSource(TSharedPtr<ILiveLinkSource>(Source));
		ULiveLinkSourceSettings* Settings = Client.GetSourceSettings(Guid);
		Details = Settings != nullptr && Settings->IsA(UTavrixLiveLinkSourceSettings::StaticClass())
			? static_cast<UTavrixLiveLinkSourceSettings*>(Settings)
			: nullptr;
	}
	~FCaptureDetailsHarness()
	{
		Source.reset();
		Client.RemoveAllSources();
		FPaths::SetProjectDir(FString());
	}

	/** As the details panel does when the user ticks or clears the box. */
	bool SetCapture(bool bCapture)
	{
		return FLiveLinkClientTesting::SetSourceSettingsProperty(
			Client, Guid, FName(TEXT("bCaptureRawDatagrams")), bCapture ? TEXT("True") : TEXT("False"));
	}

	FLiveLinkClient Client;
	std::shared_ptr<FTavrixLiveLinkSource> Source;
	uint16 Port = 0;
	FGuid Guid;
	UTavrixLiveLinkSourceSettings* Details = nullptr;
};
} // namespace

TEST(CaptureDetails, TickingTheBoxCapturesAndClearingItClosesTheFile)
{
	FTempFolder Project;
	FCaptureDetailsHarness Harness(Project.GetFString());
	ASSERT_NE(Harness.Details, nullptr);
	ASSERT_TRUE(Harness.SetCapture(true));
	ASSERT_TRUE(Harness.Details->bCaptureRawDatagrams) << Harness.Details->CaptureError.ToUtf8();
	const std::string First = Harness.Details->CaptureFile.ToUtf8();
	EXPECT_EQ(First.rfind(Project.Get() + "/Saved/TavrixCaptures/", 0), 0u) << First;

	FLoopbackUdp Sender;
	constexpr int Messages = 20;
	for (int Frame = 0; Frame < Messages; ++Frame)
	{
		ASSERT_TRUE(Sender.SendTo(Harness.Port, CameraMessageWithFrame(Frame)));
	}
	// The details follow the writer on the tick.
	ASSERT_TRUE(WaitUntil([&] {
		Harness.Client.Tick();
		return Harness.Details->DatagramsCaptured == Messages;
	})) << Harness.Details->DatagramsCaptured;
	EXPECT_EQ(Harness.Details->DatagramsDroppedFromCapture, 0);

	ASSERT_TRUE(Harness.SetCapture(false));
	EXPECT_FALSE(Harness.Source->GetCaptureStatus().bCapturing);
	const TavrixSend::FTavrixCaptureLoad Load = TavrixSend::LoadCapture(First, "");
	ASSERT_EQ(Load.Problem, TavrixSend::ETavrixCaptureProblem::None) << Load.Error;
	EXPECT_EQ(Load.Capture.Datagrams.size(), size_t(Messages));

	// Ticked again, the box starts a new file and leaves the first one as it was.
	ASSERT_TRUE(Harness.SetCapture(true));
	EXPECT_TRUE(Harness.Details->bCaptureRawDatagrams);
	EXPECT_NE(Harness.Details->CaptureFile.ToUtf8(), First);
	EXPECT_EQ(Harness.Details->DatagramsCaptured, 0);
	EXPECT_EQ(ListCaptures(Project.Get() + "/Saved/TavrixCaptures").size(), 2u);
}

TEST(CaptureDetails, TheFileIsShownAsAFullPathThoughTheSavedFolderIsRelative)
{
	FTempFolder Project;
	FCaptureDetailsHarness Harness(Project.GetFString());
	ASSERT_NE(Harness.Details, nullptr);
	// As in the editor, where it is relative to the binaries folder.
	ASSERT_TRUE(std::filesystem::path(FPaths::ProjectSavedDir().ToUtf8()).is_relative()) << FPaths::ProjectSavedDir().ToUtf8();
	ASSERT_TRUE(Harness.SetCapture(true));
	ASSERT_TRUE(Harness.Details->bCaptureRawDatagrams) << Harness.Details->CaptureError.ToUtf8();

	const std::filesystem::path Shown(Harness.Details->CaptureFile.ToUtf8());
	EXPECT_TRUE(Shown.is_absolute()) << Shown;
	EXPECT_EQ(Shown, Shown.lexically_normal()) << "no '.' or '..' left in " << Shown;
	EXPECT_EQ(Harness.Details->CaptureFile.ToUtf8().find('\\'), std::string::npos) << Shown;
	ASSERT_TRUE(std::filesystem::exists(Shown)) << Shown;
	EXPECT_TRUE(std::filesystem::equivalent(Shown.parent_path(), std::filesystem::path(Project.Get()) / "Saved" / "TavrixCaptures"))
		<< Shown;
	ASSERT_TRUE(Harness.SetCapture(false));
}

TEST(CaptureDetails, CaptureThatCannotStartClearsTheBoxAndSaysWhyWhileReceivingGoesOn)
{
	FTempFolder Project;
	// A file where the Saved folder belongs: no folder can be made under it, even by root.
	std::ofstream(Project.Get() + "/Saved") << "not a folder";
	FCaptureDetailsHarness Harness(Project.GetFString());
	ASSERT_NE(Harness.Details, nullptr);
	ASSERT_TRUE(Harness.SetCapture(true));
	EXPECT_FALSE(Harness.Details->bCaptureRawDatagrams) << "the details claim a capture that is not being written";
	EXPECT_FALSE(Harness.Details->CaptureError.IsEmpty());

	FLoopbackUdp Sender;
	ASSERT_TRUE(Sender.SendTo(Harness.Port, CameraMessageWithFrame(1)));
	EXPECT_TRUE(WaitUntil([&] {
		Harness.Client.Tick();
		return Harness.Details->DatagramsReceived == 1;
	}));
	EXPECT_EQ(Harness.Details->DatagramsCaptured, 0);
}

TEST(CaptureDetails, DatagramsFromSendersThatAreNotAcceptedAreCapturedThoughNeverDecoded)
{
	FTempFolder Project;
	FCaptureDetailsHarness Harness(Project.GetFString());
	ASSERT_NE(Harness.Details, nullptr);
	ASSERT_TRUE(
		FLiveLinkClientTesting::SetSourceSettingsProperty(Harness.Client, Harness.Guid, FName(TEXT("AcceptedSenders")), TEXT("127.0.0.1")));
	ASSERT_TRUE(Harness.SetCapture(true));
	ASSERT_TRUE(Harness.Details->bCaptureRawDatagrams) << Harness.Details->CaptureError.ToUtf8();
	const std::string File = Harness.Details->CaptureFile.ToUtf8();

	// The capture shows what was on the wire: the stranger's datagram as well as the tracker's.
	FLoopbackUdp Stranger(0, (127u << 24) | 2u);
	FLoopbackUdp Tracker;
	ASSERT_TRUE(Stranger.SendTo(Harness.Port, CameraMessageWithFrame(1)));
	ASSERT_TRUE(Tracker.SendTo(Harness.Port, CameraMessageWithFrame(2)));
	ASSERT_TRUE(WaitUntil([&] {
		Harness.Client.Tick();
		return Harness.Details->DatagramsCaptured == 2;
	})) << Harness.Details->DatagramsCaptured;
	EXPECT_EQ(Harness.Details->DatagramsReceived, 1);
	EXPECT_EQ(Harness.Details->DatagramsFromOtherSenders, 1);

	ASSERT_TRUE(Harness.SetCapture(false));
	const TavrixSend::FTavrixCaptureLoad Load = TavrixSend::LoadCapture(File, "");
	ASSERT_EQ(Load.Problem, TavrixSend::ETavrixCaptureProblem::None) << Load.Error;
	ASSERT_EQ(Load.Capture.Datagrams.size(), 2u);
	std::vector<std::string> Payloads{Load.Capture.Datagrams[0].Payload, Load.Capture.Datagrams[1].Payload};
	std::sort(Payloads.begin(), Payloads.end());
	EXPECT_EQ(Payloads, (std::vector<std::string>{CameraMessageWithFrame(1), CameraMessageWithFrame(2)}));
}
