// Stand-in for the engine's FSocket over POSIX sockets: UDP only, IPv4 multicast included. A socket used after Close
// is a contract breach and fails loudly. No TCP, no time stamps.
#pragma once

#include "CoreMinimal.h"
#include "IPAddress.h"
#include "SocketTypes.h"

class SOCKETS_API FSocket
{
public:
	FSocket(ESocketType InSocketType, const FString& InSocketDescription)
		: SocketType(InSocketType)
		, SocketDescription(InSocketDescription)
	{
	}
	virtual ~FSocket() = default;

	virtual bool Close() = 0;
	virtual bool Bind(const FInternetAddr& Addr) = 0;
	virtual bool SendTo(const uint8* Data, int32 Count, int32& BytesSent, const FInternetAddr& Destination) = 0;
	/** Reads one datagram; a datagram longer than BufferSize is cut to it. An empty datagram is a success with 0 bytes. */
	virtual bool RecvFrom(uint8* Data, int32 BufferSize, int32& BytesRead, FInternetAddr& Source,
		ESocketReceiveFlags::Type Flags = ESocketReceiveFlags::None) = 0;
	/** True when the system counts queued bytes, with the size of the next datagram; never for an empty datagram. */
	virtual bool HasPendingData(uint32& PendingDataSize) = 0;
	/** True when the condition holds within WaitTime; false on time-out or error. */
	virtual bool Wait(ESocketWaitConditions::Type Condition, FTimespan WaitTime) = 0;
	virtual bool SetNonBlocking(bool bIsNonBlocking = true) = 0;
	virtual bool SetReuseAddr(bool bAllowReuse = true) = 0;
	virtual bool SetBroadcast(bool bAllowBroadcast = true) = 0;
	/** Whether errors of earlier sends are queued for reading; off, as the engine leaves it. */
	virtual bool SetRecvErr(bool bUseErrorQueue = false) = 0;
	/** Joins a group on the interface the system chooses (an "any" interface address) or on the one given. */
	virtual bool JoinMulticastGroup(const FInternetAddr& GroupAddress) = 0;
	virtual bool JoinMulticastGroup(const FInternetAddr& GroupAddress, const FInternetAddr& InterfaceAddress) = 0;
	/** Whether this machine's members of a group get what is sent to it (see the platform note in the source). */
	virtual bool SetMulticastLoopback(bool bLoopback) = 0;
	virtual bool SetMulticastTtl(uint8 TimeToLive) = 0;
	/** The interface group datagrams leave by; an "any" address lets the system choose. */
	virtual bool SetMulticastInterface(const FInternetAddr& InterfaceAddress) = 0;
	/** Asks for a buffer size; NewSize is what the system granted, which may be less (or, on Linux, double). */
	virtual bool SetReceiveBufferSize(int32 Size, int32& NewSize) = 0;
	virtual bool SetSendBufferSize(int32 Size, int32& NewSize) = 0;
	virtual void GetAddress(FInternetAddr& OutAddr) = 0;
	/** The bound port; tells the real port of a socket bound to port 0. */
	virtual int32 GetPortNo() = 0;

	ESocketType GetSocketType() const { return SocketType; }
	const FString& GetDescription() const { return SocketDescription; }

protected:
	const ESocketType SocketType;
	const FString SocketDescription;
};
