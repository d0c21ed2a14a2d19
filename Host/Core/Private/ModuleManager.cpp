#include "Modules/ModuleManager.h"

#include <algorithm>
#include <dlfcn.h>
#include <mutex>
#include <vector>

namespace
{
struct FLoadedModule
{
	FName Name;
	TUniquePtr<IModuleInterface> Module;
	void* Library = nullptr;
};

struct FModuleTable
{
	std::recursive_mutex Mutex;
	std::vector<FLoadedModule> Modules;

	static FModuleTable& Get()
	{
		static FModuleTable Table;
		return Table;
	}
};
} // namespace

FModuleManager& FModuleManager::Get()
{
	static FModuleManager Manager;
	return Manager;
}

IModuleInterface* FModuleManager::GetModulePtr_Internal(FName ModuleName)
{
	FModuleTable& Table = FModuleTable::Get();
	std::lock_guard Lock(Table.Mutex);
	for (const FLoadedModule& Loaded : Table.Modules)
	{
		if (Loaded.Name == ModuleName)
		{
			return Loaded.Module.get();
		}
	}
	return nullptr;
}

bool FModuleManager::IsModuleLoaded(FName ModuleName) const
{
	return GetModulePtr_Internal(ModuleName) != nullptr;
}

IModuleInterface* FModuleManager::AddModule(FName ModuleName, TUniquePtr<IModuleInterface> Module)
{
	check(Module != nullptr);
	FModuleTable& Table = FModuleTable::Get();
	std::lock_guard Lock(Table.Mutex);
	checkf(!IsModuleLoaded(ModuleName), "module loaded twice");
	IModuleInterface* Raw = Module.get();
	Table.Modules.push_back(FLoadedModule{ModuleName, MoveTemp(Module), nullptr});
	Raw->StartupModule();
	return Raw;
}

IModuleInterface* FModuleManager::LoadModuleFromLibrary(FName ModuleName, const FString& LibraryPath, FString& OutError)
{
	if (IModuleInterface* Existing = GetModulePtr_Internal(ModuleName))
	{
		return Existing;
	}
	void* Library = dlopen(LibraryPath.ToUtf8().c_str(), RTLD_NOW | RTLD_LOCAL);
	if (Library == nullptr)
	{
		OutError = FString::FromUtf8(dlerror());
		return nullptr;
	}
	using FInitializeModule = IModuleInterface* (*)();
	FInitializeModule Initialize = reinterpret_cast<FInitializeModule>(dlsym(Library, "InitializeModule"));
	if (Initialize == nullptr)
	{
		OutError = FString(u"no exported InitializeModule in ") + LibraryPath;
		dlclose(Library);
		return nullptr;
	}
	IModuleInterface* Module = Initialize();
	if (Module == nullptr)
	{
		OutError = FString(u"InitializeModule returned no module");
		dlclose(Library);
		return nullptr;
	}
	FModuleTable& Table = FModuleTable::Get();
	{
		std::lock_guard Lock(Table.Mutex);
		Table.Modules.push_back(FLoadedModule{ModuleName, TUniquePtr<IModuleInterface>(Module), Library});
	}
	Module->StartupModule();
	return Module;
}

bool FModuleManager::UnloadModule(FName ModuleName)
{
	FModuleTable& Table = FModuleTable::Get();
	FLoadedModule Unloaded;
	{
		std::lock_guard Lock(Table.Mutex);
		auto It = std::find_if(
			Table.Modules.begin(), Table.Modules.end(), [&](const FLoadedModule& Loaded) { return Loaded.Name == ModuleName; });
		if (It == Table.Modules.end())
		{
			return false;
		}
		Unloaded = MoveTemp(*It);
		Table.Modules.erase(It);
	}
	// Shut down outside the table lock: a shut-down hook may look other modules up.
	Unloaded.Module->ShutdownModule();
	Unloaded.Module.reset();
	if (Unloaded.Library != nullptr)
	{
		dlclose(Unloaded.Library);
	}
	return true;
}

void FModuleManager::UnloadAll()
{
	FModuleTable& Table = FModuleTable::Get();
	for (;;)
	{
		FName Last;
		{
			std::lock_guard Lock(Table.Mutex);
			if (Table.Modules.empty())
			{
				return;
			}
			Last = Table.Modules.back().Name;
		}
		UnloadModule(Last);
	}
}
