#include "PollWakeProbe.h"

#include <dlfcn.h>
#include <poll.h>
#include <time.h>

namespace
{
thread_local uint64_t LastWake = 0;

uint64_t NowNanoseconds()
{
	timespec Now{};
	clock_gettime(CLOCK_MONOTONIC, &Now);
	return static_cast<uint64_t>(Now.tv_sec) * 1000000000ull + static_cast<uint64_t>(Now.tv_nsec);
}
} // namespace

extern "C" int poll(pollfd* Descriptors, nfds_t Count, int TimeoutMs)
{
	using FPollFunction = int (*)(pollfd*, nfds_t, int);
	static const FPollFunction RealPoll = reinterpret_cast<FPollFunction>(dlsym(RTLD_NEXT, "poll"));
	const int Result = RealPoll(Descriptors, Count, TimeoutMs);
	LastWake = NowNanoseconds();
	return Result;
}

namespace PollWakeProbe
{
double MicrosecondsSinceLastWake()
{
	return LastWake == 0 ? 0.0 : static_cast<double>(NowNanoseconds() - LastWake) / 1000.0;
}
} // namespace PollWakeProbe
