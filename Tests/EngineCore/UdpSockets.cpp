#include "Common/UdpSocketBuilder.h"
#include "SocketSubsystem.h"
#include "SocketSubsystemTesting.h"
#include "Sockets.h"

#include "LogCapture.h"
#include "LoopbackMulticast.h"

#include <gtest/gtest.h>

namespace
{
FSocket* BuildLoopbackSocket(uint16 Port = 0)
{
	return FUdpSocketBuilder(TEXT("test"))
		.AsNonBlocking()
		.AsReusable()
		.BoundToAddress(FIPv4Address::InternalLoopback)
		.BoundToPort(Port)
		.WithReceiveBufferSize(1 << 20)
		.Build();
}

TEST(UdpSockets, EveryPlatformNameGivesThisMachinesSubsystem)
{
	EXPECT_NE(ISocketSubsystem::Get(TEXT("WINDOWS")), nullptr);
	EXPECT_EQ(ISocketSubsystem::Get(TEXT("WINDOWS")), ISocketSubsystem::Get());
}

// As with the engine's sockets, the pending-data query counts queued bytes: an empty datagram is not pending, yet
// it keeps the socket readable until a receive takes it.
TEST(UdpSockets, EmptyDatagramIsReadableButNotPending)
{
	FSocket* Receiver = BuildLoopbackSocket();
	FSocket* Sender = BuildLoopbackSocket();
	ASSERT_NE(Receiver, nullptr);
	ASSERT_NE(Sender, nullptr);
	EXPECT_EQ(Receiver->GetSocketType(), SOCKTYPE_Datagram);
	const FIPv4Endpoint Target(FIPv4Address::InternalLoopback, static_cast<uint16>(Receiver->GetPortNo()));
	int32 Sent = 0;
	const uint8 Payload[3] = {'a', 'b', 'c'};
	ASSERT_TRUE(Sender->SendTo(Payload, 0, Sent, *Target.ToInternetAddr()));
	ASSERT_TRUE(Sender->SendTo(Payload, 3, Sent, *Target.ToInternetAddr()));

	ASSERT_TRUE(Receiver->Wait(ESocketWaitConditions::WaitForRead, FTimespan::FromSeconds(5)));
	uint32 Pending = 99;
	EXPECT_FALSE(Receiver->HasPendingData(Pending));
	EXPECT_EQ(Pending, 0u);
	EXPECT_TRUE(Receiver->Wait(ESocketWaitConditions::WaitForRead, FTimespan::Zero()));
	uint8 Buffer[16];
	int32 Read = -1;
	TSharedRef<FInternetAddr> From = ISocketSubsystem::Get()->CreateInternetAddr();
	ASSERT_TRUE(Receiver->RecvFrom(Buffer, sizeof(Buffer), Read, *From));
	EXPECT_EQ(Read, 0);
	ASSERT_TRUE(Receiver->Wait(ESocketWaitConditions::WaitForRead, FTimespan::FromSeconds(5)));
	ASSERT_TRUE(Receiver->HasPendingData(Pending));
	EXPECT_EQ(Pending, 3u);
	ASSERT_TRUE(Receiver->RecvFrom(Buffer, sizeof(Buffer), Read, *From));
	EXPECT_EQ(Read, 3);
	EXPECT_EQ(From->GetPort(), Sender->GetPortNo());
	EXPECT_FALSE(Receiver->HasPendingData(Pending));
	EXPECT_FALSE(Receiver->Wait(ESocketWaitConditions::WaitForRead, FTimespan::Zero()));

	ISocketSubsystem::Get()->DestroySocket(Receiver);
	ISocketSubsystem::Get()->DestroySocket(Sender);
}

TEST(UdpSockets, BuilderYieldsNullAndLogsWhenTheBindFails)
{
	const int32 Before = ISocketSubsystem::GetLiveSocketCount();
	FSocket* Socket = FUdpSocketBuilder(TEXT("test")).BoundToAddress(FIPv4Address(192, 0, 2, 1)).BoundToPort(0).Build();
	EXPECT_EQ(Socket, nullptr);
	EXPECT_EQ(ISocketSubsystem::GetLiveSocketCount(), Before) << "a half-made socket was left behind";
}

TEST(UdpSockets, ReadableWaitTimesOutWhenNothingArrives)
{
	FSocket* Socket = BuildLoopbackSocket();
	ASSERT_NE(Socket, nullptr);
	EXPECT_FALSE(Socket->Wait(ESocketWaitConditions::WaitForRead, FTimespan::FromMilliseconds(10)));
	ISocketSubsystem::Get()->DestroySocket(Socket);
}
/** How many log lines of the socket category contain Text. */
int CountSocketLogLines(const FLogCapture& Log, const std::string& Text)
{
	int Count = 0;
	for (const FLogCapture::FLine& Line : Log.GetLines())
	{
		Count += (Line.Category == "LogSockets" && Line.Text.find(Text) != std::string::npos) ? 1 : 0;
	}
	return Count;
}

/** Lifts a buffer size limit when the test ends, however it ends. */
struct FBufferSizeLimitScope
{
	explicit FBufferSizeLimitScope(int32 Limit) { FSocketSubsystemTesting::SetBufferSizeLimit(Limit); }
	~FBufferSizeLimitScope() { FSocketSubsystemTesting::SetBufferSizeLimit(0); }
};

// The engine only asks for buffer sizes, last of all: a system that refuses the size still gives a working socket.
TEST(UdpSockets, BuilderIgnoresARefusedBufferSize)
{
	const FBufferSizeLimitScope Limit(64 * 1024);
	FSocket* Receiver = BuildLoopbackSocket();
	ASSERT_NE(Receiver, nullptr) << "a refused buffer size failed the build";
	FSocket* Sender = FUdpSocketBuilder(TEXT("test")).BoundToAddress(FIPv4Address::InternalLoopback).WithSendBufferSize(1 << 20).Build();
	ASSERT_NE(Sender, nullptr);
	int32 Granted = 0;
	EXPECT_FALSE(Receiver->SetReceiveBufferSize(1 << 20, Granted)) << "the limit did not refuse anything";

	const FIPv4Endpoint Target(FIPv4Address::InternalLoopback, static_cast<uint16>(Receiver->GetPortNo()));
	const uint8 Payload[1] = {'x'};
	int32 Sent = 0;
	ASSERT_TRUE(Sender->SendTo(Payload, 1, Sent, *Target.ToInternetAddr()));
	ASSERT_TRUE(Receiver->Wait(ESocketWaitConditions::WaitForRead, FTimespan::FromSeconds(5)));
	ISocketSubsystem::Get()->DestroySocket(Receiver);
	ISocketSubsystem::Get()->DestroySocket(Sender);
}

// The bind comes before the group joins, and the joins before the buffer sizes: each failure stops the build at
// its own step, and a failed join is never excused the way a refused buffer size is.
TEST(UdpSockets, BuilderStepsComeInTheEnginesOrder)
{
	const int32 Before = ISocketSubsystem::GetLiveSocketCount();
	{
		FLogCapture Log;
		// Both the bind (an address of no interface here) and the join (not a group address) would fail.
		FSocket* Socket = FUdpSocketBuilder(TEXT("test"))
							  .BoundToAddress(FIPv4Address(192, 0, 2, 1))
							  .BoundToPort(0)
							  .JoinedToGroup(FIPv4Address(10, 0, 0, 1))
							  .Build();
		EXPECT_EQ(Socket, nullptr);
		EXPECT_EQ(CountSocketLogLines(Log, "failed to bind"), 1);
		EXPECT_EQ(CountSocketLogLines(Log, "failed to join"), 0) << "a group was joined before the bind";
	}
	{
		const FBufferSizeLimitScope Limit(4096);
		FLogCapture Log;
		FSocket* Socket =
			FUdpSocketBuilder(TEXT("test")).BoundToPort(0).JoinedToGroup(FIPv4Address(10, 0, 0, 1)).WithReceiveBufferSize(1 << 20).Build();
		EXPECT_EQ(Socket, nullptr) << "a failed group join was ignored";
		EXPECT_EQ(CountSocketLogLines(Log, "failed to join group 10.0.0.1"), 1);
	}
	EXPECT_EQ(ISocketSubsystem::GetLiveSocketCount(), Before) << "a half-made socket was left behind";
}

// Windows, which the stand-in stands for, cannot bind to a group address: a receiver binds the port on every
// address and joins the group instead.
TEST(UdpSockets, NoSocketBindsToAGroupAddress)
{
	FSocket* Socket = FUdpSocketBuilder(TEXT("test")).AsReusable().BoundToAddress(FIPv4Address(239, 255, 77, 41)).BoundToPort(0).Build();
	EXPECT_EQ(Socket, nullptr);
	if (Socket != nullptr)
	{
		ISocketSubsystem::Get()->DestroySocket(Socket);
	}
}

TEST(UdpSockets, EveryMemberOfAGroupOnOnePortGetsEveryDatagram)
{
	if (const std::optional<std::string> Why = WhyLocalMulticastIsUnavailable())
	{
		GTEST_SKIP() << *Why;
	}
	const FIPv4Address Group(TestMulticastGroup);
	const uint16 Port = FreeLoopbackPort();
	FSocket* Members[2] = {};
	for (FSocket*& Member : Members)
	{
		Member =
			FUdpSocketBuilder(TEXT("member")).AsReusable().BoundToAddress(FIPv4Address::Any).BoundToPort(Port).JoinedToGroup(Group).Build();
		ASSERT_NE(Member, nullptr);
	}
	// Built by the builder too: its time to live and loopback are what a local sender needs.
	FSocket* Sender = FUdpSocketBuilder(TEXT("sender")).WithMulticastLoopback().WithMulticastTtl(0).Build();
	ASSERT_NE(Sender, nullptr);
	const FIPv4Endpoint Target(Group, Port);
	for (uint8 Index = 0; Index < 3; ++Index)
	{
		int32 Sent = 0;
		ASSERT_TRUE(Sender->SendTo(&Index, 1, Sent, *Target.ToInternetAddr()));
	}
	for (FSocket* Member : Members)
	{
		for (uint8 Index = 0; Index < 3; ++Index)
		{
			ASSERT_TRUE(Member->Wait(ESocketWaitConditions::WaitForRead, FTimespan::FromSeconds(5)));
			uint8 Byte = 0xFF;
			int32 Read = 0;
			TSharedRef<FInternetAddr> From = ISocketSubsystem::Get()->CreateInternetAddr();
			ASSERT_TRUE(Member->RecvFrom(&Byte, 1, Read, *From));
			EXPECT_EQ(Byte, Index);
		}
		ISocketSubsystem::Get()->DestroySocket(Member);
	}

	// Without loopback on the sending socket this machine's members hear nothing (Linux decides on the sender).
	FSocket* Member =
		FUdpSocketBuilder(TEXT("member")).AsReusable().BoundToAddress(FIPv4Address::Any).BoundToPort(Port).JoinedToGroup(Group).Build();
	FSocket* QuietSender = FUdpSocketBuilder(TEXT("sender")).WithMulticastTtl(0).Build();
	ASSERT_NE(Member, nullptr);
	ASSERT_NE(QuietSender, nullptr);
	int32 Sent = 0;
	const uint8 Byte = 7;
	ASSERT_TRUE(QuietSender->SendTo(&Byte, 1, Sent, *Target.ToInternetAddr()));
	EXPECT_FALSE(Member->Wait(ESocketWaitConditions::WaitForRead, FTimespan::FromMilliseconds(200)));
	ISocketSubsystem::Get()->DestroySocket(Member);
	ISocketSubsystem::Get()->DestroySocket(QuietSender);
	ISocketSubsystem::Get()->DestroySocket(Sender);
}
} // namespace
