// Stand-in for the engine's platform time: a monotonic high-resolution counter (CLOCK_MONOTONIC, in nanoseconds).
#pragma once

#include "CoreTypes.h"

struct CORE_API FGenericPlatformTime
{
	static double GetSecondsPerCycle() { return 1e-9; }
	static uint64 Cycles64();
	/** Seconds with the engine's bias of 16777216 s, which keeps double precision even across the range. */
	static double Seconds() { return static_cast<double>(Cycles64()) * GetSecondsPerCycle() + 16777216.0; }
};

using FPlatformTime = FGenericPlatformTime;
