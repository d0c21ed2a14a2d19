#include "SettingsRegistry.h"

#include "UObject/Object.h"

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
		return Object.TryUpdateDefaultConfigFile();
	}
	OutFilename = Object.GetConfigFilename();
	return Object.SaveConfig();
}

FSettingsSection::FSettingsSection(TWeakPtr<ISettingsCategory> InCategory, const FName& InName, const FText& InDisplayName,
	const FText& InDescription, const TWeakObjectPtr<UObject>& InSettingsObject)
	: Category(MoveTemp(InCategory))
	, Name(InName)
	, DisplayName(InDisplayName)
	, Description(InDescription)
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
	: Name(InName)
	, DisplayName(FText::FromString(InName.ToString()))
	, Description(FText::GetEmpty())
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
	for (const TSharedRef<FSettingsSection>& Section : Sections)
	{
		OutSections.Add(Section);
	}
	return Sections.Num();
}

ISettingsSectionPtr FSettingsCategory::GetSection(const FName& SectionName) const
{
	const TSharedRef<FSettingsSection>* Found = Sections.FindByPredicate(HasName(SectionName));
	return Found != nullptr ? ISettingsSectionPtr(*Found) : nullptr;
}

FSettingsContainer::FSettingsContainer(const FName& InName, const FText& InDisplayName, const FText& InDescription)
	: Name(InName)
	, DisplayName(InDisplayName)
	, Description(InDescription)
{
}

TSharedRef<FSettingsCategory> FSettingsContainer::FindOrAddCategory(const FName& CategoryName)
{
	const TSharedRef<FSettingsCategory>* Found = Categories.FindByPredicate(HasName(CategoryName));
	if (Found != nullptr)
	{
		return *Found;
	}
	const TSharedRef<FSettingsCategory> Category = MakeShared<FSettingsCategory>(CategoryName);
	Categories.Add(Category);
	return Category;
}

void FSettingsContainer::SetCategoryTexts(const FName& CategoryName, const FText& InDisplayName, const FText& InDescription)
{
	FindOrAddCategory(CategoryName)->SetTexts(InDisplayName, InDescription);
}

int32 FSettingsContainer::GetCategories(TArray<ISettingsCategoryPtr>& OutCategories) const
{
	for (const TSharedRef<FSettingsCategory>& Category : Categories)
	{
		OutCategories.Add(Category);
	}
	return Categories.Num();
}

ISettingsCategoryPtr FSettingsContainer::GetCategory(const FName& CategoryName) const
{
	const TSharedRef<FSettingsCategory>* Found = Categories.FindByPredicate(HasName(CategoryName));
	return Found != nullptr ? ISettingsCategoryPtr(*Found) : nullptr;
}
