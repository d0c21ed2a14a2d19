#include "LockHoldProbe.h"

#include <dlfcn.h>
#include <pthread.h>
#include <time.h>

namespace
{
std::atomic<const void*> Watched{nullptr};
std::atomic<uint64_t> Held{0};
std::atomic<uint64_t> Taken{0};
thread_local uint64_t AcquiredAt = 0;
std::atomic<const void*> Announced{nullptr};
std::atomic<void (*)(void*)> AnnounceFunction{nullptr};
std::atomic<void*> AnnounceContext{nullptr};

uint64_t NowNanoseconds()
{
	timespec Now{};
	clock_gettime(CLOCK_MONOTONIC, &Now);
	return static_cast<uint64_t>(Now.tv_sec) * 1000000000ull + static_cast<uint64_t>(Now.tv_nsec);
}

using FMutexFunction = int (*)(pthread_mutex_t*);

FMutexFunction Real(const char* Name)
{
	return reinterpret_cast<FMutexFunction>(dlsym(RTLD_NEXT, Name));
}
} // namespace

extern "C" int pthread_mutex_lock(pthread_mutex_t* Mutex)
{
	static const FMutexFunction RealLock = Real("pthread_mutex_lock");
	const int Result = RealLock(Mutex);
	if (Result == 0 && Mutex == Watched.load(std::memory_order_relaxed))
	{
		AcquiredAt = NowNanoseconds();
	}
	return Result;
}

extern "C" int pthread_mutex_unlock(pthread_mutex_t* Mutex)
{
	static const FMutexFunction RealUnlock = Real("pthread_mutex_unlock");
	if (Mutex == Announced.load(std::memory_order_acquire))
	{
		AnnounceFunction.load(std::memory_order_relaxed)(AnnounceContext.load(std::memory_order_relaxed));
	}
	if (Mutex == Watched.load(std::memory_order_relaxed) && AcquiredAt != 0)
	{
		Held.fetch_add(NowNanoseconds() - AcquiredAt, std::memory_order_relaxed);
		Taken.fetch_add(1, std::memory_order_relaxed);
		AcquiredAt = 0;
	}
	return RealUnlock(Mutex);
}

namespace LockHoldProbe
{
void Watch(const void* Mutex)
{
	Held = 0;
	Taken = 0;
	Watched = Mutex;
}

uint64_t HeldNanoseconds()
{
	return Held.load();
}

uint64_t Acquisitions()
{
	return Taken.load();
}

void CallBeforeRelease(const void* Mutex, void (*OnRelease)(void* Context), void* Context)
{
	if (Mutex == nullptr)
	{
		Announced.store(nullptr, std::memory_order_release);
		return;
	}
	AnnounceFunction.store(OnRelease, std::memory_order_relaxed);
	AnnounceContext.store(Context, std::memory_order_relaxed);
	Announced.store(Mutex, std::memory_order_release);
}
} // namespace LockHoldProbe
