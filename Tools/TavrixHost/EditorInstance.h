#pragma once

#include "CoreMinimal.h"

#include <string>

class ISettingsModule;

/**
 * The editor around the plug-in: the project folder, the Settings module, the plug-in's module loaded through its
 * exported entry point, and the configuration loaded over every config class. Unloads in reverse on destruction.
 */
class FEditorInstance
{
public:
	FEditorInstance() = default;
	~FEditorInstance();
	FEditorInstance(const FEditorInstance&) = delete;
	FEditorInstance& operator=(const FEditorInstance&) = delete;

	/** False with OutError saying why the editor could not start. */
	bool Start(const std::string& ProjectDir, std::string& OutError);
	ISettingsModule* GetSettingsModule() const { return SettingsModule; }

private:
	ISettingsModule* SettingsModule = nullptr;
	bool bPluginLoaded = false;
};

/** The plug-in's shared library, beside the host: <bin>/../lib/. */
std::string FindPluginLibrary();
