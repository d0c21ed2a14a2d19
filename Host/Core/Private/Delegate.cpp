#include "Delegates/Delegate.h"

#include <atomic>

FDelegateHandle::FDelegateHandle(EGenerateNewHandleType)
{
	static std::atomic<uint64> NextID{1};
	ID = NextID.fetch_add(1, std::memory_order_relaxed);
}
