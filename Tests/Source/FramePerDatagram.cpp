#include "SourceTestSupport.h"

#include "HAL/PlatformTime.h"
#include "ILiveLinkClient.h"
#include "LiveLinkClientTesting.h"
#include "Misc/EngineClockTesting.h"
#include "Misc/Timecode.h"
#include "Roles/LiveLinkCameraRole.h"
#include "Roles/LiveLinkCameraTypes.h"
#include "TavrixLiveLinkSourceSettings.h"
#include "UObject/UnrealType.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace
{
using namespace std::chrono_literals;

/** A camera message whose location X and timecode frame identify it. */
std::string CameraMessage(int Frame, int RateNumerator = 25, int RateDenominator = 1, int FocalLength = 35)
{
	return "{\"TVKCamera\":[{\"Location\":[" + std::to_string(Frame) + ",2,3],\"Rotation\":[0,0,0,1],\"Scale\":[1,1,1],\"Lens\":[" +
		std::to_string(FocalLength) + ",300,1.5,60],\"Timecode\":[" + std::to_string(Frame) + "," + std::to_string(RateNumerator) + "," +
		std::to_string(RateDenominator) + "],\"Metadata\":[\"\",\"Scene\",\"1\"],\"State\":0}]}";
}

void Decode(FTavrixLiveLinkSource& Source, const std::string& Bytes)
{
	TSharedPtr<TArray<uint8>, ESPMode::ThreadSafe> Data = MakeShared<TArray<uint8>, ESPMode::ThreadSafe>();
	Data->Append(reinterpret_cast<const uint8*>(Bytes.data()), static_cast<int32>(Bytes.size()));
	Source.ProcessReceivedData(Data);
}

/** One push that reached a client: "static", "frame" or "remove", the subject's name and, for a frame, the camera. */
struct FPush
{
	std::string What;
	std::string Name;
	FLiveLinkCameraFrameData Frame;
	bool bFromGameThread = false;
};

/**
 * A client that records every call as it is made, including pushes the engine's client would drop later (frames of a
 * subject without static data): what the source does is seen whole, not what survives the client's filtering.
 */
class FRecordingClient final : public ILiveLinkClient
{
public:
	FSimpleMulticastDelegate& OnLiveLinkTicked() override { return Ticked; }
	void PushSubjectStaticData_AnyThread(const FLiveLinkSubjectKey& Key, TSubclassOf<ULiveLinkRole>, FLiveLinkStaticDataStruct&&) override
	{
		Record("static", Key, nullptr);
	}
	void PushSubjectFrameData_AnyThread(const FLiveLinkSubjectKey& Key, FLiveLinkFrameDataStruct&& FrameData) override
	{
		{
			std::unique_lock Lock(GateMutex);
			bInsidePush = true;
			GateChanged.notify_all();
			// Bounded: a test that forgets to open the gate fails on its expectations, not by hanging.
			GateChanged.wait_for(Lock, 10s, [this] { return bGateOpen; });
			bInsidePush = false;
		}
		if (bShutdownAgreed.load())
		{
			++PushesAfterShutdown;
		}
		Record("frame", Key, FrameData.Cast<FLiveLinkCameraFrameData>());
	}
	void RemoveSubject_AnyThread(const FLiveLinkSubjectKey& Key) override { Record("remove", Key, nullptr); }
	bool IsSubjectEnabled(const FLiveLinkSubjectKey&, bool) const override { return true; }
	bool IsSubjectEnabled(FLiveLinkSubjectName) const override { return true; }
	void SetSubjectEnabled(const FLiveLinkSubjectKey&, bool) override {}

	void Tick() { Ticked.Broadcast(); }
	std::vector<FPush> Take()
	{
		std::lock_guard Lock(Mutex);
		return std::exchange(Pushes, {});
	}
	size_t CountFrames()
	{
		std::lock_guard Lock(Mutex);
		size_t Count = 0;
		for (const FPush& Push : Pushes)
		{
			Count += Push.What == "frame" ? 1 : 0;
		}
		return Count;
	}
	/** Frame pushes wait inside the client until the gate opens (open unless closed). */
	void SetGateOpen(bool bOpen)
	{
		std::lock_guard Lock(GateMutex);
		bGateOpen = bOpen;
		GateChanged.notify_all();
	}
	bool WaitUntilInsidePush()
	{
		std::unique_lock Lock(GateMutex);
		return GateChanged.wait_for(Lock, 10s, [this] { return bInsidePush; });
	}

	std::atomic<bool> bShutdownAgreed{false};
	std::atomic<int> PushesAfterShutdown{0};

private:
	void Record(const char* What, const FLiveLinkSubjectKey& Key, const FLiveLinkCameraFrameData* Frame)
	{
		FPush Push{What, Key.SubjectName.ToString().ToUtf8(), Frame != nullptr ? *Frame : FLiveLinkCameraFrameData(),
			std::this_thread::get_id() == GameThread};
		std::lock_guard Lock(Mutex);
		Pushes.push_back(MoveTemp(Push));
	}

	const std::thread::id GameThread = std::this_thread::get_id();
	FSimpleMulticastDelegate Ticked;
	std::mutex Mutex;
	std::vector<FPush> Pushes;
	std::mutex GateMutex;
	std::condition_variable GateChanged;
	bool bGateOpen = true;
	bool bInsidePush = false;
};

/** A receiving source handed a recording client and its own details object, edited as the details panel does. */
struct FRecordingHarness
{
	explicit FRecordingHarness(bool bAutoLens = true)
		: Source(MakeSharedLoopbackSource(bAutoLens, false, false))
		, SettingsObject(UTavrixLiveLinkSourceSettings::StaticClass()->CreateObject())
	{
		Source->ReceiveClient(&Client, Guid);
		Source->InitializeSettings(&Details());
	}
	~FRecordingHarness()
	{
		Client.SetGateOpen(true);
		Source->RequestSourceShutdown();
		Source.Reset();
	}
	UTavrixLiveLinkSourceSettings& Details() { return *static_cast<UTavrixLiveLinkSourceSettings*>(SettingsObject.get()); }
	/** Tells the source that the named property was edited. */
	void Edited(const char* PropertyName)
	{
		for (const FProperty& Property : UTavrixLiveLinkSourceSettings::StaticClass()->GetProperties())
		{
			if (Property.Name == FName(PropertyName))
			{
				Source->OnSettingsChanged(&Details(), FPropertyChangedEvent(const_cast<FProperty*>(&Property)));
				return;
			}
		}
		ADD_FAILURE() << "no property " << PropertyName;
	}
	void SetFramePerDatagram(bool bOn)
	{
		Details().bFramePerDatagram = bOn;
		Edited("bFramePerDatagram");
	}

	FRecordingClient Client;
	FGuid Guid = FGuid::NewGuid();
	TSharedPtr<FTavrixLiveLinkSource> Source;
	std::unique_ptr<UObject> SettingsObject;
};

std::vector<std::string> Kinds(const std::vector<FPush>& Pushes)
{
	std::vector<std::string> Result;
	for (const FPush& Push : Pushes)
	{
		Result.push_back(Push.What + " " + Push.Name);
	}
	return Result;
}

/** A source added to the stand-in client, with the frames the client accepts recorded as they are pushed. */
struct FClientHarness
{
	explicit FClientHarness(bool bAutoLens = true)
	{
		TSharedPtr<FTavrixLiveLinkSource> Shared = MakeSharedLoopbackSource(bAutoLens, false, false);
		Source = Shared.Get();
		FLiveLinkClientTesting::OnFrameDataReceived(Client).AddLambda(
			[this](const FLiveLinkSubjectKey&, const FLiveLinkFrameDataStruct& Frame) {
				std::lock_guard Lock(Mutex);
				Frames.push_back(*Frame.Cast<FLiveLinkCameraFrameData>());
			});
		Guid = Client.AddSource(Shared);
	}
	~FClientHarness() { Client.RemoveAllSources(); }
	UTavrixLiveLinkSourceSettings& Details() { return *static_cast<UTavrixLiveLinkSourceSettings*>(Client.GetSourceSettings(Guid)); }
	size_t FrameCount()
	{
		std::lock_guard Lock(Mutex);
		return Frames.size();
	}
	std::vector<FLiveLinkCameraFrameData> TakeFrames()
	{
		std::lock_guard Lock(Mutex);
		return std::exchange(Frames, {});
	}
	bool Set(const char* Property, const char* Value)
	{
		return FLiveLinkClientTesting::SetSourceSettingsProperty(Client, Guid, FName(Property), FString::FromUtf8(Value));
	}

	FLiveLinkClient Client;
	FTavrixLiveLinkSource* Source = nullptr;
	FGuid Guid;
	std::mutex Mutex;
	std::vector<FLiveLinkCameraFrameData> Frames;
};

TEST(FramePerDatagram, OffByDefaultTheTickPublishesOneFrameATickAndSourcesEvaluateTheNewest)
{
	FClientHarness Harness;
	EXPECT_FALSE(Harness.Details().bFramePerDatagram);
	// A frame a tick copies the latest datagram, stamped with the tick's time: evaluating by engine time would blend
	// copies of one pose a tick behind; the newest frame is the pose to show. The engine's own default stays.
	EXPECT_EQ(Harness.Details().Mode, ELiveLinkSourceMode::Latest);
	const std::unique_ptr<UObject> Base = ULiveLinkSourceSettings::StaticClass()->CreateObject();
	EXPECT_EQ(static_cast<ULiveLinkSourceSettings*>(Base.get())->Mode, ELiveLinkSourceMode::EngineTime);

	FLoopbackUdp Sender;
	const uint16 Port = static_cast<uint16>(FTavrixLiveLinkSourceInspector(*Harness.Source).GetBoundPort());
	Harness.Client.Tick();
	for (int Frame = 0; Frame < 3; ++Frame)
	{
		ASSERT_TRUE(Sender.SendTo(Port, CameraMessage(100 + Frame)));
	}
	ASSERT_TRUE(WaitUntil([&] { return FTavrixLiveLinkSourceInspector(*Harness.Source).GetDecodedCameraCount() == 3; }));
	EXPECT_EQ(Harness.FrameCount(), 0u);
	Harness.Client.Tick();
	Harness.Client.Tick();
	const std::vector<FLiveLinkCameraFrameData> Frames = Harness.TakeFrames();
	ASSERT_EQ(Frames.size(), 2u);
	EXPECT_FLOAT_EQ(Frames[1].Transform.GetTranslation().X, 102.0f);
}

// Datagrams sent over loopback, each a pose of its own: every one reaches Live Link once, in order, timed by the
// engine's clock between the sending and the receipt, with the sender's frame as its scene time.
TEST(FramePerDatagram, EveryDatagramIsOneFrameTimedByItsArrivalAndTheSendersTimecode)
{
	FClientHarness Harness(false);
	ASSERT_TRUE(Harness.Set("bFramePerDatagram", "True"));
	Harness.Client.Tick();

	constexpr int Count = 20;
	FLoopbackUdp Sender;
	const uint16 Port = static_cast<uint16>(FTavrixLiveLinkSourceInspector(*Harness.Source).GetBoundPort());
	const double Before = FPlatformTime::Seconds();
	for (int Index = 0; Index < Count; ++Index)
	{
		ASSERT_TRUE(Sender.SendTo(Port, CameraMessage(1000 + Index, 30000, 1001)));
	}
	ASSERT_TRUE(WaitUntil([&] { return Harness.FrameCount() >= Count; }));
	const double After = FPlatformTime::Seconds();
	ASSERT_TRUE(WaitUntil([&] { return FTavrixLiveLinkSourceInspector(*Harness.Source).GetDecodedCameraCount() == Count; }));

	const std::vector<FLiveLinkCameraFrameData> Frames = Harness.TakeFrames();
	ASSERT_EQ(Frames.size(), static_cast<size_t>(Count));
	double Previous = Before;
	for (int Index = 0; Index < Count; ++Index)
	{
		const FLiveLinkCameraFrameData& Frame = Frames[Index];
		EXPECT_FLOAT_EQ(Frame.Transform.GetTranslation().X, static_cast<float>(1000 + Index));
		const double Time = Frame.WorldTime.GetOffsettedTime();
		EXPECT_GE(Time, Previous) << Index;
		EXPECT_LE(Time, After) << Index;
		Previous = Time;
		EXPECT_EQ(Frame.MetaData.SceneTime.Time.GetFrame().Value, 1000 + Index);
		EXPECT_EQ(Frame.MetaData.SceneTime.Time.GetSubFrame(), 0.0f);
		EXPECT_EQ(Frame.MetaData.SceneTime.Rate, FFrameRate(30000, 1001));
	}

	// The tick pushes no frame of its own, and Live Link applies exactly the datagrams' frames.
	Harness.Client.Tick();
	Harness.Client.Tick();
	EXPECT_EQ(Harness.FrameCount(), 0u);
	EXPECT_EQ(FLiveLinkClientTesting::GetFrameCount(Harness.Client, FLiveLinkSubjectKey(Harness.Guid, FName("Tavrix - Camera"))),
		static_cast<uint64>(Count));
}

TEST(FramePerDatagram, NoFrameBeforeTheStaticDataAndTheTickPushesNone)
{
	FRecordingHarness Harness;
	Harness.SetFramePerDatagram(true);
	// Nothing published yet: Live Link would drop these, so they are not pushed.
	Decode(*Harness.Source, CameraMessage(10));
	EXPECT_TRUE(Harness.Client.Take().empty());

	Harness.Client.Tick();
	Decode(*Harness.Source, CameraMessage(11));
	Decode(*Harness.Source, CameraMessage(12));
	Harness.Client.Tick();
	Harness.Client.Tick();
	const std::vector<FPush> Pushes = Harness.Client.Take();
	EXPECT_EQ(Kinds(Pushes), (std::vector<std::string>{"static Tavrix - Camera", "frame Tavrix - Camera", "frame Tavrix - Camera"}));
	ASSERT_EQ(Pushes.size(), 3u);
	EXPECT_FLOAT_EQ(Pushes[1].Frame.Transform.GetTranslation().X, 11.0f);
	EXPECT_FLOAT_EQ(Pushes[2].Frame.Transform.GetTranslation().X, 12.0f);

	// A timecode without a rate gives no scene time: the frame keeps the record's own.
	Decode(*Harness.Source, CameraMessage(13, 0, 1));
	const std::vector<FPush> NoRate = Harness.Client.Take();
	ASSERT_EQ(NoRate.size(), 1u);
	EXPECT_EQ(NoRate[0].Frame.MetaData.SceneTime, FQualifiedFrameTime());

	// Cleared again, the tick publishes a frame a tick and the datagrams none.
	Harness.SetFramePerDatagram(false);
	Decode(*Harness.Source, CameraMessage(14));
	EXPECT_TRUE(Harness.Client.Take().empty());
	Harness.Client.Tick();
	const std::vector<FPush> PerTick = Harness.Client.Take();
	ASSERT_EQ(Kinds(PerTick), (std::vector<std::string>{"frame Tavrix - Camera"}));
	EXPECT_TRUE(PerTick[0].bFromGameThread);
	EXPECT_FLOAT_EQ(PerTick[0].Frame.Transform.GetTranslation().X, 14.0f);
}

TEST(FramePerDatagram, LensFollowsAutoLensUpdate)
{
	FRecordingHarness Harness(false);
	Harness.SetFramePerDatagram(true);
	Harness.Client.Tick();
	Harness.Client.Take();
	const FLiveLinkCameraFrameData Defaults;

	Decode(*Harness.Source, CameraMessage(1, 25, 1, 35));
	Harness.Details().bAutoLens = true;
	Harness.Edited("bAutoLens");
	Decode(*Harness.Source, CameraMessage(2, 25, 1, 70));
	Harness.Details().bAutoLens = false;
	Harness.Edited("bAutoLens");
	Decode(*Harness.Source, CameraMessage(3, 25, 1, 85));

	const std::vector<FPush> Pushes = Harness.Client.Take();
	ASSERT_EQ(Pushes.size(), 3u);
	EXPECT_EQ(Pushes[0].Frame.FocalLength, Defaults.FocalLength);
	EXPECT_EQ(Pushes[0].Frame.FieldOfView, Defaults.FieldOfView);
	EXPECT_FLOAT_EQ(Pushes[1].Frame.FocalLength, 70.0f);
	EXPECT_FLOAT_EQ(Pushes[1].Frame.FocusDistance, 300.0f);
	EXPECT_FLOAT_EQ(Pushes[1].Frame.AspectRatio, 1.5f);
	EXPECT_FLOAT_EQ(Pushes[1].Frame.FieldOfView, 60.0f);
	EXPECT_EQ(Pushes[2].Frame.FocalLength, Defaults.FocalLength);
}

TEST(FramePerDatagram, RenamingMovesTheFramesToTheNewNameOnlyAfterItsStaticData)
{
	FRecordingHarness Harness;
	Harness.SetFramePerDatagram(true);
	Harness.Client.Tick();
	Decode(*Harness.Source, CameraMessage(1));

	Harness.Details().SubjectName = TEXT("Crane");
	Harness.Edited("SubjectName");
	// Neither the old subject, being removed, nor the new one, without static data yet, gets this datagram.
	Decode(*Harness.Source, CameraMessage(2));
	Harness.Client.Tick();
	Decode(*Harness.Source, CameraMessage(3));
	Harness.Client.Tick();

	const std::vector<FPush> Pushes = Harness.Client.Take();
	EXPECT_EQ(Kinds(Pushes),
		(std::vector<std::string>{"static Tavrix - Camera", "frame Tavrix - Camera", "remove Tavrix - Camera", "remove Tavrix - Camera",
			"static Crane", "frame Crane"}));
	ASSERT_EQ(Pushes.size(), 6u);
	EXPECT_FLOAT_EQ(Pushes[5].Frame.Transform.GetTranslation().X, 3.0f);
}

// Once the source has agreed to shut down, its client may go: no push may start after that, and a push still inside
// the client makes the source ask to be asked again rather than wait for a lock the client may hold.
TEST(FramePerDatagram, NoPushAfterTheSourceAgreedToShutDown)
{
	FRecordingHarness Harness;
	Harness.SetFramePerDatagram(true);
	Harness.Client.Tick();
	FLoopbackUdp Sender;
	const uint16 Port = static_cast<uint16>(FTavrixLiveLinkSourceInspector(*Harness.Source).GetBoundPort());

	Harness.Client.SetGateOpen(false);
	ASSERT_TRUE(Sender.SendTo(Port, CameraMessage(1)));
	ASSERT_TRUE(Harness.Client.WaitUntilInsidePush());
	EXPECT_FALSE(Harness.Source->RequestSourceShutdown());
	// Datagrams still queued are decoded, but no longer pushed.
	ASSERT_TRUE(Sender.SendTo(Port, CameraMessage(2)));
	ASSERT_TRUE(Sender.SendTo(Port, CameraMessage(3)));
	Harness.Client.SetGateOpen(true);
	ASSERT_TRUE(WaitUntil([&] { return Harness.Source->RequestSourceShutdown(); }));
	Harness.Client.bShutdownAgreed = true;
	FTavrixLiveLinkSourceInspector(*Harness.Source).WaitForReceiveThread();
	EXPECT_EQ(Harness.Client.PushesAfterShutdown.load(), 0);
	EXPECT_EQ(Harness.Client.CountFrames(), 1u);
}

// A stream that keeps coming while the source is shut down: nothing is pushed once it has agreed (run under the
// thread sanitizer, this also checks the key and the flags handed between the threads).
TEST(FramePerDatagram, StreamingDuringShutdownPushesNothingAfterTheAgreement)
{
	FRecordingHarness Harness;
	Harness.SetFramePerDatagram(true);
	Harness.Client.Tick();
	FLoopbackUdp Sender;
	const uint16 Port = static_cast<uint16>(FTavrixLiveLinkSourceInspector(*Harness.Source).GetBoundPort());
	std::atomic<bool> bSending{true};
	std::thread Streamer([&] {
		for (int Frame = 0; bSending.load(); Frame = (Frame + 1) % 1000)
		{
			Sender.SendTo(Port, CameraMessage(Frame));
			std::this_thread::sleep_for(200us);
		}
	});
	const bool bSomePushed = WaitUntil([&] { return Harness.Client.CountFrames() >= 5; });
	// A rename while frames stream in: the receive thread picks up the new key without a data race.
	Harness.Details().SubjectName = TEXT("Dolly");
	Harness.Edited("SubjectName");
	Harness.Client.Tick();
	const bool bAgreed = WaitUntil([&] { return Harness.Source->RequestSourceShutdown(); });
	Harness.Client.bShutdownAgreed = true;
	FTavrixLiveLinkSourceInspector(*Harness.Source).WaitForReceiveThread();
	bSending = false;
	Streamer.join();
	EXPECT_TRUE(bSomePushed);
	EXPECT_TRUE(bAgreed);
	EXPECT_EQ(Harness.Client.PushesAfterShutdown.load(), 0);
}

// Timecode mode through the client: the pose evaluated at an engine timecode is the datagram's of that timecode.
TEST(FramePerDatagram, TimecodeModeEvaluatesTheDatagramOfTheEngineTimecode)
{
	struct FResetClock
	{
		~FResetClock() { FEngineClockTesting::ResetTimecodeProvider(); }
	} ResetClock;
	FClientHarness Harness;
	ASSERT_TRUE(Harness.Set("bFramePerDatagram", "True"));
	Harness.Details().Mode = ELiveLinkSourceMode::Timecode;
	// The static data is pushed on the first tick and applied on the second, which gives the subject its mode.
	for (int Tick = 0; Tick < 2; ++Tick)
	{
		FEngineClockTesting::BeginFrame();
		Harness.Client.Tick();
	}
	// Out of order on purpose: the scene time, not the arrival, decides.
	for (const int Frame : {2001, 2000, 2003, 2002})
	{
		Decode(*Harness.Source, CameraMessage(Frame, 24, 1));
	}
	for (const int Frame : {2000, 2001, 2002, 2003})
	{
		const FFrameRate Rate(24, 1);
		FEngineClockTesting::ScriptTimecode(FTimecode::FromFrameNumber(FFrameNumber(Frame), Rate), Rate);
		FEngineClockTesting::BeginFrame();
		Harness.Client.Tick();
		FLiveLinkSubjectFrameData Evaluated;
		ASSERT_TRUE(Harness.Client.EvaluateFrame_AnyThread(
			FLiveLinkSubjectName(FName("Tavrix - Camera")), ULiveLinkCameraRole::StaticClass(), Evaluated))
			<< Frame;
		EXPECT_FLOAT_EQ(Evaluated.FrameData.Cast<FLiveLinkCameraFrameData>()->Transform.GetTranslation().X, static_cast<float>(Frame));
	}
}
} // namespace
