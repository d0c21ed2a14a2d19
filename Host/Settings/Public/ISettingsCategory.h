// Stand-in for the engine's ISettingsCategory: a named group of settings sections. No visibility filtering.
#pragma once

#include "CoreMinimal.h"
#include "ISettingsSection.h"

class ISettingsCategory
{
public:
	virtual ~ISettingsCategory() = default;

	virtual FName GetName() const = 0;
	virtual FText GetDisplayName() const = 0;
	virtual FText GetDescription() const = 0;
	/** Appends the sections in registration order; returns how many there are. */
	virtual int32 GetSections(TArray<ISettingsSectionPtr>& OutSections) const = 0;
	/** The section of that name (ignoring ASCII case), or null. */
	virtual ISettingsSectionPtr GetSection(const FName& SectionName) const = 0;
};

using ISettingsCategoryPtr = TSharedPtr<ISettingsCategory>;
