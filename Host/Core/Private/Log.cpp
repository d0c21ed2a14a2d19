#include "Logging/LogMacros.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <vector>

const TCHAR* ELogVerbosity::ToString(Type Verbosity)
{
	switch (Verbosity)
	{
	case NoLogging:
		return u"NoLogging";
	case Fatal:
		return u"Fatal";
	case Error:
		return u"Error";
	case Warning:
		return u"Warning";
	case Display:
		return u"Display";
	case Log:
		return u"Log";
	case Verbose:
		return u"Verbose";
	case VeryVerbose:
		return u"VeryVerbose";
	}
	return u"Unknown";
}

FLogCategoryBase::FLogCategoryBase(
	const TCHAR* InCategoryName, ELogVerbosity::Type InDefaultVerbosity, ELogVerbosity::Type InCompileTimeVerbosity)
	: Verbosity(std::min(InDefaultVerbosity, InCompileTimeVerbosity))
	, DefaultVerbosity(InDefaultVerbosity)
	, CompileTimeVerbosity(InCompileTimeVerbosity)
	, CategoryName(InCategoryName)
{
}

void FLogCategoryBase::SetVerbosity(ELogVerbosity::Type NewVerbosity)
{
	Verbosity.store(std::min(NewVerbosity, CompileTimeVerbosity), std::memory_order_relaxed);
}

namespace
{
struct FRedirectorState
{
	std::mutex Mutex;
	std::vector<FOutputDevice*> Devices;
};

FRedirectorState& GetRedirectorState()
{
	static FRedirectorState State;
	return State;
}
} // namespace

FOutputDeviceRedirector& FOutputDeviceRedirector::Get()
{
	static FOutputDeviceRedirector Redirector;
	return Redirector;
}

void FOutputDeviceRedirector::AddOutputDevice(FOutputDevice* Device)
{
	FRedirectorState& State = GetRedirectorState();
	std::lock_guard Lock(State.Mutex);
	State.Devices.push_back(Device);
}

void FOutputDeviceRedirector::RemoveOutputDevice(FOutputDevice* Device)
{
	FRedirectorState& State = GetRedirectorState();
	std::lock_guard Lock(State.Mutex);
	std::erase(State.Devices, Device);
}

void FOutputDeviceRedirector::Serialize(const TCHAR* Text, ELogVerbosity::Type Verbosity, const FName& Category)
{
	// Devices are called under the lock: a device removed by another thread is never called after removal.
	FRedirectorState& State = GetRedirectorState();
	std::lock_guard Lock(State.Mutex);
	if (State.Devices.empty())
	{
		std::fprintf(stderr, "%s: %s: %s\n", TCHAR_TO_UTF8(*Category.ToString()), TCHAR_TO_UTF8(ELogVerbosity::ToString(Verbosity)),
			TCHAR_TO_UTF8(Text));
		return;
	}
	for (FOutputDevice* Device : State.Devices)
	{
		Device->Serialize(Text, Verbosity, Category);
	}
}

void FMsg::Logf(const FLogCategoryBase& Category, ELogVerbosity::Type Verbosity, const TCHAR* Format, ...)
{
	va_list Args;
	va_start(Args, Format);
	const FString Text = FString::VPrintf(Format, Args);
	va_end(Args);
	GLog->Serialize(*Text, Verbosity, Category.GetCategoryName());
	if (Verbosity == ELogVerbosity::Fatal)
	{
		FDebug::AssertFailed("fatal log", __FILE__, __LINE__, TCHAR_TO_UTF8(*Text));
	}
}
