#include "EditorInstance.h"

#include "Misc/Paths.h"
#include "Modules/ModuleManager.h"
#include "Serialization/JsonSerializer.h"
#include "SettingsModule.h"
#include "UObject/Object.h"
#include "UObject/UObjectHash.h"
#include "Serialization/JsonReaderTesting.h"

#include <filesystem>
#include <unistd.h>

std::string FindPluginLibrary()
{
	std::error_code Error;
	const std::filesystem::path Executable = std::filesystem::read_symlink("/proc/self/exe", Error);
	return (Executable.parent_path().parent_path() / "lib" / "libTavrixLiveLink.so").string();
}

bool FEditorInstance::Start(const std::string& ProjectDir, std::string& OutError)
{
	std::error_code Error;
	const std::filesystem::path Project = std::filesystem::absolute(ProjectDir, Error);
	if (Error || !std::filesystem::is_directory(Project))
	{
		OutError = "the project folder '" + ProjectDir + "' does not exist";
		return false;
	}
	FPaths::SetProjectDir(FString::FromUtf8(Project.string()));
	// The editor's JSON reader has no nesting limit: the plug-in runs here as it does there.
	FJsonReaderTesting::SetMaxDepth(0);

	// The editor's own modules come first, so the plug-in finds them when it starts.
	SettingsModule = static_cast<ISettingsModule*>(FModuleManager::Get().AddModule("Settings", MakeUnique<FSettingsModule>()));

	FString LoadError;
	if (FModuleManager::Get().LoadModuleFromLibrary("TavrixLiveLink", FString::FromUtf8(FindPluginLibrary()), LoadError) == nullptr)
	{
		OutError = "cannot load the plug-in: " + LoadError.ToUtf8();
		return false;
	}
	bPluginLoaded = true;

	// Config classes get their project values with their default objects, made here once their module is loaded
	// (the object system loads a config class's values when it makes its default object).
	TArray<UClass*> Classes;
	GetDerivedClasses(UObject::StaticClass(), Classes);
	for (UClass* Class : Classes)
	{
		if (Class->HasAnyClassFlags(CLASS_Config) && !Class->HasAnyClassFlags(CLASS_Abstract))
		{
			Class->GetDefaultObject(true);
		}
	}
	return true;
}

FEditorInstance::~FEditorInstance()
{
	if (bPluginLoaded)
	{
		FModuleManager::Get().UnloadModule("TavrixLiveLink");
	}
	if (SettingsModule != nullptr)
	{
		FModuleManager::Get().UnloadModule("Settings");
	}
}
