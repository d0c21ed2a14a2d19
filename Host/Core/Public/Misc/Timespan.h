// Stand-in for the engine's FTimespan: a signed count of 100-nanosecond ticks.
#pragma once

#include "CoreTypes.h"

namespace ETimespan
{
inline constexpr int64 TicksPerMicrosecond = 10;
inline constexpr int64 TicksPerMillisecond = 10000;
inline constexpr int64 TicksPerSecond = 10000000;
} // namespace ETimespan

struct FTimespan
{
	constexpr FTimespan() = default;
	constexpr explicit FTimespan(int64 InTicks)
		: Ticks(InTicks)
	{
	}

	static constexpr FTimespan FromMilliseconds(double Milliseconds)
	{
		return FTimespan(static_cast<int64>(Milliseconds * ETimespan::TicksPerMillisecond));
	}
	static constexpr FTimespan FromSeconds(double Seconds) { return FTimespan(static_cast<int64>(Seconds * ETimespan::TicksPerSecond)); }
	static constexpr FTimespan Zero() { return FTimespan(0); }
	constexpr int64 GetTicks() const { return Ticks; }
	constexpr double GetTotalMilliseconds() const { return static_cast<double>(Ticks) / ETimespan::TicksPerMillisecond; }
	constexpr double GetTotalSeconds() const { return static_cast<double>(Ticks) / ETimespan::TicksPerSecond; }
	constexpr bool operator==(const FTimespan& Other) const { return Ticks == Other.Ticks; }
	constexpr bool operator!=(const FTimespan& Other) const { return !(*this == Other); }

private:
	int64 Ticks = 0;
};
