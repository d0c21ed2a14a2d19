#pragma once

#include <chrono>
#include <thread>

/** Polls Condition until it holds or Timeout passes; true when it held. Generous time-outs keep noisy machines green. */
template <typename ConditionType> bool WaitUntil(ConditionType Condition, std::chrono::milliseconds Timeout = std::chrono::seconds(10))
{
	const auto Deadline = std::chrono::steady_clock::now() + Timeout;
	while (!Condition())
	{
		if (std::chrono::steady_clock::now() >= Deadline)
		{
			return false;
		}
		std::this_thread::sleep_for(std::chrono::milliseconds(1));
	}
	return true;
}
