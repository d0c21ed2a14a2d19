// Stand-in for the engine's FInternetAddr: an IPv4 address and port. No IPv6, no name resolution.
#pragma once

#include "CoreMinimal.h"
#include "SocketTypes.h"

class SOCKETS_API FInternetAddr
{
public:
	virtual ~FInternetAddr() = default;

	/** Address in host byte order (127.0.0.1 is 0x7f000001). */
	virtual void SetIp(uint32 InAddr) = 0;
	virtual void GetIp(uint32& OutAddr) const = 0;
	virtual void SetPort(int32 InPort) = 0;
	virtual int32 GetPort() const = 0;
	virtual void SetAnyAddress() = 0;
	virtual void SetLoopbackAddress() = 0;
	virtual FString ToString(bool bAppendPort) const = 0;
	virtual bool IsValid() const = 0;
};
