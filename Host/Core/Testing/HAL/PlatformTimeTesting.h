// Stand-in only, for tests and tools: scripted readings of the platform clock. Not part of the engine's API.
#pragma once

#include "Containers/Array.h"
#include "CoreTypes.h"

struct CORE_API FPlatformTimeTesting
{
	/**
	 * The calling thread's next FPlatformTime::Cycles64 calls (and so Seconds) return InReadings in order, then the
	 * real counter again. Other threads never see them. An empty array ends a script early.
	 */
	static void ScriptCycles64(const TArray<uint64>& InReadings);
};
