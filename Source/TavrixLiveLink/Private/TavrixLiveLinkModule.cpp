#include "CoreMinimal.h"
#include "ISettingsModule.h"
#include "ISettingsSection.h"
#include "Modules/ModuleManager.h"
#include "TavrixLiveLinkLog.h"
#include "TavrixLiveLinkRuntimeSettings.h"

#define LOCTEXT_NAMESPACE "FTavrixLiveLinkModule"

DEFINE_LOG_CATEGORY(ModuleLog);

/** Shows the plug-in's settings under Project Settings > Plugins > Tavrix while the module is loaded. */
class FTavrixLiveLinkModule : public IModuleInterface
{
public:
	//~ Begin IModuleInterface interface
	virtual void StartupModule() override
	{
		ISettingsModule* SettingsModule = FModuleManager::GetModulePtr<ISettingsModule>("Settings");
		if (SettingsModule == nullptr)
		{
			return;
		}

		// The "Plugins" category is shared by every plug-in and described by the settings module: describing it here
		// would replace its description for all of them. The section carries this plug-in's own texts.
		ISettingsSectionPtr SettingsSection =
			SettingsModule->RegisterSettings("Project", "Plugins", "Tavrix", LOCTEXT("RuntimeGeneralSettingsName", "Tavrix"),
				LOCTEXT("RuntimeGeneralSettingsDescription", "Default configuration for the Halvecor Tavrix - Live Link Plugin"),
				GetMutableDefault<UTavrixLiveLinkRuntimeSettings>());
		if (SettingsSection.IsValid())
		{
			SettingsSection->OnModified().BindRaw(this, &FTavrixLiveLinkModule::HandleSettingsModified);
		}
	}

	virtual void ShutdownModule() override
	{
		if (ISettingsModule* SettingsModule = FModuleManager::GetModulePtr<ISettingsModule>("Settings"))
		{
			SettingsModule->UnregisterSettings("Project", "Plugins", "Tavrix");
		}
	}
	//~ End IModuleInterface interface

	/** Accepts every change: the settings are defaults for the creation panel and are never validated. */
	bool HandleSettingsModified() { return true; }
};

IMPLEMENT_MODULE(FTavrixLiveLinkModule, TavrixLiveLink)

#undef LOCTEXT_NAMESPACE
