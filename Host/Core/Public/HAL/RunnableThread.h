// Stand-in for the engine's FRunnableThread on POSIX threads: named, with stack size, priority and affinity.
// No thread manager, no suspension. Tests can make creation fail, as it does where the engine runs without threads.
#pragma once

#include "CoreTypes.h"
#include "Containers/UnrealString.h"
#include "GenericPlatform/GenericPlatformAffinity.h"

#include <atomic>

class FRunnable;

enum EThreadPriority
{
	TPri_Normal,
	TPri_AboveNormal,
	TPri_BelowNormal,
	TPri_Highest,
	TPri_Lowest,
	TPri_SlightlyBelowNormal,
	TPri_TimeCritical,
	TPri_Num,
};

enum class EThreadCreateFlags : int8
{
	None = 0,
	SMTExclusive = 1 << 0,
};

class CORE_API FRunnableThread
{
public:
	/**
	 * Starts a thread that runs InRunnable's Init, then Run when Init succeeded, then Exit. Null when no thread could
	 * be created. A priority or affinity the system refuses (no privilege) is not an error: the thread runs anyway.
	 */
	static FRunnableThread* Create(FRunnable* InRunnable, const TCHAR* ThreadName, uint32 InStackSize = 0,
		EThreadPriority InThreadPri = TPri_Normal, uint64 InThreadAffinityMask = FGenericPlatformAffinity::GetNoAffinityMask(),
		EThreadCreateFlags InCreateFlags = EThreadCreateFlags::None);

	/** Waits for the thread if it still runs: a thread object never outlives its thread. */
	virtual ~FRunnableThread();

	/** Returns once Run has returned and Exit has run. Safe to call more than once. */
	void WaitForCompletion();
	/** Asks the runnable to stop, optionally waits for it. */
	bool Kill(bool bShouldWait = true);

	/** The full name given at creation; the operating system may show only its first 15 characters. */
	const FString& GetThreadName() const { return ThreadName; }
	uint32 GetThreadID() const { return ThreadID.load(std::memory_order_relaxed); }
	uint32 GetStackSize() const { return StackSize; }
	EThreadPriority GetThreadPriority() const { return ThreadPriority; }

private:
	FRunnableThread() = default;
	static void* ThreadEntry(void* Arg);

	FRunnable* Runnable = nullptr;
	FString ThreadName;
	uint32 StackSize = 0;
	EThreadPriority ThreadPriority = TPri_Normal;
	uint64 AffinityMask = 0;
	std::atomic<uint32> ThreadID{0};
	unsigned long NativeHandle = 0;
	bool bJoined = false;
};
