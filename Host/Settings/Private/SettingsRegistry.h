#pragma once

#include "CoreMinimal.h"
#include "ISettingsContainer.h"
#include "UObject/WeakObjectPtr.h"

DECLARE_LOG_CATEGORY_EXTERN(LogSettings, Log, All);

/**
 * The registry keeps three lists of the same kind: containers, the categories of a container, the sections of a
 * category. Each is in the order the entries were added, and an entry is found by its name, ignoring ASCII case as
 * FName does.
 */
template <typename EntryType> using TSettingsEntryList = TArray<TSharedRef<EntryType>>;

inline auto HasName(const FName& Name)
{
	return [&Name](const auto& Entry) { return Entry->GetName() == Name; };
}

template <typename EntryType> TSharedPtr<EntryType> FindSettingsEntry(const TSettingsEntryList<EntryType>& Entries, const FName& Name)
{
	const TSharedRef<EntryType>* Found = Entries.FindByPredicate(HasName(Name));
	return Found != nullptr ? TSharedPtr<EntryType>(*Found) : nullptr;
}

/** The entry of that name; when there is none, one made from the name and ArgTypes, added at the end. */
template <typename EntryType, typename... ArgTypes>
TSharedRef<EntryType> FindOrAddSettingsEntry(TSettingsEntryList<EntryType>& Entries, const FName& Name, const ArgTypes&... Args)
{
	if (const TSharedPtr<EntryType> Found = FindSettingsEntry(Entries, Name))
	{
		return Found.ToSharedRef();
	}
	const TSharedRef<EntryType> Entry = MakeShared<EntryType>(Name, Args...);
	Entries.Add(Entry);
	return Entry;
}

/** Appends the list to OutEntries as the interface's pointers; returns the list's length. */
template <typename EntryType, typename InterfaceType>
int32 AppendSettingsEntries(const TSettingsEntryList<EntryType>& Entries, TArray<TSharedPtr<InterfaceType>>& OutEntries)
{
	for (const TSharedRef<EntryType>& Entry : Entries)
	{
		OutEntries.Add(Entry);
	}
	return Entries.Num();
}

/** The name and texts every registry entry is shown with, for the interface InterfaceType of its kind. */
template <typename InterfaceType> class TSettingsEntry : public InterfaceType
{
public:
	//~ Begin the names and texts of InterfaceType
	FName GetName() const override { return Name; }
	FText GetDisplayName() const override { return DisplayName; }
	FText GetDescription() const override { return Description; }
	//~ End the names and texts of InterfaceType

protected:
	TSettingsEntry(const FName& InName, const FText& InDisplayName, const FText& InDescription)
		: Name(InName)
		, DisplayName(InDisplayName)
		, Description(InDescription)
	{
	}

	FName Name;
	FText DisplayName;
	FText Description;
};

/**
 * Stores Object where its class's configuration lives (the project's default file for a defaultconfig class, the
 * per-user file for another config class; nothing for a class without configuration). OutFilename names the file.
 * False when it could not be written (the reason is logged).
 */
bool SaveSettingsObject(UObject& Object, FString& OutFilename);

class FSettingsSection : public TSettingsEntry<ISettingsSection>
{
public:
	FSettingsSection(TWeakPtr<ISettingsCategory> InCategory, const FName& InName, const FText& InDisplayName, const FText& InDescription,
		const TWeakObjectPtr<UObject>& InSettingsObject);

	//~ Begin ISettingsSection interface
	TWeakPtr<ISettingsCategory> GetCategory() override { return Category; }
	TWeakObjectPtr<UObject> GetSettingsObject() const override { return SettingsObject; }
	FOnModified& OnModified() override { return ModifiedDelegate; }
	bool NotifySectionOnPropertyModified() override;
	bool Save() override;
	//~ End ISettingsSection interface

private:
	TWeakPtr<ISettingsCategory> Category;
	TWeakObjectPtr<UObject> SettingsObject;
	FOnModified ModifiedDelegate;
};

class FSettingsCategory : public TSettingsEntry<ISettingsCategory>
{
public:
	explicit FSettingsCategory(const FName& InName);

	void SetTexts(const FText& InDisplayName, const FText& InDescription);
	/** Self is this category, handed to the section as its owner. */
	ISettingsSectionPtr AddSection(const TSharedRef<FSettingsCategory>& Self, const FName& SectionName, const FText& InDisplayName,
		const FText& InDescription, const TWeakObjectPtr<UObject>& SettingsObject);
	void RemoveSection(const FName& SectionName);

	//~ Begin ISettingsCategory interface
	int32 GetSections(TArray<ISettingsSectionPtr>& OutSections) const override;
	ISettingsSectionPtr GetSection(const FName& SectionName) const override;
	//~ End ISettingsCategory interface

private:
	TSettingsEntryList<FSettingsSection> Sections;
};

class FSettingsContainer : public TSettingsEntry<ISettingsContainer>
{
public:
	FSettingsContainer(const FName& InName, const FText& InDisplayName, const FText& InDescription);

	TSharedRef<FSettingsCategory> FindOrAddCategory(const FName& CategoryName);

	//~ Begin ISettingsContainer interface
	void DescribeCategory(const FName& CategoryName, const FText& InDisplayName, const FText& InDescription) override;
	int32 GetCategories(TArray<ISettingsCategoryPtr>& OutCategories) const override;
	ISettingsCategoryPtr GetCategory(const FName& CategoryName) const override;
	//~ End ISettingsContainer interface

private:
	TSettingsEntryList<FSettingsCategory> Categories;
};
