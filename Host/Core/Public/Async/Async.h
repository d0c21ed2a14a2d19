// Stand-in for the engine's FAsyncThreadIndex: a process-wide counter that numbers worker threads.
#pragma once

#include "CoreTypes.h"

struct CORE_API FAsyncThreadIndex
{
	/** 0, 1, 2, ... across the whole process; safe from any thread. */
	static int32 GetNext();
};
