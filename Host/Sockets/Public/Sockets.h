// Stand-in for the engine's FSocket over POSIX sockets: UDP only. A socket used after Close is a contract breach and
// fails loudly. No TCP, no multicast, no time stamps.
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
