#include "HAL/RunnableThread.h"

#include "Async/Async.h"
#include "HAL/PlatformTime.h"
#include "HAL/PlatformTimeTesting.h"
#include "HAL/Runnable.h"
#include "HAL/RunnableThreadTesting.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <ctime>
#include <pthread.h>
#include <sched.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

namespace
{
std::atomic<int32> LiveThreads{0};
std::atomic<bool> bCreationFails{false};

/** Readings a test scripted for this thread's next Cycles64 calls; the real counter once they are used up. */
thread_local std::vector<uint64> ScriptedCycles;
thread_local size_t NextScriptedCycle = 0;

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
// Sanitizer runtimes add their own frames and shadow: scale the requested stack so that sanitised builds
// measure the same code paths, not the instrumentation's appetite.
constexpr size_t SanitizerStackScale = 4;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr size_t SanitizerStackScale = 4;
#else
constexpr size_t SanitizerStackScale = 1;
#endif
#else
constexpr size_t SanitizerStackScale = 1;
#endif

int NativePriority(EThreadPriority Priority, int Min, int Max)
{
	const int Mid = (Min + Max) / 2;
	switch (Priority)
	{
	case TPri_AboveNormal:
		return Mid + (Max - Mid) / 2;
	case TPri_Highest:
	case TPri_TimeCritical:
		return Max;
	default:
		return Mid;
	}
}
} // namespace

int32 FAsyncThreadIndex::GetNext()
{
	static std::atomic<int32> Next{0};
	return Next.fetch_add(1, std::memory_order_relaxed);
}

uint64 FGenericPlatformTime::Cycles64()
{
	if (NextScriptedCycle < ScriptedCycles.size())
	{
		return ScriptedCycles[NextScriptedCycle++];
	}
	timespec Now{};
	clock_gettime(CLOCK_MONOTONIC, &Now);
	return static_cast<uint64>(Now.tv_sec) * 1000000000ull + static_cast<uint64>(Now.tv_nsec);
}

void FPlatformTimeTesting::ScriptCycles64(const TArray<uint64>& InReadings)
{
	ScriptedCycles.assign(InReadings.GetData(), InReadings.GetData() + InReadings.Num());
	NextScriptedCycle = 0;
}

void FRunnableThreadTesting::SetCreationFails(bool bInFails)
{
	bCreationFails.store(bInFails);
}

FRunnableThread* FRunnableThread::Create(FRunnable* InRunnable, const TCHAR* ThreadName, uint32 InStackSize, EThreadPriority InThreadPri,
	uint64 InThreadAffinityMask, EThreadCreateFlags)
{
	if (InRunnable == nullptr || bCreationFails.load())
	{
		return nullptr;
	}
	FRunnableThread* Thread = new FRunnableThread();
	Thread->Runnable = InRunnable;
	Thread->ThreadName = FString(ThreadName);
	Thread->StackSize = InStackSize;
	Thread->ThreadPriority = InThreadPri;
	Thread->AffinityMask = InThreadAffinityMask;

	pthread_attr_t Attributes;
	pthread_attr_init(&Attributes);
	if (InStackSize > 0)
	{
		const size_t Requested = static_cast<size_t>(InStackSize) * SanitizerStackScale;
		pthread_attr_setstacksize(&Attributes, std::max<size_t>(Requested, static_cast<size_t>(PTHREAD_STACK_MIN)));
	}
	pthread_t Native{};
	const int Result = pthread_create(&Native, &Attributes, &FRunnableThread::ThreadEntry, Thread);
	pthread_attr_destroy(&Attributes);
	if (Result != 0)
	{
		Thread->bJoined = true;
		delete Thread;
		return nullptr;
	}
	Thread->NativeHandle = Native;
	LiveThreads.fetch_add(1, std::memory_order_relaxed);
	return Thread;
}

void* FRunnableThread::ThreadEntry(void* Arg)
{
	FRunnableThread* Thread = static_cast<FRunnableThread*>(Arg);
	Thread->ThreadID.store(static_cast<uint32>(syscall(SYS_gettid)), std::memory_order_relaxed);

	// The OS keeps 15 characters of a name; the full name stays on the thread object.
	const std::string OsName = Thread->ThreadName.ToUtf8().substr(0, 15);
	pthread_setname_np(pthread_self(), OsName.c_str());

	// Raising priority needs privileges the process may not have; the thread runs at its default then.
	int Policy = SCHED_OTHER;
	sched_param Param{};
	if (Thread->ThreadPriority != TPri_Normal && pthread_getschedparam(pthread_self(), &Policy, &Param) == 0)
	{
		Param.sched_priority = NativePriority(Thread->ThreadPriority, sched_get_priority_min(Policy), sched_get_priority_max(Policy));
		pthread_setschedparam(pthread_self(), Policy, &Param);
	}
	if (Thread->AffinityMask != FGenericPlatformAffinity::GetNoAffinityMask())
	{
		cpu_set_t CpuSet;
		CPU_ZERO(&CpuSet);
		for (int Cpu = 0; Cpu < 64 && Cpu < CPU_SETSIZE; ++Cpu)
		{
			if (Thread->AffinityMask & (uint64(1) << Cpu))
			{
				CPU_SET(Cpu, &CpuSet);
			}
		}
		pthread_setaffinity_np(pthread_self(), sizeof(CpuSet), &CpuSet);
	}

	if (Thread->Runnable->Init())
	{
		Thread->Runnable->Run();
	}
	Thread->Runnable->Exit();
	return nullptr;
}

void FRunnableThread::WaitForCompletion()
{
	if (!bJoined)
	{
		pthread_join(static_cast<pthread_t>(NativeHandle), nullptr);
		bJoined = true;
		LiveThreads.fetch_sub(1, std::memory_order_relaxed);
	}
}

bool FRunnableThread::Kill(bool bShouldWait)
{
	Runnable->Stop();
	if (bShouldWait)
	{
		WaitForCompletion();
	}
	return true;
}

FRunnableThread::~FRunnableThread()
{
	WaitForCompletion();
}

int32 FRunnableThreadTesting::GetLiveThreadCount()
{
	return LiveThreads.load(std::memory_order_relaxed);
}
