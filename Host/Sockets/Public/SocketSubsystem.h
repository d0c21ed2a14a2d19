// Stand-in for the engine's ISocketSubsystem: one POSIX subsystem, registered under the name of the platform it
// stands for ("WINDOWS" unless told otherwise); any other name yields null, as in the engine. No host-name resolution.
#pragma once

#include "CoreMinimal.h"
#include "IPAddress.h"
#include "SocketTypes.h"

class FSocket;

namespace NAME_SocketTypes
{
inline const TCHAR* DGram = TEXT("DGram");
inline const TCHAR* Stream = TEXT("Stream");
} // namespace NAME_SocketTypes

class SOCKETS_API ISocketSubsystem
{
public:
	virtual ~ISocketSubsystem() = default;

	/** The platform's subsystem for NAME_None or the platform's name; null for any other name. */
	static ISocketSubsystem* Get(const FName& SubsystemName = NAME_None);

	/** A new IPv4 socket, or null; SocketType is "DGram" (UDP). */
	virtual FSocket* CreateSocket(const FName& SocketType, const FString& SocketDescription) = 0;
	/** Closes (if still open) and frees the socket. */
	virtual void DestroySocket(FSocket* Socket) = 0;
	virtual TSharedRef<FInternetAddr> CreateInternetAddr() = 0;
	/** The last error of the calling thread, as text. */
	virtual FString GetLastErrorText() = 0;

	/** Sockets created and not yet destroyed, for leak checks. */
	static int32 GetLiveSocketCount();
};

DECLARE_LOG_CATEGORY_EXTERN(LogSockets, Log, All);
