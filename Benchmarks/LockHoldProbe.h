#pragma once

#include <atomic>
#include <cstdint>

/**
 * Times how long one chosen mutex is held, from outside the code that holds it: the benchmark binary interposes
 * pthread_mutex_lock/unlock and reads the clock right after that mutex is taken and right before it is released.
 */
namespace LockHoldProbe
{
/** Starts watching Mutex (a std::mutex is a pthread mutex underneath); null stops watching. */
void Watch(const void* Mutex);
/** Total nanoseconds the watched mutex was held, and how many times it was taken, since Watch. */
uint64_t HeldNanoseconds();
uint64_t Acquisitions();

/**
 * Calls OnRelease(Context) whenever Mutex is about to be released, on the releasing thread, which still holds it:
 * whatever that thread published under the lock can be read there, at the moment it becomes visible. A null Mutex
 * stops it. Independent of Watch.
 */
void CallBeforeRelease(const void* Mutex, void (*OnRelease)(void* Context), void* Context);
} // namespace LockHoldProbe
