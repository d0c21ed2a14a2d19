// Stand-in for the engine's FUdpSocketBuilder: builds a configured, bound IPv4 UDP socket, joined to any multicast
// groups asked for, or logs why it could not.
#pragma once

#include "CoreMinimal.h"
#include "Interfaces/IPv4/IPv4Endpoint.h"

class FSocket;

class NETWORKING_API FUdpSocketBuilder
{
public:
	explicit FUdpSocketBuilder(const FString& InDescription)
		: Description(InDescription)
	{
	}

	FUdpSocketBuilder& AsBlocking()
	{
		bBlocking = true;
		return *this;
	}
	FUdpSocketBuilder& AsNonBlocking()
	{
		bBlocking = false;
		return *this;
	}
	/** Lets other sockets that also ask for reuse bind the same address and port. */
	FUdpSocketBuilder& AsReusable()
	{
		bReusable = true;
		return *this;
	}
	FUdpSocketBuilder& BoundToAddress(const FIPv4Address& InAddress)
	{
		BoundEndpoint.Address = InAddress;
		bBound = true;
		return *this;
	}
	FUdpSocketBuilder& BoundToEndpoint(const FIPv4Endpoint& InEndpoint)
	{
		BoundEndpoint = InEndpoint;
		bBound = true;
		return *this;
	}
	FUdpSocketBuilder& BoundToPort(int32 InPort)
	{
		BoundEndpoint.Port = static_cast<uint16>(InPort);
		bBound = true;
		return *this;
	}
	/** Joins the group on the interface the system chooses. Every group given is joined. */
	FUdpSocketBuilder& JoinedToGroup(const FIPv4Address& GroupAddress) { return JoinedToGroup(GroupAddress, FIPv4Address::Any); }
	FUdpSocketBuilder& JoinedToGroup(const FIPv4Address& GroupAddress, const FIPv4Address& InterfaceAddress)
	{
		JoinedGroups.Add(FGroupMembership{GroupAddress, InterfaceAddress});
		return *this;
	}
	FUdpSocketBuilder& WithMulticastLoopback()
	{
		bMulticastLoopback = true;
		return *this;
	}
	FUdpSocketBuilder& WithMulticastTtl(uint8 TimeToLive)
	{
		MulticastTtl = TimeToLive;
		return *this;
	}
	FUdpSocketBuilder& WithMulticastInterface(const FIPv4Address& InterfaceAddress)
	{
		MulticastInterface = InterfaceAddress;
		return *this;
	}
	FUdpSocketBuilder& WithBroadcast()
	{
		bBroadcast = true;
		return *this;
	}
	FUdpSocketBuilder& WithReceiveBufferSize(int32 SizeInBytes)
	{
		ReceiveBufferSize = SizeInBytes;
		return *this;
	}
	FUdpSocketBuilder& WithSendBufferSize(int32 SizeInBytes)
	{
		SendBufferSize = SizeInBytes;
		return *this;
	}

	/**
	 * The socket, created by the platform's socket subsystem, configured, bound and joined to its groups; null when
	 * any step failed. The steps come in the engine's order: blocking mode, address reuse, broadcast, receive-error
	 * reporting, bind, multicast loopback and time to live, the group joins, the multicast interface, and last the
	 * buffer sizes, which are only asked for: a size the system refuses or cuts does not fail the build. Each
	 * failure is logged, and a half-made socket is destroyed before null is returned.
	 */
	FSocket* Build() const;

private:
	struct FGroupMembership
	{
		FIPv4Address Group;
		FIPv4Address Interface;
	};

	FString Description;
	FIPv4Endpoint BoundEndpoint;
	bool bBlocking = false;
	bool bReusable = false;
	bool bBound = false;
	bool bBroadcast = false;
	bool bMulticastLoopback = false;
	uint8 MulticastTtl = 1;
	FIPv4Address MulticastInterface = FIPv4Address::Any;
	TArray<FGroupMembership> JoinedGroups;
	int32 ReceiveBufferSize = 0;
	int32 SendBufferSize = 0;
};
