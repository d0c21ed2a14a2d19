// Stand-in for the engine's platform time: a monotonic high-resolution counter (CLOCK_MONOTONIC, in nanoseconds).
// Tests can script the counter's next readings on one thread.
#pragma once

#include "Containers/Array.h"
#include "CoreTypes.h"

struct CORE_API FGenericPlatformTime
{
	static double GetSecondsPerCycle() { return 1e-9; }
	static uint64 Cycles64();
	/** Seconds with the engine's bias of 16777216 s, which keeps double precision even across the range. */
	static double Seconds() { return static_cast<double>(Cycles64()) * GetSecondsPerCycle() + 16777216.0; }

	/**
	 * Test only: the calling thread's next Cycles64 calls return InReadings in order, then the real counter again.
	 * Other threads never see them. An empty array ends a script early.
	 */
	static void ScriptCycles64ForTesting(const TArray<uint64>& InReadings);
};

using FPlatformTime = FGenericPlatformTime;
