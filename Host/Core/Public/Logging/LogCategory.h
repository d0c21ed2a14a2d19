// Stand-in for the engine's log categories: a name, a run-time verbosity and a compile-time ceiling.
#pragma once

#include "CoreTypes.h"
#include "Logging/LogVerbosity.h"
#include "UObject/NameTypes.h"

#include <atomic>

struct CORE_API FLogCategoryBase
{
	FLogCategoryBase(const TCHAR* InCategoryName, ELogVerbosity::Type InDefaultVerbosity, ELogVerbosity::Type InCompileTimeVerbosity);

	bool IsSuppressed(ELogVerbosity::Type VerbosityLevel) const { return VerbosityLevel > Verbosity.load(std::memory_order_relaxed); }
	const FName& GetCategoryName() const { return CategoryName; }
	ELogVerbosity::Type GetVerbosity() const { return Verbosity.load(std::memory_order_relaxed); }
	/** Clamped to the compile-time ceiling, as in the engine. */
	void SetVerbosity(ELogVerbosity::Type NewVerbosity);
	ELogVerbosity::Type GetDefaultVerbosity() const { return DefaultVerbosity; }
	ELogVerbosity::Type GetCompileTimeVerbosity() const { return CompileTimeVerbosity; }

private:
	std::atomic<ELogVerbosity::Type> Verbosity;
	ELogVerbosity::Type DefaultVerbosity;
	ELogVerbosity::Type CompileTimeVerbosity;
	FName CategoryName;
};

template <ELogVerbosity::Type InDefaultVerbosity, ELogVerbosity::Type InCompileTimeVerbosity> struct FLogCategory : public FLogCategoryBase
{
	static constexpr ELogVerbosity::Type CompileTimeVerbosity = InCompileTimeVerbosity;
	explicit FLogCategory(const TCHAR* InCategoryName)
		: FLogCategoryBase(InCategoryName, InDefaultVerbosity, InCompileTimeVerbosity)
	{
	}
};
