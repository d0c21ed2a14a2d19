// Stand-in for the engine's FModuleManager: one process-wide table of loaded modules, by name. Modules come either
// from a shared library's exported InitializeModule or are registered in-process by the host. No hot reload.
#pragma once

#include "CoreTypes.h"
#include "Containers/UnrealString.h"
#include "Modules/ModuleInterface.h"
#include "Templates/UniquePtr.h"
#include "UObject/NameTypes.h"

class CORE_API FModuleManager
{
public:
	static FModuleManager& Get();

	/** The loaded module of that name, or null. */
	static IModuleInterface* GetModulePtr_Internal(FName ModuleName);
	template <typename TModuleInterface> static TModuleInterface* GetModulePtr(FName ModuleName)
	{
		return static_cast<TModuleInterface*>(GetModulePtr_Internal(ModuleName));
	}

	bool IsModuleLoaded(FName ModuleName) const;
	/** Registers an in-process module (takes ownership) and runs its start-up hook. */
	IModuleInterface* AddModule(FName ModuleName, TUniquePtr<IModuleInterface> Module);
	/**
	 * Opens a shared library, creates its module through the exported InitializeModule and runs its start-up hook.
	 * Null with an explanation in OutError when the library or its entry point cannot be found.
	 */
	IModuleInterface* LoadModuleFromLibrary(FName ModuleName, const FString& LibraryPath, FString& OutError);
	/** Runs the module's shut-down hook, destroys it and closes its library. False when it was not loaded. */
	bool UnloadModule(FName ModuleName);
	/** Unloads every module, the last loaded first. */
	void UnloadAll();

private:
	FModuleManager() = default;
};

/** Defines the exported entry point through which the host creates the module object. */
#define IMPLEMENT_MODULE(ModuleImplClass, ModuleName)                                                                                      \
	extern "C" DLLEXPORT IModuleInterface* InitializeModule()                                                                              \
	{                                                                                                                                      \
		return new ModuleImplClass();                                                                                                      \
	}
