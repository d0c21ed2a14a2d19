#include "SettingsModule.h"

#include "SettingsRegistry.h"

#define LOCTEXT_NAMESPACE "SettingsModule"

DEFINE_LOG_CATEGORY(LogSettings);

FSettingsModule::FSettingsModule()
{
	FindOrAddContainer("Editor", LOCTEXT("EditorName", "Editor"), LOCTEXT("EditorDescription", "Configure the behavior of the editor."));
	TSharedRef<FSettingsContainer> Project = FindOrAddContainer(
		"Project", LOCTEXT("ProjectName", "Project"), LOCTEXT("ProjectDescription", "Change the settings of the current project."));
	// The shared categories belong to the settings module, which describes them itself.
	Project->DescribeCategory("Plugins", LOCTEXT("ProjectPluginsCategoryName", "Plugins"),
		LOCTEXT("ProjectPluginsCategoryDescription", "Configure the plug-ins of the current project."));
}

FSettingsModule::~FSettingsModule() = default;

ISettingsContainerPtr FSettingsModule::GetContainer(const FName& ContainerName) const
{
	return FindSettingsEntry(Containers, ContainerName);
}

void FSettingsModule::GetContainerNames(TArray<FName>& OutNames) const
{
	for (const TSharedRef<FSettingsContainer>& Container : Containers)
	{
		OutNames.Add(Container->GetName());
	}
}

ISettingsSectionPtr FSettingsModule::RegisterSettings(const FName& ContainerName, const FName& CategoryName, const FName& SectionName,
	const FText& DisplayName, const FText& Description, const TWeakObjectPtr<UObject>& SettingsObject)
{
	if (!SettingsObject.IsValid())
	{
		UE_LOG(LogSettings, Warning, TEXT("Settings section %s/%s/%s was not registered: it has no settings object."),
			*ContainerName.ToString(), *CategoryName.ToString(), *SectionName.ToString());
		return nullptr;
	}
	const TSharedRef<FSettingsCategory> Category =
		FindOrAddContainer(ContainerName, FText::FromString(ContainerName.ToString()), FText::GetEmpty())->FindOrAddCategory(CategoryName);
	return Category->AddSection(Category, SectionName, DisplayName, Description, SettingsObject);
}

void FSettingsModule::UnregisterSettings(const FName& ContainerName, const FName& CategoryName, const FName& SectionName)
{
	const ISettingsContainerPtr Container = GetContainer(ContainerName);
	if (!Container.IsValid())
	{
		return;
	}
	if (const ISettingsCategoryPtr Category = Container->GetCategory(CategoryName))
	{
		StaticCastSharedPtr<FSettingsCategory>(Category)->RemoveSection(SectionName);
	}
}

TSharedRef<FSettingsContainer> FSettingsModule::FindOrAddContainer(
	const FName& ContainerName, const FText& DisplayName, const FText& Description)
{
	return FindOrAddSettingsEntry(Containers, ContainerName, DisplayName, Description);
}

#undef LOCTEXT_NAMESPACE
