// Stand-in for the engine's settings module implementation ("Settings"), added by the host. No editor tabs.
#pragma once

#include "ISettingsModule.h"

class FSettingsContainer;

class SETTINGS_API FSettingsModule : public ISettingsModule
{
public:
	/** Starts with the two containers of the engine's editor: "Editor" and "Project". */
	FSettingsModule();
	~FSettingsModule() override;

	//~ Begin ISettingsModule interface
	ISettingsContainerPtr GetContainer(const FName& ContainerName) const override;
	void GetContainerNames(TArray<FName>& OutNames) const override;
	ISettingsSectionPtr RegisterSettings(const FName& ContainerName, const FName& CategoryName, const FName& SectionName,
		const FText& DisplayName, const FText& Description, const TWeakObjectPtr<UObject>& SettingsObject) override;
	void UnregisterSettings(const FName& ContainerName, const FName& CategoryName, const FName& SectionName) override;
	//~ End ISettingsModule interface

private:
	TSharedRef<FSettingsContainer> FindOrAddContainer(const FName& ContainerName, const FText& DisplayName, const FText& Description);

	TArray<TSharedRef<FSettingsContainer>> Containers;
};
