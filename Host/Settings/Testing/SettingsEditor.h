// Stand-in for the engine's settings editor, for a host without widgets: lists sections, edits from text. No undo.
#pragma once

#include "CoreMinimal.h"
#include "ISettingsModule.h"

/** One property as the settings page shows it. */
struct FSettingsPropertyInfo
{
	FName Name;
	/** "bool", "int32", "float" or "FString". */
	FString TypeName;
	FString Category;
	FText ToolTip;
	/** The current value in the text form SetPropertyValue accepts. */
	FString Value;
	/** False for properties declared Visible*: shown, not editable. */
	bool bEditable = false;
};

/** One registered section with where it sits and what it shows. */
struct FSettingsSectionInfo
{
	FName ContainerName;
	FName CategoryName;
	FText CategoryDisplayName;
	ISettingsSectionPtr Section;
	/** Empty when the section's settings object no longer exists. */
	TArray<FSettingsPropertyInfo> Properties;
};

class SETTINGS_API FSettingsEditor
{
public:
	/** Every registered section, container by container, category by category, in registration order. */
	static TArray<FSettingsSectionInfo> ListSections(const ISettingsModule& SettingsModule);
	/** The editable and visible properties of the section's object, super classes' first, in declaration order. */
	static TArray<FSettingsPropertyInfo> ListProperties(const ISettingsSection& Section);
	/** The section registered under these names, or null. */
	static ISettingsSectionPtr FindSection(
		const ISettingsModule& SettingsModule, const FName& ContainerName, const FName& CategoryName, const FName& SectionName);
	/**
	 * Parses ValueText into the property (see FProperty::ImportText for the forms each type takes) and saves the
	 * section (ISettingsSection::Save). The change stands only when it was parsed, accepted by the section's
	 * OnModified handler and written: otherwise the object keeps its previous value, the result is false and
	 * OutError says why. Game thread only.
	 */
	static bool SetPropertyValue(ISettingsSection& Section, const FName& PropertyName, const FString& ValueText, FText& OutError);
};
