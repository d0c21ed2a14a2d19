// Stand-in for the engine's platform affinity masks: every mask means "any core".
#pragma once

#include "CoreTypes.h"

class FGenericPlatformAffinity
{
public:
	static constexpr uint64 GetNoAffinityMask() { return ~uint64(0); }
	static constexpr uint64 GetPoolThreadMask() { return GetNoAffinityMask(); }
};

using FPlatformAffinity = FGenericPlatformAffinity;
