#include "SourceTestSupport.h"

#include "SocketSubsystem.h"
#include "SocketSubsystemTesting.h"
#include "HAL/RunnableThreadTesting.h"
#include "LiveLinkClientTesting.h"

#include <gtest/gtest.h>

namespace
{
std::string Text(const FText& InText)
{
	return InText.ToString().ToUtf8();
}

TEST(SourceLifecycle, PortTakenExclusivelyGivesDeviceNotFound)
{
	FLoopbackUdp Holder;
	FLiveLinkClient Client;
	TSharedPtr<FTavrixLiveLinkSource> Source =
		MakeShared<FTavrixLiveLinkSource>(FIPv4Endpoint(FIPv4Address::InternalLoopback, Holder.GetPort()), true, true, false);
	FTavrixLiveLinkSourceInspector Inspector(*Source);

	EXPECT_EQ(Text(Source->GetSourceStatus()), "Device Not Found");
	EXPECT_FALSE(Source->IsSourceStillValid());
	EXPECT_FALSE(Inspector.HasSocket());
	EXPECT_FALSE(Inspector.HasThread());
	EXPECT_FALSE(Inspector.HasSocketSubsystem());

	// Still a complete object: it takes a client, ticks, and goes away without waiting for anything.
	const FGuid Guid = Client.AddSource(Source);
	// Announced on the first tick, applied by the second.
	Client.Tick();
	Client.Tick();
	EXPECT_TRUE(FLiveLinkClientTesting::HasSubject(Client, FLiveLinkSubjectKey(Guid, FName("Tavrix - Camera"))));
	Source.Reset();
	Client.RemoveSource(Guid);
	EXPECT_EQ(Client.GetSources().Num(), 0);
}

TEST(SourceLifecycle, AddressNotOnThisMachineGivesDeviceNotFound)
{
	// 192.0.2.1 is reserved for documentation: no interface here has it, so the bind itself fails.
	FTavrixLiveLinkSource Source(FIPv4Endpoint(FIPv4Address(192, 0, 2, 1), 0), true, true, false);
	EXPECT_EQ(Text(Source.GetSourceStatus()), "Device Not Found");
	EXPECT_FALSE(Source.IsSourceStillValid());
}

// Where the engine knows no socket subsystem of the name the source asks for, the source cannot receive: it says so,
// starts nothing and keeps nothing bound.
TEST(SourceLifecycle, UnknownSocketSubsystemGivesDeviceNotFoundWithNothingBound)
{
	const int32 SocketsBefore = ISocketSubsystem::GetLiveSocketCount();
	const uint16 Port = FreeLoopbackPort();
	FSocketSubsystemTesting::SetPlatformName(FName("LINUX"));
	auto Source = std::make_shared<FTavrixLiveLinkSource>(FIPv4Endpoint(FIPv4Address::InternalLoopback, Port), true, true, false);
	FSocketSubsystemTesting::SetPlatformName(FName("WINDOWS"));
	FTavrixLiveLinkSourceInspector Inspector(*Source);

	EXPECT_EQ(Text(Source->GetSourceStatus()), "Device Not Found");
	EXPECT_FALSE(Source->IsSourceStillValid());
	EXPECT_FALSE(Inspector.HasThread());
	EXPECT_FALSE(Inspector.HasSocket());
	EXPECT_EQ(ISocketSubsystem::GetLiveSocketCount(), SocketsBefore);
	FLoopbackUdp Exclusive(Port); // binds without address reuse: only possible when nobody holds the port
	EXPECT_EQ(Exclusive.GetPort(), Port);
	Source.reset();
	EXPECT_EQ(ISocketSubsystem::GetLiveSocketCount(), SocketsBefore);
}

TEST(SourceLifecycle, DeviceNotFoundIsLocalisableUnderTheSourceNamespace)
{
	FLoopbackUdp Holder;
	FTavrixLiveLinkSource Source(FIPv4Endpoint(FIPv4Address::InternalLoopback, Holder.GetPort()), true, true, false);
	const FText Status = Source.GetSourceStatus();
	EXPECT_EQ(Text(Status), "Device Not Found");
	EXPECT_EQ(FTextInspector::GetKey(Status).ToUtf8(), "SourceStatus_DeviceNotFound");
	EXPECT_EQ(FTextInspector::GetNamespace(Status).ToUtf8(), "TavrixLiveLinkSource");
}

TEST(SourceLifecycle, ThreadThatCannotBeCreatedLeavesTheSourceNotFoundAndInvalid)
{
	const int32 SocketsBefore = ISocketSubsystem::GetLiveSocketCount();
	TSharedPtr<FTavrixLiveLinkSource> Source;
	{
		// Reset on every way out, so no later test in this process is left without threads.
		struct FScopedThreadlessPlatform
		{
			FScopedThreadlessPlatform() { FRunnableThreadTesting::SetCreationFails(true); }
			~FScopedThreadlessPlatform() { FRunnableThreadTesting::SetCreationFails(false); }
		} Threadless;
		Source = MakeSharedLoopbackSource();
	}
	FTavrixLiveLinkSourceInspector Inspector(*Source);
	EXPECT_TRUE(Inspector.HasSocket());
	EXPECT_FALSE(Inspector.HasThread());
	EXPECT_EQ(Text(Source->GetSourceStatus()), "Device Not Found");
	EXPECT_EQ(FTextInspector::GetKey(Source->GetSourceStatus()).ToUtf8(), "SourceStatus_DeviceNotFound");
	EXPECT_FALSE(Source->IsSourceStillValid());

	// It still takes a client, and goes away without a thread to wait for, its socket closed and no tick left behind.
	FLiveLinkClient Client;
	const FGuid Guid = Client.AddSource(Source);
	Source.Reset();
	Client.Tick();
	Client.RemoveSource(Guid);
	EXPECT_EQ(Client.GetSources().Num(), 0);
	EXPECT_FALSE(Client.OnLiveLinkTicked().IsBound());
	EXPECT_EQ(ISocketSubsystem::GetLiveSocketCount(), SocketsBefore);
}

TEST(SourceLifecycle, ReceivingSourceIsValidUntilShutdownIsRequested)
{
	auto Source = MakeLoopbackSource();
	EXPECT_EQ(Text(Source->GetSourceStatus()), "Receiving");
	EXPECT_TRUE(Source->IsSourceStillValid());

	EXPECT_TRUE(Source->RequestSourceShutdown());
	EXPECT_FALSE(Source->IsSourceStillValid());
	EXPECT_EQ(Text(Source->GetSourceStatus()), "Receiving");
}

TEST(SourceLifecycle, TextsAreLocalisableUnderTheSourceNamespace)
{
	auto Source = MakeLoopbackSource();
	const FText Type = Source->GetSourceType();
	const FText Machine = Source->GetSourceMachineName();
	const FText Status = Source->GetSourceStatus();
	EXPECT_EQ(Text(Type), "Halvecor Tavrix LiveLink");
	EXPECT_EQ(FTextInspector::GetKey(Type).ToUtf8(), "TavrixLiveLinkSourceType");
	EXPECT_EQ(Text(Machine), "localhost");
	EXPECT_EQ(FTextInspector::GetKey(Machine).ToUtf8(), "TavrixLiveLinkSourceMachineName");
	EXPECT_EQ(FTextInspector::GetKey(Status).ToUtf8(), "SourceStatus_Receiving");
	for (const FText& Each : {Type, Machine, Status})
	{
		EXPECT_EQ(FTextInspector::GetNamespace(Each).ToUtf8(), "TavrixLiveLinkSource");
	}
}

TEST(SourceLifecycle, ConstructionSetsUpTheReceiveMachinery)
{
	auto Source = MakeLoopbackSource(false, true, false);
	FTavrixLiveLinkSourceInspector Inspector(*Source);
	EXPECT_TRUE(Inspector.HasSocketSubsystem());
	EXPECT_NE(Inspector.GetBoundPort(), 0);
	EXPECT_EQ(Inspector.GetWaitTime(), FTimespan::FromMilliseconds(10));
	EXPECT_EQ(Inspector.GetRecvBufferSize(), 1024 * 1024);
	EXPECT_EQ(Inspector.GetStackSize(), 128u * 1024u);
	EXPECT_EQ(Inspector.GetFrameOffset(), -1);
	EXPECT_EQ(Inspector.GetFrameRate(), 25.0);
	EXPECT_FALSE(Inspector.GetAutoLens());
	EXPECT_TRUE(Inspector.GetAutoSceneTake());
	EXPECT_FALSE(Inspector.GetAutoRecord());

	const FTavrixReceivedState State = Inspector.GetReceivedState();
	EXPECT_EQ(State.Rotation, FQuat(0.0f, 0.0f, 0.0f, 0.0f));
	EXPECT_EQ(State.Scale, FVector(1.0f, 1.0f, 1.0f));
	EXPECT_FALSE(Inspector.HasReceivedData());
}

TEST(SourceLifecycle, SourceWithoutDeviceEndsItsTickSubscriptionOnDestruction)
{
	FLoopbackUdp Holder;
	FLiveLinkClient Client;
	const FGuid Guid = Client.AddSource(
		MakeShared<FTavrixLiveLinkSource>(FIPv4Endpoint(FIPv4Address::InternalLoopback, Holder.GetPort()), true, true, false));
	EXPECT_TRUE(Client.OnLiveLinkTicked().IsBound());

	Client.RemoveSource(Guid);
	EXPECT_FALSE(Client.OnLiveLinkTicked().IsBound());
	Client.Tick(); // would reach a destroyed object if the subscription had survived
}

TEST(SourceLifecycle, ReleasingTheLastReferenceClosesTheSocket)
{
	const int32 SocketsBefore = ISocketSubsystem::GetLiveSocketCount();
	const int32 ThreadsBefore = FRunnableThreadTesting::GetLiveThreadCount();
	{
		FLiveLinkClient Client;
		const FGuid Guid = Client.AddSource(MakeSharedLoopbackSource());
		Client.Tick();
		EXPECT_EQ(ISocketSubsystem::GetLiveSocketCount(), SocketsBefore + 1);
		Client.RemoveSource(Guid);
		EXPECT_FALSE(Client.OnLiveLinkTicked().IsBound());
	}
	EXPECT_EQ(ISocketSubsystem::GetLiveSocketCount(), SocketsBefore);
	EXPECT_EQ(FRunnableThreadTesting::GetLiveThreadCount(), ThreadsBefore);
}
} // namespace
