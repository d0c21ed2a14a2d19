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
} // namespace LockHoldProbe
