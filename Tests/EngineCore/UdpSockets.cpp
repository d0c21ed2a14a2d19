#include "Common/UdpSocketBuilder.h"
#include "SocketSubsystem.h"
#include "Sockets.h"

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
} // namespace
