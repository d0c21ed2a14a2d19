// Stand-in only, for tests and tools: the platform name the socket subsystem answers to. Not part of the engine's API.
#pragma once

#include "SocketSubsystem.h"

struct SOCKETS_API FSocketSubsystemTesting
{
	/**
	 * The platform name the subsystem is registered under, "WINDOWS" by default: the editor the plug-in is built
	 * for. A test names another platform to see the plug-in where the engine knows no "WINDOWS" subsystem.
	 */
	static void SetPlatformName(const FName& PlatformName);

	/**
	 * The largest socket buffer size the system grants; a larger request is refused with an error, as systems with
	 * a hard limit do (Linux instead cuts it silently). 0, the default, sets no limit.
	 */
	static void SetBufferSizeLimit(int32 LimitInBytes);
};
