#include "SettingsCommand.h"

#include "EditorInstance.h"
#include "ISettingsModule.h"
#include "SettingsEditor.h"
#include "UObject/Object.h"

#include <cstdio>

int RunSettingsCommand(const FHostOptions& Options)
{
	FEditorInstance Editor;
	std::string Error;
	if (!Editor.Start(Options.ProjectDir, Error))
	{
		std::fprintf(stderr, "tavrix-host: %s\n", Error.c_str());
		return 1;
	}
	ISettingsModule& SettingsModule = *Editor.GetSettingsModule();
	const ISettingsSectionPtr Section = FSettingsEditor::FindSection(SettingsModule, "Project", "Plugins", "Tavrix");
	if (!Section.IsValid())
	{
		std::fprintf(stderr, "tavrix-host: the plug-in registered no settings section\n");
		return 1;
	}

	if (Options.SettingToSet)
	{
		const FName Key(FString::FromUtf8(Options.SettingToSet->first), FNAME_Find);
		bool bKnown = false;
		for (const FSettingsPropertyInfo& Property : FSettingsEditor::ListProperties(*Section))
		{
			bKnown = bKnown || (!Key.IsNone() && Property.Name == Key);
		}
		if (!bKnown)
		{
			std::fprintf(stderr, "tavrix-host: no setting named '%s' (see: tavrix-host settings)\n", Options.SettingToSet->first.c_str());
			return 2;
		}
		FText SetError;
		if (!FSettingsEditor::SetPropertyValue(*Section, Key, FString::FromUtf8(Options.SettingToSet->second), SetError))
		{
			std::fprintf(
				stderr, "tavrix-host: %s not changed: %s\n", Options.SettingToSet->first.c_str(), SetError.ToString().ToUtf8().c_str());
			return 2;
		}
		std::printf("%s = %s (saved)\n", Options.SettingToSet->first.c_str(), Options.SettingToSet->second.c_str());
		return 0;
	}

	for (const FSettingsSectionInfo& Info : FSettingsEditor::ListSections(SettingsModule))
	{
		std::printf("%s > %s > %s: %s\n", Info.ContainerName.ToString().ToUtf8().c_str(),
			Info.CategoryDisplayName.ToString().ToUtf8().c_str(), Info.Section->GetDisplayName().ToString().ToUtf8().c_str(),
			Info.Section->GetDescription().ToString().ToUtf8().c_str());
		if (const UObject* Object = Info.Section->GetSettingsObject().Get())
		{
			std::printf("  stored in %s, section [%s]\n", Object->GetDefaultConfigFilename().ToUtf8().c_str(),
				Object->GetClass()->GetPathName().ToUtf8().c_str());
		}
		for (const FSettingsPropertyInfo& Property : Info.Properties)
		{
			std::printf("  %-30s = %-16s %-8s %s\n", Property.Name.ToString().ToUtf8().c_str(), Property.Value.ToUtf8().c_str(),
				Property.TypeName.ToUtf8().c_str(), Property.ToolTip.ToString().ToUtf8().c_str());
		}
	}
	return 0;
}
