#include "SettingsEditor.h"

#include "SettingsRegistry.h"
#include "UObject/Object.h"

namespace
{
FText Sentence(const TCHAR* Format, const FString& A, const FString& B = FString(), const FString& C = FString())
{
	return FText::FromString(FString::Printf(Format, *A, *B, *C));
}
} // namespace

TArray<FSettingsSectionInfo> FSettingsEditor::ListSections(const ISettingsModule& SettingsModule)
{
	TArray<FSettingsSectionInfo> Result;
	TArray<FName> ContainerNames;
	SettingsModule.GetContainerNames(ContainerNames);
	for (const FName& ContainerName : ContainerNames)
	{
		const ISettingsContainerPtr Container = SettingsModule.GetContainer(ContainerName);
		TArray<ISettingsCategoryPtr> Categories;
		Container->GetCategories(Categories);
		for (const ISettingsCategoryPtr& Category : Categories)
		{
			TArray<ISettingsSectionPtr> Sections;
			Category->GetSections(Sections);
			for (const ISettingsSectionPtr& Section : Sections)
			{
				Result.Add(FSettingsSectionInfo{
					ContainerName, Category->GetName(), Category->GetDisplayName(), Section, ListProperties(*Section)});
			}
		}
	}
	return Result;
}

TArray<FSettingsPropertyInfo> FSettingsEditor::ListProperties(const ISettingsSection& Section)
{
	TArray<FSettingsPropertyInfo> Result;
	const UObject* Object = Section.GetSettingsObject().Get();
	if (Object == nullptr)
	{
		return Result;
	}
	for (const FProperty* Property : Object->GetClass()->GetAllProperties())
	{
		if (Property->HasAnyPropertyFlags(CPF_Edit))
		{
			Result.Add(FSettingsPropertyInfo{Property->Name, Property->GetCPPType(), Property->GetMetaData(TEXT("Category")),
				Property->GetToolTipText(), Property->ExportText(Object), !Property->HasAnyPropertyFlags(CPF_EditConst)});
		}
	}
	return Result;
}

ISettingsSectionPtr FSettingsEditor::FindSection(
	const ISettingsModule& SettingsModule, const FName& ContainerName, const FName& CategoryName, const FName& SectionName)
{
	const ISettingsContainerPtr Container = SettingsModule.GetContainer(ContainerName);
	const ISettingsCategoryPtr Category = Container.IsValid() ? Container->GetCategory(CategoryName) : nullptr;
	return Category.IsValid() ? Category->GetSection(SectionName) : nullptr;
}

bool FSettingsEditor::SetPropertyValue(ISettingsSection& Section, const FName& PropertyName, const FString& ValueText, FText& OutError)
{
	const FString SectionName = Section.GetName().ToString();
	const FString Name = PropertyName.ToString();
	UObject* Object = Section.GetSettingsObject().Get();
	if (Object == nullptr)
	{
		OutError = Sentence(TEXT("The settings object of section %s no longer exists; nothing was changed."), SectionName);
		return false;
	}
	const FProperty* Property = Object->GetClass()->FindPropertyByName(PropertyName);
	if (Property == nullptr || !Property->HasAnyPropertyFlags(CPF_Edit))
	{
		OutError = Sentence(TEXT("Section %s has no setting named %s."), SectionName, Name);
		return false;
	}
	if (Property->HasAnyPropertyFlags(CPF_EditConst))
	{
		OutError = Sentence(TEXT("%s in section %s is read-only."), Name, SectionName);
		return false;
	}

	const FString Previous = Property->ExportText(Object);
	FString ParseError;
	if (!Property->ImportText(ValueText, Object, &ParseError))
	{
		OutError = Sentence(TEXT("%s was not changed: %s"), Name, ParseError);
		return false;
	}
	// The handler sees the new value in place, as it would after an edit on the page; a refusal or a failed write
	// puts the previous value back, so the object never holds a value its file does not.
	if (!Section.NotifySectionOnPropertyModified())
	{
		Property->ImportText(Previous, Object);
		OutError = Sentence(TEXT("The change to %s was refused by the owner of section %s; it keeps %s."), Name, SectionName, Previous);
		return false;
	}
	FString Filename;
	if (!SaveSettingsObject(*Object, Filename))
	{
		Property->ImportText(Previous, Object);
		OutError = Sentence(TEXT("The change to %s could not be saved to %s (the log says why); it keeps %s."), Name, Filename, Previous);
		return false;
	}
	return true;
}
