// Stand-in for the engine's FUdpSocketBuilder: builds a configured, bound IPv4 UDP socket or logs why it could not.
// No multicast groups.
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
	 * The socket, created by the default socket subsystem, configured and bound; null when any step failed. Each
	 * failure is logged, and a half-made socket is destroyed before null is returned.
	 */
	FSocket* Build() const;

private:
	FString Description;
	FIPv4Endpoint BoundEndpoint;
	bool bBlocking = false;
	bool bReusable = false;
	bool bBound = false;
	bool bBroadcast = false;
	int32 ReceiveBufferSize = 0;
	int32 SendBufferSize = 0;
};
