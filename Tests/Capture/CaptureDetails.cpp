#include "CaptureTestSupport.h"
#include "LiveLinkClient.h"
#include "Misc/Paths.h"
#include "SourceTestSupport.h"
#include "TavrixCaptureFile.h"
#include "TavrixLiveLinkSourceSettings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

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
		return Client.SetSourceSettingsProperty(Guid, FName(TEXT("bCaptureRawDatagrams")), bCapture ? TEXT("True") : TEXT("False"));
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
