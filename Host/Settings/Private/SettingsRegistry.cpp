#include "SettingsRegistry.h"

#include "UObject/Object.h"
#include "UObject/ConfigTesting.h"

bool SaveSettingsObject(UObject& Object, FString& OutFilename)
{
	const UClass* Class = Object.GetClass();
	if (!Class->HasAnyClassFlags(CLASS_Config))
	{
		OutFilename.Reset();
		return true;
	}
	if (Class->HasAnyClassFlags(CLASS_DefaultConfig))
	{
		OutFilename = Object.GetDefaultConfigFilename();
		return FConfigTesting::TryUpdateDefaultConfigFile(Object);
	}
	OutFilename = Object.GetConfigFilename();
	return FConfigTesting::TrySaveConfig(Object);
}

FSettingsSection::FSettingsSection(TWeakPtr<ISettingsCategory> InCategory, const FName& InName, const FText& InDisplayName,
	const FText& InDescription, const TWeakObjectPtr<UObject>& InSettingsObject)
	: TSettingsEntry(InName, InDisplayName, InDescription)
	, Category(MoveTemp(InCategory))
	, SettingsObject(InSettingsObject)
{
}

bool FSettingsSection::NotifySectionOnPropertyModified()
{
	return !ModifiedDelegate.IsBound() || ModifiedDelegate.Execute();
}

bool FSettingsSection::Save()
{
	if (!NotifySectionOnPropertyModified())
	{
		UE_LOG(LogSettings, Log, TEXT("Settings section %s: the change was refused by its owner; nothing was saved."), *Name.ToString());
		return false;
	}
	UObject* Object = SettingsObject.Get();
	if (Object == nullptr)
	{
		UE_LOG(
			LogSettings, Warning, TEXT("Settings section %s: its settings object no longer exists; nothing was saved."), *Name.ToString());
		return false;
	}
	FString Filename;
	return SaveSettingsObject(*Object, Filename);
}

FSettingsCategory::FSettingsCategory(const FName& InName)
	: TSettingsEntry(InName, FText::FromString(InName.ToString()), FText::GetEmpty())
{
}

void FSettingsCategory::SetTexts(const FText& InDisplayName, const FText& InDescription)
{
	DisplayName = InDisplayName;
	Description = InDescription;
}

ISettingsSectionPtr FSettingsCategory::AddSection(const TSharedRef<FSettingsCategory>& Self, const FName& SectionName,
	const FText& InDisplayName, const FText& InDescription, const TWeakObjectPtr<UObject>& SettingsObject)
{
	RemoveSection(SectionName);
	const TSharedRef<FSettingsSection> Section =
		MakeShared<FSettingsSection>(TWeakPtr<ISettingsCategory>(Self), SectionName, InDisplayName, InDescription, SettingsObject);
	Sections.Add(Section);
	return Section;
}

void FSettingsCategory::RemoveSection(const FName& SectionName)
{
	Sections.RemoveAll(HasName(SectionName));
}

int32 FSettingsCategory::GetSections(TArray<ISettingsSectionPtr>& OutSections) const
{
	return AppendSettingsEntries(Sections, OutSections);
}

ISettingsSectionPtr FSettingsCategory::GetSection(const FName& SectionName) const
{
	return FindSettingsEntry(Sections, SectionName);
}

FSettingsContainer::FSettingsContainer(const FName& InName, const FText& InDisplayName, const FText& InDescription)
	: TSettingsEntry(InName, InDisplayName, InDescription)
{
}

TSharedRef<FSettingsCategory> FSettingsContainer::FindOrAddCategory(const FName& CategoryName)
{
	return FindOrAddSettingsEntry(Categories, CategoryName);
}

void FSettingsContainer::DescribeCategory(const FName& CategoryName, const FText& InDisplayName, const FText& InDescription)
{
	FindOrAddCategory(CategoryName)->SetTexts(InDisplayName, InDescription);
}

int32 FSettingsContainer::GetCategories(TArray<ISettingsCategoryPtr>& OutCategories) const
{
	return AppendSettingsEntries(Categories, OutCategories);
}

ISettingsCategoryPtr FSettingsContainer::GetCategory(const FName& CategoryName) const
{
	return FindSettingsEntry(Categories, CategoryName);
}
