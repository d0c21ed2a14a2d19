#pragma once

#include "CoreMinimal.h"
#include "ISettingsContainer.h"
#include "UObject/WeakObjectPtr.h"

DECLARE_LOG_CATEGORY_EXTERN(LogSettings, Log, All);

/** Matches a registry entry (container, category or section) by its name, ignoring ASCII case as FName does. */
inline auto HasName(const FName& Name)
{
	return [&Name](const auto& Entry) { return Entry->GetName() == Name; };
}

/**
 * Stores Object where its class's configuration lives (the project's default file for a defaultconfig class, the
 * per-user file for another config class; nothing for a class without configuration). OutFilename names the file.
 * False when it could not be written (the reason is logged).
 */
bool SaveSettingsObject(UObject& Object, FString& OutFilename);

class FSettingsSection : public ISettingsSection
{
public:
	FSettingsSection(TWeakPtr<ISettingsCategory> InCategory, const FName& InName, const FText& InDisplayName, const FText& InDescription,
		const TWeakObjectPtr<UObject>& InSettingsObject);

	//~ Begin ISettingsSection interface
	FName GetName() const override { return Name; }
	FText GetDisplayName() const override { return DisplayName; }
	FText GetDescription() const override { return Description; }
	TWeakPtr<ISettingsCategory> GetCategory() override { return Category; }
	TWeakObjectPtr<UObject> GetSettingsObject() const override { return SettingsObject; }
	FOnModified& OnModified() override { return ModifiedDelegate; }
	bool NotifySectionOnPropertyModified() override;
	bool Save() override;
	//~ End ISettingsSection interface

private:
	TWeakPtr<ISettingsCategory> Category;
	FName Name;
	FText DisplayName;
	FText Description;
	TWeakObjectPtr<UObject> SettingsObject;
	FOnModified ModifiedDelegate;
};

class FSettingsCategory : public ISettingsCategory
{
public:
	explicit FSettingsCategory(const FName& InName);

	void SetTexts(const FText& InDisplayName, const FText& InDescription);
	/** Self is this category, handed to the section as its owner. */
	ISettingsSectionPtr AddSection(const TSharedRef<FSettingsCategory>& Self, const FName& SectionName, const FText& InDisplayName,
		const FText& InDescription, const TWeakObjectPtr<UObject>& SettingsObject);
	void RemoveSection(const FName& SectionName);

	//~ Begin ISettingsCategory interface
	FName GetName() const override { return Name; }
	FText GetDisplayName() const override { return DisplayName; }
	FText GetDescription() const override { return Description; }
	int32 GetSections(TArray<ISettingsSectionPtr>& OutSections) const override;
	ISettingsSectionPtr GetSection(const FName& SectionName) const override;
	//~ End ISettingsCategory interface

private:
	FName Name;
	FText DisplayName;
	FText Description;
	TArray<TSharedRef<FSettingsSection>> Sections;
};

class FSettingsContainer : public ISettingsContainer
{
public:
	FSettingsContainer(const FName& InName, const FText& InDisplayName, const FText& InDescription);

	TSharedRef<FSettingsCategory> FindOrAddCategory(const FName& CategoryName);

	//~ Begin ISettingsContainer interface
	FName GetName() const override { return Name; }
	FText GetDisplayName() const override { return DisplayName; }
	FText GetDescription() const override { return Description; }
	void SetCategoryTexts(const FName& CategoryName, const FText& InDisplayName, const FText& InDescription) override;
	int32 GetCategories(TArray<ISettingsCategoryPtr>& OutCategories) const override;
	ISettingsCategoryPtr GetCategory(const FName& CategoryName) const override;
	//~ End ISettingsContainer interface

private:
	FName Name;
	FText DisplayName;
	FText Description;
	TArray<TSharedRef<FSettingsCategory>> Categories;
};
