// Stand-in for the engine's IModuleInterface: the start-up and shut-down hooks of a module.
#pragma once

#include "CoreTypes.h"

class IModuleInterface
{
public:
	virtual ~IModuleInterface() = default;
	virtual void StartupModule() {}
	virtual void ShutdownModule() {}
	virtual bool SupportsDynamicReloading() { return true; }
	virtual bool IsGameModule() const { return false; }
};
