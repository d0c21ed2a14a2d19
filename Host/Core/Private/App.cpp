#include "Misc/App.h"
#include "HAL/PlatformTime.h"
#include "Misc/EngineClockTesting.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>
#include <mutex>

namespace
{
struct FEngineClockState
{
	std::mutex Mutex;
	double CurrentTime = 0.0;
	FTimecode Timecode;
	FFrameRate TimecodeRate = FFrameRate(24, 1);
	FFrameRate ProviderRate = FFrameRate(24, 1);
	bool bScripted = false;
	FTimecode ScriptedTimecode;
	FFrameRate ScriptedRate = FFrameRate(24, 1);
	bool bProviderAvailable = true;
	bool bHasTimecode = false;
};

FEngineClockState& GetState()
{
	static FEngineClockState State;
	return State;
}

/** The engine's default provider: the local time of day, counted in whole frames at Rate. */
FTimecode SystemTimeOfDay(const FFrameRate& Rate)
{
	const auto Now = std::chrono::system_clock::now();
	const std::time_t Seconds = std::chrono::system_clock::to_time_t(Now);
	std::tm Local{};
	localtime_r(&Seconds, &Local);
	const double Fraction = std::chrono::duration<double>(Now - std::chrono::system_clock::from_time_t(Seconds)).count();
	const int32 FramesPerSecond = static_cast<int32>(std::ceil(Rate.AsDecimal()));
	const int32 Frame = std::min(FramesPerSecond - 1, static_cast<int32>(Fraction * Rate.AsDecimal()));
	return FTimecode(Local.tm_hour, Local.tm_min, Local.tm_sec, Frame, false);
}
} // namespace

double FApp::GetCurrentTime()
{
	std::lock_guard Lock(GetState().Mutex);
	return GetState().CurrentTime;
}

FTimecode FApp::GetTimecode()
{
	std::lock_guard Lock(GetState().Mutex);
	return GetState().Timecode;
}

FFrameRate FApp::GetTimecodeFrameRate()
{
	std::lock_guard Lock(GetState().Mutex);
	return GetState().TimecodeRate;
}

void FEngineClockTesting::BeginFrame()
{
	BeginFrame(FPlatformTime::Seconds());
}

void FEngineClockTesting::BeginFrame(double Seconds)
{
	FEngineClockState& State = GetState();
	std::lock_guard Lock(State.Mutex);
	State.CurrentTime = Seconds;
	State.bHasTimecode = State.bProviderAvailable;
	if (!State.bProviderAvailable)
	{
		State.Timecode = FTimecode();
	}
	else if (State.bScripted)
	{
		State.Timecode = State.ScriptedTimecode;
		State.TimecodeRate = State.ScriptedRate;
	}
	else
	{
		State.Timecode = SystemTimeOfDay(State.ProviderRate);
		State.TimecodeRate = State.ProviderRate;
	}
}

void FEngineClockTesting::SetTimecodeFrameRate(const FFrameRate& Rate)
{
	std::lock_guard Lock(GetState().Mutex);
	GetState().ProviderRate = Rate;
}

void FEngineClockTesting::ScriptTimecode(const FTimecode& Timecode, const FFrameRate& Rate)
{
	std::lock_guard Lock(GetState().Mutex);
	GetState().bScripted = true;
	GetState().ScriptedTimecode = Timecode;
	GetState().ScriptedRate = Rate;
}

void FEngineClockTesting::ResetTimecodeProvider()
{
	std::lock_guard Lock(GetState().Mutex);
	GetState().bScripted = false;
	GetState().ProviderRate = FFrameRate(24, 1);
	GetState().bProviderAvailable = true;
}

void FEngineClockTesting::SetTimecodeProviderAvailable(bool bAvailable)
{
	std::lock_guard Lock(GetState().Mutex);
	GetState().bProviderAvailable = bAvailable;
}

bool FEngineClockTesting::HasTimecode()
{
	std::lock_guard Lock(GetState().Mutex);
	return GetState().bHasTimecode;
}
