// Stand-in for the engine's log: categories, UE_LOG and the GLog redirector that output devices attach to.
// No log files, no per-category command-line overrides.
#pragma once

#include "CoreTypes.h"
#include "Containers/UnrealString.h"
#include "Logging/LogCategory.h"

#include <functional>

/** Receives every line that passes its category's verbosity. Called on the thread that logged. */
class CORE_API FOutputDevice
{
public:
	virtual ~FOutputDevice() = default;
	virtual void Serialize(const TCHAR* Text, ELogVerbosity::Type Verbosity, const FName& Category) = 0;
};

/** The process-wide log: forwards each line to every attached device; stderr when none is attached. */
class CORE_API FOutputDeviceRedirector
{
public:
	static FOutputDeviceRedirector& Get();

	void AddOutputDevice(FOutputDevice* Device);
	void RemoveOutputDevice(FOutputDevice* Device);
	void Serialize(const TCHAR* Text, ELogVerbosity::Type Verbosity, const FName& Category);
};

#define GLog (&FOutputDeviceRedirector::Get())

struct CORE_API FMsg
{
	static void Logf(const FLogCategoryBase& Category, ELogVerbosity::Type Verbosity, const TCHAR* Format, ...);
};

// Each category has a type of its own, so that UE_LOG can test its compile-time verbosity in a constant expression.
#define UE_PRIVATE_LOG_CATEGORY_TYPE(CategoryName, DefaultVerbosity, CompileTimeVerbosity)                                                 \
	struct FLogCategory##CategoryName : public FLogCategory<ELogVerbosity::DefaultVerbosity, ELogVerbosity::CompileTimeVerbosity>          \
	{                                                                                                                                      \
		FLogCategory##CategoryName()                                                                                                       \
			: FLogCategory(TEXT(#CategoryName))                                                                                            \
		{                                                                                                                                  \
		}                                                                                                                                  \
	}

#define DECLARE_LOG_CATEGORY_EXTERN(CategoryName, DefaultVerbosity, CompileTimeVerbosity)                                                  \
	extern UE_PRIVATE_LOG_CATEGORY_TYPE(CategoryName, DefaultVerbosity, CompileTimeVerbosity) CategoryName

#define DEFINE_LOG_CATEGORY(CategoryName) FLogCategory##CategoryName CategoryName

#define DEFINE_LOG_CATEGORY_STATIC(CategoryName, DefaultVerbosity, CompileTimeVerbosity)                                                   \
	static UE_PRIVATE_LOG_CATEGORY_TYPE(CategoryName, DefaultVerbosity, CompileTimeVerbosity) CategoryName

// The format is the first of the "..." so that a line with no values (UE_LOG(LogX, Log, TEXT("done"))) is still ISO C++17.
#define UE_LOG(CategoryName, Verbosity, ...)                                                                                               \
	do                                                                                                                                     \
	{                                                                                                                                      \
		if constexpr (ELogVerbosity::Verbosity <= decltype(CategoryName)::CompileTimeVerbosity)                                            \
		{                                                                                                                                  \
			if (!CategoryName.IsSuppressed(ELogVerbosity::Verbosity))                                                                      \
			{                                                                                                                              \
				FMsg::Logf(CategoryName, ELogVerbosity::Verbosity, __VA_ARGS__);                                                           \
			}                                                                                                                              \
		}                                                                                                                                  \
	} while (false)
