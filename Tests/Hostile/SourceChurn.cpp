#include "HostileTestSupport.h"
#include "LogCapture.h"
#include "HAL/RunnableThreadTesting.h"
#include "LiveLinkClientTesting.h"

#include <gtest/gtest.h>

#include <array>
#include <algorithm>
#include <vector>
#include <mutex>

// Sources made, shared, refused and removed under traffic: whatever order things happen in, nothing crashes, no
// tick reaches a source that is gone, and a source leaves no port, socket, descriptor, thread or memory behind.
namespace
{
using namespace HostileTest;
using FClock = std::chrono::steady_clock;

/** A source is either receiving (valid, with socket and thread) or without a device (neither): never in between. */
::testing::AssertionResult IsConsistent(FTavrixLiveLinkSource& Source)
{
	const FTavrixLiveLinkSourceInspector Inspector(Source);
	const std::string Status = Source.GetSourceStatus().ToString().ToUtf8();
	const bool bValid = Source.IsSourceStillValid();
	if (bValid && Status == "Receiving" && Inspector.HasSocket() && Inspector.HasThread())
	{
		return ::testing::AssertionSuccess() << "receiving";
	}
	if (!bValid && Status == "Device Not Found" && !Inspector.HasSocket() && !Inspector.HasThread())
	{
		return ::testing::AssertionSuccess() << "without a device";
	}
	return ::testing::AssertionFailure() << "status \"" << Status << "\", valid " << bValid << ", socket " << Inspector.HasSocket()
										 << ", thread " << Inspector.HasThread();
}

/** The location X of the frame the client holds for this source's camera, if any. */
std::optional<float> PublishedMarker(const FLiveLinkClient& Client, FGuid Guid, const char* SubjectName = "Tavrix - Camera")
{
	const FLiveLinkFrameDataStruct Frame = FLiveLinkClientTesting::GetLatestFrame(Client, FLiveLinkSubjectKey(Guid, FName(SubjectName)));
	const FLiveLinkCameraFrameData* Camera = Frame.Cast<FLiveLinkCameraFrameData>();
	return Camera != nullptr ? std::optional<float>(Camera->Transform.GetTranslation().X) : std::nullopt;
}

/** True when nothing else holds the port: a socket without address reuse can bind it. */
bool IsPortFree(uint16_t Port)
{
	const FLoopbackUdp Exclusive(Port);
	return Exclusive.GetPort() == Port;
}

// Both sources ask for address reuse, so the second bind to the first one's port succeeds. On Linux the socket bound
// last then takes every unicast datagram and the other hears nothing until it is gone; other systems share the port
// differently. The test holds only what must hold everywhere.
TEST(SourceChurn, TwoSourcesOnOnePortStaySafe)
{
	// Both subjects share a name, so the client keeps only the first one's frames: what each source published is
	// read at the push instead.
	std::mutex PushedMutex;
	std::vector<std::pair<FGuid, float>> Pushed;
	const auto PushedMarker = [&](FGuid Guid) {
		std::lock_guard Lock(PushedMutex);
		const auto It = std::find_if(Pushed.rbegin(), Pushed.rend(), [&](const auto& Entry) { return Entry.first == Guid; });
		return It != Pushed.rend() ? std::optional<float>(It->second) : std::nullopt;
	};
	for (const bool bRemoveFirst : {true, false})
	{
		FLiveLinkClient Client;
		FLiveLinkClientTesting::OnFrameDataReceived(Client).AddLambda(
			[&](const FLiveLinkSubjectKey& Key, const FLiveLinkFrameDataStruct& Frame) {
				if (const FLiveLinkCameraFrameData* Camera = Frame.Cast<FLiveLinkCameraFrameData>())
				{
					std::lock_guard Lock(PushedMutex);
					Pushed.emplace_back(Key.Source, Camera->Transform.GetTranslation().X);
				}
			});
		TSharedPtr<FTavrixLiveLinkSource> First = MakeSharedLoopbackSource(true, false, false);
		const uint16_t Port = static_cast<uint16_t>(FTavrixLiveLinkSourceInspector(*First).GetBoundPort());
		ASSERT_NE(Port, 0);
		TSharedPtr<FTavrixLiveLinkSource> Second =
			MakeShared<FTavrixLiveLinkSource>(FIPv4Endpoint(FIPv4Address::InternalLoopback, Port), true, false, false);

		const std::array<FTavrixLiveLinkSource*, 2> Sources = {First.Get(), Second.Get()};
		const std::array<TWeakPtr<FTavrixLiveLinkSource>, 2> Weak = {First, Second};
		for (FTavrixLiveLinkSource* Source : Sources)
		{
			EXPECT_TRUE(IsConsistent(*Source));
			if (Source->IsSourceStillValid())
			{
				EXPECT_EQ(FTavrixLiveLinkSourceInspector(*Source).GetBoundPort(), Port);
			}
		}
		const std::array<FGuid, 2> Guids = {Client.AddSource(First), Client.AddSource(Second)};
		// Only one subject of a name is enabled: each source gets a name of its own, so that both can publish.
		ASSERT_TRUE(FLiveLinkClientTesting::SetSourceSettingsProperty(Client, Guids[1], FName("SubjectName"), TEXT("Tavrix - Camera 2")));
		First.Reset();
		Second.Reset();

		const auto DecodedByBoth = [&] {
			uint64 Count = 0;
			for (FTavrixLiveLinkSource* Source : Sources)
			{
				Count += FTavrixLiveLinkSourceInspector(*Source).GetDecodedCameraCount();
			}
			return Count;
		};
		FLoopbackUdp Sender;
		for (int Marker = 1; Marker <= 20; ++Marker)
		{
			const uint64 Before = DecodedByBoth();
			ASSERT_TRUE(Sender.SendTo(Port, CameraMessage(Marker)));
			ASSERT_TRUE(WaitUntil([&] { return DecodedByBoth() > Before; }, 30s)) << "datagram " << Marker << " reached neither source";
			Client.Tick();
			// Whoever got it publishes it; nobody publishes what it did not get.
			bool bPublished = false;
			for (int Index = 0; Index < 2; ++Index)
			{
				const std::optional<float> Published = PushedMarker(Guids[Index]);
				EXPECT_TRUE(!Published.has_value() || (*Published >= 1.0f && *Published <= static_cast<float>(Marker)));
				bPublished = bPublished || Published == static_cast<float>(Marker);
			}
			EXPECT_TRUE(bPublished) << "datagram " << Marker;
		}
		for (FTavrixLiveLinkSource* Source : Sources)
		{
			EXPECT_TRUE(IsConsistent(*Source));
		}

		const int Gone = bRemoveFirst ? 0 : 1;
		const int Kept = 1 - Gone;
		Client.RemoveSource(Guids[Gone]);
		EXPECT_FALSE(Weak[Gone].IsValid());
		ASSERT_TRUE(IsConsistent(*Sources[Kept]));
		if (Sources[Kept]->IsSourceStillValid())
		{
			ASSERT_TRUE(Sender.SendTo(Port, CameraMessage(100)));
			EXPECT_TRUE(WaitUntil(
				[&] {
					Client.Tick();
					return PushedMarker(Guids[Kept]) == 100.0f;
				},
				30s))
				<< (bRemoveFirst ? "the second source" : "the first source") << " stopped working when the other went";
		}
		Client.RemoveSource(Guids[Kept]);
		EXPECT_FALSE(Weak[Kept].IsValid());
		EXPECT_TRUE(IsPortFree(Port));
	}
}

TEST(SourceChurn, PortTakenExclusivelyGivesAQuietSourceThatGoesAtOnce)
{
	const FLoopbackUdp Holder;
	const FProcessResources Before = FProcessResources::Take();
	FLiveLinkClient Client;
	FLogCapture Log;

	TSharedPtr<FTavrixLiveLinkSource> Shared =
		MakeShared<FTavrixLiveLinkSource>(FIPv4Endpoint(FIPv4Address::InternalLoopback, Holder.GetPort()), true, true, false);
	FTavrixLiveLinkSource& Source = *Shared;
	const TWeakPtr<FTavrixLiveLinkSource> Weak = Shared;
	EXPECT_EQ(Source.GetSourceStatus().ToString().ToUtf8(), "Device Not Found");
	EXPECT_FALSE(Source.IsSourceStillValid());
	EXPECT_TRUE(IsConsistent(Source));
	// The socket that could not be bound is already closed and destroyed, and no thread was started.
	EXPECT_EQ(ISocketSubsystem::GetLiveSocketCount(), Before.LiveSockets);
	EXPECT_EQ(FRunnableThreadTesting::GetLiveThreadCount(), Before.LiveThreads);
	EXPECT_EQ(CountEntries("/proc/self/fd"), Before.Descriptors);
	bool bBindFailureLogged = false;
	for (const FLogCapture::FLine& Line : Log.GetLines())
	{
		bBindFailureLogged = bBindFailureLogged || (Line.Category == "LogSockets" && Line.Verbosity == ELogVerbosity::Error);
	}
	EXPECT_TRUE(bBindFailureLogged);

	// It takes a client and ticks; datagrams to its port go to the holder, so only the static data is published.
	const FGuid Guid = Client.AddSource(Shared);
	Shared.Reset();
	FLoopbackUdp Sender;
	for (int Tick = 0; Tick < 100; ++Tick)
	{
		Sender.SendTo(Holder.GetPort(), CameraMessage(Tick));
		Client.Tick();
	}
	const FLiveLinkSubjectKey Key(Guid, FName("Tavrix - Camera"));
	EXPECT_TRUE(FLiveLinkClientTesting::HasSubject(Client, Key));
	EXPECT_EQ(FLiveLinkClientTesting::GetFrameCount(Client, Key), 0u);
	EXPECT_FALSE(FTavrixLiveLinkSourceInspector(Source).HasReceivedData());

	const auto Start = FClock::now();
	Client.RemoveSource(Guid);
	EXPECT_LT(FClock::now() - Start, 2s);
	EXPECT_FALSE(Weak.IsValid());
	EXPECT_FALSE(Client.OnLiveLinkTicked().IsBound());
	Client.Tick();
	EXPECT_EQ(ISocketSubsystem::GetLiveSocketCount(), Before.LiveSockets);
}

/** A source under a flood of datagrams, added to a client that has been publishing it for a while. */
class FSourceUnderTraffic
{
public:
	FSourceUnderTraffic()
	{
		TSharedPtr<FTavrixLiveLinkSource> Shared = MakeSharedLoopbackSource(true, false, false);
		Weak = Shared;
		Port = static_cast<uint16_t>(FTavrixLiveLinkSourceInspector(*Shared).GetBoundPort());
		Guid = Client.AddSource(Shared);
		Flooder = std::make_unique<FFlooder>(Port);
	}

	/** Ticks until the source has published a few frames of the flood. */
	bool AwaitPublishing()
	{
		return WaitUntil(
			[&] {
				Client.Tick();
				return FLiveLinkClientTesting::GetFrameCount(Client, Key()) >= 5;
			},
			30s);
	}
	FLiveLinkSubjectKey Key() const { return FLiveLinkSubjectKey(Guid, FName("Tavrix - Camera")); }

	FErrorLineCounter Errors;
	FLiveLinkClient Client;
	TWeakPtr<FTavrixLiveLinkSource> Weak;
	uint16_t Port = 0;
	FGuid Guid;
	std::unique_ptr<FFlooder> Flooder;
};

TEST(SourceChurn, RemovalBetweenTicksUnderTrafficLeavesNothingBehind)
{
	FSourceUnderTraffic Rig;
	ASSERT_TRUE(Rig.AwaitPublishing());

	Rig.Client.RemoveSource(Rig.Guid);
	EXPECT_FALSE(Rig.Weak.IsValid());
	EXPECT_EQ(Rig.Client.GetSources().Num(), 0);
	EXPECT_FALSE(FLiveLinkClientTesting::HasSubject(Rig.Client, Rig.Key()));
	EXPECT_FALSE(Rig.Client.OnLiveLinkTicked().IsBound());
	// The flood goes on; further ticks find nothing to call.
	for (int Tick = 0; Tick < 50; ++Tick)
	{
		Rig.Client.Tick();
	}
	EXPECT_FALSE(FLiveLinkClientTesting::HasSubject(Rig.Client, Rig.Key()));

	Rig.Flooder->Stop();
	EXPECT_TRUE(IsPortFree(Rig.Port));
}

TEST(SourceChurn, RemovalFromInsideTheTickUnderTrafficTakesEffectAfterIt)
{
	FSourceUnderTraffic Rig;
	ASSERT_TRUE(Rig.AwaitPublishing());

	bool bRemoveNow = false;
	int ObserverTicks = 0;
	const FDelegateHandle Observer = Rig.Client.OnLiveLinkTicked().AddLambda([&] {
		++ObserverTicks;
		if (bRemoveNow)
		{
			bRemoveNow = false;
			Rig.Client.RemoveSource(Rig.Guid);
			// Carried out after the notification: the source is still whole while the tick runs.
			EXPECT_TRUE(Rig.Weak.IsValid());
		}
	});
	Rig.Client.Tick();
	ASSERT_TRUE(Rig.Weak.IsValid());
	bRemoveNow = true;
	Rig.Client.Tick();
	EXPECT_FALSE(Rig.Weak.IsValid());
	EXPECT_EQ(Rig.Client.GetSources().Num(), 0);
	EXPECT_FALSE(FLiveLinkClientTesting::HasSubject(Rig.Client, Rig.Key()));

	for (int Tick = 0; Tick < 50; ++Tick)
	{
		Rig.Client.Tick();
	}
	EXPECT_EQ(ObserverTicks, 52);
	EXPECT_FALSE(FLiveLinkClientTesting::HasSubject(Rig.Client, Rig.Key()));
	// The observer was the last subscriber: nothing of the source is left in the notification.
	Rig.Client.OnLiveLinkTicked().Remove(Observer);
	EXPECT_FALSE(Rig.Client.OnLiveLinkTicked().IsBound());

	Rig.Flooder->Stop();
	EXPECT_TRUE(IsPortFree(Rig.Port));
}

TEST(SourceChurn, ThousandSourcesComeAndGoWithoutLeaking)
{
	FLiveLinkClient Client;
	FLoopbackUdp Sender;
	int Published = 0;
	const auto Cycle = [&](int Index) {
		TSharedPtr<FTavrixLiveLinkSource> Shared = MakeSharedLoopbackSource(true, false, false);
		const TWeakPtr<FTavrixLiveLinkSource> Weak = Shared;
		const FTavrixLiveLinkSourceInspector Inspector(*Shared);
		const uint16_t Port = static_cast<uint16_t>(Inspector.GetBoundPort());
		const FGuid Guid = Client.AddSource(Shared);
		Shared.Reset();

		Sender.SendTo(Port, CameraMessage(Index));
		// Now and then the datagram is awaited, so that the tick has something to publish.
		if (Index % 10 == 0 && WaitUntil([&] { return Inspector.HasReceivedData(); }, 30s))
		{
			// Published by the first tick, applied by the second.
			Client.Tick();
			Client.Tick();
			Published += PublishedMarker(Client, Guid) == static_cast<float>(Index) ? 1 : 0;
		}
		else
		{
			Client.Tick();
		}

		// Traffic goes on while the source is taken away: asked to stop first, as the client asks before it releases.
		FLiveLinkClientTesting::GetSource(Client, Guid)->RequestSourceShutdown();
		Sender.SendTo(Port, Index % 2 == 0 ? std::string("{\"TVKCamera\":") : CameraMessage(Index));
		Client.RemoveSource(Guid);
		return !Weak.IsValid();
	};

	// The first cycles make what lives for the whole process (the socket subsystem, names, pools) and, where freed
	// blocks are quarantined, fill the quarantine.
	constexpr int Cycles = 1000;
	const int FirstCycles = bAllocatorQuarantinesFreedBlocks ? Cycles : 10;
	for (int Index = 0; Index < FirstCycles; ++Index)
	{
		ASSERT_TRUE(Cycle(Index));
	}
	Published = 0;
	const FProcessResources Before = FProcessResources::Take();

	int Destroyed = 0;
	for (int Index = 0; Index < Cycles; ++Index)
	{
		Destroyed += Cycle(Index) ? 1 : 0;
	}
	EXPECT_EQ(Destroyed, Cycles);
	EXPECT_EQ(Published, Cycles / 10);
	EXPECT_EQ(Client.GetSources().Num(), 0);
	EXPECT_EQ(Client.GetSubjects(true, true).Num(), 0);
	EXPECT_FALSE(Client.OnLiveLinkTicked().IsBound());

	const FProcessResources After = FProcessResources::Take();
	::testing::Test::RecordProperty("LiveHeapGrowthKiB", std::to_string((After.LiveHeap - Before.LiveHeap) >> 10));
	::testing::Test::RecordProperty("ResidentGrowthKiB", std::to_string((After.Resident - Before.Resident) >> 10));
	EXPECT_EQ(After.Descriptors, Before.Descriptors);
	EXPECT_EQ(After.LiveSockets, Before.LiveSockets);
	EXPECT_EQ(After.LiveThreads, Before.LiveThreads);
	// A joined thread may linger in the task list for a moment after its join returned.
	EXPECT_TRUE(WaitUntil([&] { return CountEntries("/proc/self/task") == Before.Tasks; }, 10s))
		<< CountEntries("/proc/self/task") << " tasks, " << Before.Tasks << " before";
	EXPECT_LT(After.LiveHeap - Before.LiveHeap, int64_t(2) << 20);
	EXPECT_LT(After.Resident - Before.Resident, int64_t(64) << 20);
}
} // namespace
