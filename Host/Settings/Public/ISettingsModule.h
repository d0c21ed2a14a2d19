// Stand-in for the engine's ISettingsModule: the registry of settings sections. No viewer tabs, no notifications.
#pragma once

#include "CoreMinimal.h"
#include "ISettingsContainer.h"
#include "ISettingsSection.h"
#include "Modules/ModuleInterface.h"
#include "UObject/WeakObjectPtr.h"

/** Game thread only. */
class ISettingsModule : public IModuleInterface
{
public:
	/** The container of that name ("Project", "Editor", or one a registration created), or null. */
	virtual ISettingsContainerPtr GetContainer(const FName& ContainerName) const = 0;
	/** Appends the container names in creation order. */
	virtual void GetContainerNames(TArray<FName>& OutNames) const = 0;

	/**
	 * Shows SettingsObject as section SectionName of category CategoryName in container ContainerName, creating the
	 * container and category when missing and replacing a section already registered under these names. Null, with
	 * a warning, when SettingsObject is not valid.
	 */
	virtual ISettingsSectionPtr RegisterSettings(const FName& ContainerName, const FName& CategoryName, const FName& SectionName,
		const FText& DisplayName, const FText& Description, const TWeakObjectPtr<UObject>& SettingsObject) = 0;
	/** Removes the section; nothing happens when it is not registered. The category stays, with its texts. */
	virtual void UnregisterSettings(const FName& ContainerName, const FName& CategoryName, const FName& SectionName) = 0;
};
