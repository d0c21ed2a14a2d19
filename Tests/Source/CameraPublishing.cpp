#include "DecoderHarness.h"

#include "HAL/PlatformTime.h"
#include "Roles/LiveLinkCameraRole.h"
#include "HAL/PlatformTimeTesting.h"
#include "LiveLinkClientTesting.h"

#include <gtest/gtest.h>

#include <thread>

namespace
{
using namespace std::chrono_literals;

/** A source added to a client, with the client's pushes recorded as they arrive. */
class FPublishingHarness
{
public:
	explicit FPublishingHarness(bool bAutoLens = true)
	{
		TSharedPtr<FTavrixLiveLinkSource> Shared = MakeSharedLoopbackSource(bAutoLens, false, false);
		Source = Shared.Get();
		FLiveLinkClientTesting::OnStaticDataReceived(Client).AddLambda(
			[this](const FLiveLinkSubjectKey&, const FLiveLinkStaticDataStruct&) { ++StaticPushes; });
		FLiveLinkClientTesting::OnFrameDataReceived(Client).AddLambda(
			[this](const FLiveLinkSubjectKey& Key, const FLiveLinkFrameDataStruct& Frame) {
				Frames.push_back(*Frame.Cast<FLiveLinkCameraFrameData>());
				FrameKeys.push_back(Key);
				bLockFreeAtEveryPush = bLockFreeAtEveryPush && FTavrixLiveLinkSourceInspector(*Source).IsDataMutexFree();
			});
		Guid = Client.AddSource(Shared);
	}
	~FPublishingHarness() { Client.RemoveAllSources(); }

	bool Decode(std::string_view Bytes)
	{
		TSharedPtr<TArray<uint8>, ESPMode::ThreadSafe> Data = MakeShared<TArray<uint8>, ESPMode::ThreadSafe>();
		Data->Append(reinterpret_cast<const uint8*>(Bytes.data()), static_cast<int32>(Bytes.size()));
		return Source->ProcessReceivedData(Data);
	}
	FLiveLinkSubjectKey Key() const { return FLiveLinkSubjectKey(Guid, FName("Tavrix - Camera")); }

	FLiveLinkClient Client;
	FTavrixLiveLinkSource* Source = nullptr;
	FGuid Guid;
	int StaticPushes = 0;
	std::vector<FLiveLinkCameraFrameData> Frames;
	std::vector<FLiveLinkSubjectKey> FrameKeys;
	bool bLockFreeAtEveryPush = true;
};

const char* Pose =
	R"({"TVKCamera":[{"Location":[1,2,3],"Rotation":[0.1,0.2,0.3,0.9],"Scale":[1,2,1],"Lens":[35,300,1.5,60],"Timecode":[500,25,1]}]})";

TEST(CameraPublishing, BeforeAnyDatagramOnlyTheStaticDataIsPushedOnce)
{
	FPublishingHarness Harness;
	EXPECT_FALSE(Harness.Source->LiveLinkTick());
	EXPECT_EQ(Harness.StaticPushes, 1);
	EXPECT_FALSE(Harness.Source->LiveLinkTick());
	Harness.Client.Tick();
	EXPECT_EQ(Harness.StaticPushes, 1);
	EXPECT_TRUE(Harness.Frames.empty());
}

TEST(CameraPublishing, StaticDataAnnouncesExactlyTheFourLensValues)
{
	FPublishingHarness Harness;
	// Pushed on the first tick, applied by the second.
	Harness.Client.Tick();
	Harness.Client.Tick();
	EXPECT_EQ(Harness.Client.GetSubjectRole(Harness.Key()).Get(), ULiveLinkCameraRole::StaticClass());
	const FLiveLinkStaticDataStruct StaticData = FLiveLinkClientTesting::GetStaticData(Harness.Client, Harness.Key());
	const FLiveLinkCameraStaticData* Camera = StaticData.Cast<FLiveLinkCameraStaticData>();
	ASSERT_NE(Camera, nullptr);
	EXPECT_TRUE(Camera->bIsFieldOfViewSupported);
	EXPECT_TRUE(Camera->bIsAspectRatioSupported);
	EXPECT_TRUE(Camera->bIsFocalLengthSupported);
	EXPECT_FALSE(Camera->bIsProjectionModeSupported);
	EXPECT_FALSE(Camera->bIsApertureSupported);
	EXPECT_TRUE(Camera->bIsFocusDistanceSupported);
	const FLiveLinkCameraStaticData Defaults;
	EXPECT_EQ(Camera->FilmBackWidth, Defaults.FilmBackWidth);
	EXPECT_TRUE(Camera->PropertyNames.IsEmpty());
}

TEST(CameraPublishing, OneDatagramIsPublishedOnEveryTickWithAFreshWorldTime)
{
	FPublishingHarness Harness;
	Harness.Decode(Pose);
	for (int Tick = 0; Tick < 3; ++Tick)
	{
		Harness.Client.Tick();
		std::this_thread::sleep_for(2ms);
	}
	ASSERT_EQ(Harness.Frames.size(), 3u);
	EXPECT_EQ(Harness.StaticPushes, 1);
	for (size_t Index = 0; Index < Harness.Frames.size(); ++Index)
	{
		const FLiveLinkCameraFrameData& Frame = Harness.Frames[Index];
		EXPECT_EQ(Harness.FrameKeys[Index], Harness.Key());
		EXPECT_EQ(Frame.Transform.GetTranslation(), FVector(1.0f, 2.0f, 3.0f));
		EXPECT_EQ(Frame.Transform.GetRotation(), FQuat(0.1f, 0.2f, 0.3f, 0.9f));
		EXPECT_EQ(Frame.Transform.GetScale3D(), FVector(1.0f, 2.0f, 1.0f));
		EXPECT_GT(Frame.WorldTime.GetOffsettedTime(), 16777216.0);
		if (Index > 0)
		{
			EXPECT_GT(Frame.WorldTime.GetOffsettedTime(), Harness.Frames[Index - 1].WorldTime.GetOffsettedTime());
		}
	}
	EXPECT_TRUE(Harness.bLockFreeAtEveryPush);
}

TEST(CameraPublishing, WorldTimeIsReadFromTheEngineClockAtTheTick)
{
	FPublishingHarness Harness;
	Harness.Decode(Pose);
	// Readings far apart, so that the world time tells which of them it was made from.
	const TArray<uint64> Readings = {5'000'000'000ull, 5'007'000'000ull, 5'007'500'000ull, 5'020'000'000ull};
	FPlatformTimeTesting::ScriptCycles64(Readings);
	Harness.Client.Tick();
	FPlatformTimeTesting::ScriptCycles64({});
	ASSERT_EQ(Harness.Frames.size(), 1u);
	const double WorldTime = Harness.Frames[0].WorldTime.GetOffsettedTime();

	// The engine's clock, FPlatformTime::Seconds: the counter with the engine's bias. The time plus its offset is the
	// later of two consecutive readings: the first is the time, the second minus the first the offset.
	int32 Match = -1;
	for (int32 Index = 1; Index < Readings.Num(); ++Index)
	{
		const double Seconds = static_cast<double>(Readings[Index]) * FPlatformTime::GetSecondsPerCycle64() + 16777216.0;
		if (std::abs(WorldTime - Seconds) < 1e-6)
		{
			Match = Index;
		}
	}
	EXPECT_GE(Match, 1) << "the world time is no engine clock reading: " << WorldTime;
}

TEST(CameraPublishing, SceneTimeStartsOnTheSendersFrameAndKeepsRunningLocally)
{
	FPublishingHarness Harness;
	Harness.Decode(Pose);
	Harness.Client.Tick();
	ASSERT_EQ(Harness.Frames.size(), 1u);
	const FQualifiedFrameTime First = Harness.Frames[0].MetaData.SceneTime;
	EXPECT_EQ(First.Rate, FFrameRate(25, 1));
	// Within half a frame of the sender's frame on the synchronising tick.
	const double FirstTime = First.Time.GetFrame().Value + static_cast<double>(First.Time.GetSubFrame());
	EXPECT_NEAR(FirstTime, 500.0, 0.5);

	// 200 ms later, with no new datagram, the clock has moved on by about five frames.
	FTavrixLiveLinkSourceInspector(*Harness.Source).ShiftStartTimeMs(200);
	Harness.Client.Tick();
	const FQualifiedFrameTime Later = Harness.Frames[1].MetaData.SceneTime;
	const double LaterTime = Later.Time.GetFrame().Value + static_cast<double>(Later.Time.GetSubFrame());
	EXPECT_NEAR(LaterTime - FirstTime, 5.0, 1.0);
}

TEST(CameraPublishing, WithoutATimecodeFramesCarryTheDefaultSceneTime)
{
	FPublishingHarness Harness;
	Harness.Decode(R"({"TVKCamera":[{"Location":[1,2,3]}]})");
	Harness.Client.Tick();
	ASSERT_EQ(Harness.Frames.size(), 1u);
	EXPECT_EQ(Harness.Frames[0].MetaData.SceneTime, FLiveLinkMetaData().SceneTime);
	FTavrixLiveLinkSourceInspector Inspector(*Harness.Source);
	EXPECT_EQ(Inspector.GetFrameRate(), 25.0);
	EXPECT_EQ(Inspector.GetFrameOffset(), -1);

	// A timecode that is lost again keeps the clock's rate and offset.
	Harness.Decode(R"({"TVKCamera":[{"Timecode":[100,30,1]}]})");
	Harness.Client.Tick();
	const int64 Offset = Inspector.GetFrameOffset();
	Harness.Decode(R"({"TVKCamera":[{}]})");
	Harness.Client.Tick();
	EXPECT_EQ(Harness.Frames.back().MetaData.SceneTime, FLiveLinkMetaData().SceneTime);
	EXPECT_EQ(Inspector.GetFrameRate(), 30.0);
	EXPECT_EQ(Inspector.GetFrameOffset(), Offset);
}

TEST(CameraPublishing, LensValuesAreWrittenOnlyWithAutoLens)
{
	FPublishingHarness WithLens(true);
	WithLens.Decode(Pose);
	WithLens.Client.Tick();
	ASSERT_EQ(WithLens.Frames.size(), 1u);
	EXPECT_EQ(WithLens.Frames[0].FocalLength, 35.0f);
	EXPECT_EQ(WithLens.Frames[0].FocusDistance, 300.0f);
	EXPECT_EQ(WithLens.Frames[0].AspectRatio, 1.5f);
	EXPECT_EQ(WithLens.Frames[0].FieldOfView, 60.0f);
	WithLens.Decode(R"({"TVKCamera":[{}]})");
	WithLens.Client.Tick();
	EXPECT_EQ(WithLens.Frames[1].FocalLength, 0.0f);
	EXPECT_EQ(WithLens.Frames[1].FieldOfView, 0.0f);

	FPublishingHarness WithoutLens(false);
	WithoutLens.Decode(Pose);
	WithoutLens.Client.Tick();
	const FLiveLinkCameraFrameData Defaults;
	ASSERT_EQ(WithoutLens.Frames.size(), 1u);
	EXPECT_EQ(WithoutLens.Frames[0].FocalLength, Defaults.FocalLength);
	EXPECT_EQ(WithoutLens.Frames[0].FocusDistance, Defaults.FocusDistance);
	EXPECT_EQ(WithoutLens.Frames[0].AspectRatio, Defaults.AspectRatio);
	EXPECT_EQ(WithoutLens.Frames[0].FieldOfView, Defaults.FieldOfView);
	EXPECT_EQ(WithoutLens.Frames[0].Aperture, Defaults.Aperture);
}

TEST(CameraPublishing, AllZeroRotationIsPublishedUnchanged)
{
	FPublishingHarness Harness;
	Harness.Decode(R"({"TVKCamera":[{"Rotation":[1,2,3]}]})");
	Harness.Client.Tick();
	ASSERT_EQ(Harness.Frames.size(), 1u);
	EXPECT_EQ(Harness.Frames[0].Transform.GetRotation(), FQuat(0.0f, 0.0f, 0.0f, 0.0f));
}

TEST(CameraPublishing, DatagramDecodedBeforeTheClientArrivesIsPublishedOnTheFirstTick)
{
	FLiveLinkClient Client;
	TSharedPtr<FTavrixLiveLinkSource> Source = MakeSharedLoopbackSource(true, false, false);
	FLoopbackUdp Sender;
	FTavrixLiveLinkSourceInspector Inspector(*Source);
	Sender.SendTo(static_cast<uint16_t>(Inspector.GetBoundPort()), Pose);
	ASSERT_TRUE(WaitUntil([&] { return Inspector.HasReceivedData(); }));

	const FGuid Guid = Client.AddSource(Source);
	Source.Reset();
	// Published on the first tick, applied by the second.
	Client.Tick();
	Client.Tick();
	const FLiveLinkFrameDataStruct Frame =
		FLiveLinkClientTesting::GetLatestFrame(Client, FLiveLinkSubjectKey(Guid, FName("Tavrix - Camera")));
	ASSERT_TRUE(Frame.IsValid());
	EXPECT_EQ(Frame.Cast<FLiveLinkCameraFrameData>()->Transform.GetTranslation(), FVector(1.0f, 2.0f, 3.0f));
	Client.RemoveSource(Guid);
}

// Real datagrams over loopback, through the receive thread and the decoder, into frames the client holds.
TEST(CameraPublishing, EndToEndOverLoopback)
{
	FLiveLinkClient Client;
	TSharedPtr<FTavrixLiveLinkSource> Source = MakeSharedLoopbackSource(true, true, false);
	const uint16_t Port = static_cast<uint16_t>(FTavrixLiveLinkSourceInspector(*Source).GetBoundPort());
	const FGuid Guid = Client.AddSource(Source);
	Source.Reset();
	const FLiveLinkSubjectKey Key(Guid, FName("Tavrix - Camera"));

	FLoopbackUdp Sender;
	for (int Frame = 1; Frame <= 20; ++Frame)
	{
		const std::string Message = "{\"TVKCamera\":[{\"Location\":[" + std::to_string(Frame) + ",0,0],\"Timecode\":[" +
			std::to_string(1000 + Frame) + ",25,1],\"Lens\":[50,200,1.77,45]}]}";
		ASSERT_TRUE(Sender.SendTo(Port, Message));
		ASSERT_TRUE(WaitUntil([&] {
			Client.Tick();
			const FLiveLinkFrameDataStruct Latest = FLiveLinkClientTesting::GetLatestFrame(Client, Key);
			return Latest.IsValid() && Latest.Cast<FLiveLinkCameraFrameData>()->Transform.GetTranslation().X == static_cast<float>(Frame);
		}));
	}
	const FLiveLinkFrameDataStruct Latest = FLiveLinkClientTesting::GetLatestFrame(Client, Key);
	const FLiveLinkCameraFrameData* Camera = Latest.Cast<FLiveLinkCameraFrameData>();
	EXPECT_EQ(Camera->FocalLength, 50.0f);
	EXPECT_EQ(Camera->FieldOfView, 45.0f);
	EXPECT_EQ(Camera->MetaData.SceneTime.Rate, FFrameRate(25, 1));
	EXPECT_GE(FLiveLinkClientTesting::GetFrameCount(Client, Key), 20u);
	Client.RemoveSource(Guid);
}
} // namespace
