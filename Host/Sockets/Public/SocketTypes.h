// Stand-in for the engine's socket enums: only the socket kinds, wait conditions and receive flags the plug-in uses.
#pragma once

#include "CoreTypes.h"

#define SOCKETS_API DLLEXPORT

enum ESocketType
{
	SOCKTYPE_Unknown,
	SOCKTYPE_Datagram,
	SOCKTYPE_Streaming,
};

namespace ESocketWaitConditions
{
enum Type
{
	WaitForRead,
	WaitForWrite,
	WaitForReadOrWrite,
};
} // namespace ESocketWaitConditions

namespace ESocketReceiveFlags
{
enum Type
{
	None = 0,
	Peek = 2,
	WaitAll = 0x100,
};
} // namespace ESocketReceiveFlags
