// Stand-in only, for tests and tools: thread creation that fails, and a count of live threads. Not part of the
// engine's API.
#pragma once

#include "CoreTypes.h"

struct CORE_API FRunnableThreadTesting
{
	/**
	 * While set, FRunnableThread::Create starts nothing and returns null, as the engine's does on a platform without
	 * threads. Off by default; process-wide, so a test sets it around the one construction it means.
	 */
	static void SetCreationFails(bool bInFails);
	/** Number of thread objects alive in the process, for leak checks. */
	static int32 GetLiveThreadCount();
};
