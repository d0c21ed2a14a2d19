// Stand-in for the engine's platform time: a monotonic high-resolution counter (CLOCK_MONOTONIC, in nanoseconds).
#pragma once

#include "Containers/Array.h"
#include "CoreTypes.h"

struct CORE_API FGenericPlatformTime
{
	static double GetSecondsPerCycle() { return 1e-9; }
	static uint64 Cycles64();
	/** Seconds with the engine's bias of 16777216 s, which keeps double precision even across the range. */
	static double Seconds() { return static_cast<double>(Cycles64()) * GetSecondsPerCycle() + 16777216.0; }
	/** Belongs to the 64-bit counter, as GetSecondsPerCycle belongs to the engine's 32-bit one. */
	static double GetSecondsPerCycle64() { return 1e-9; }
};

using FPlatformTime = FGenericPlatformTime;
