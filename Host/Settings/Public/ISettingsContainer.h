// Stand-in for the engine's ISettingsContainer: one settings window holding categories. No change notifications.
#pragma once

#include "CoreMinimal.h"
#include "ISettingsCategory.h"

class ISettingsContainer
{
public:
	virtual ~ISettingsContainer() = default;

	virtual FName GetName() const = 0;
	virtual FText GetDisplayName() const = 0;
	virtual FText GetDescription() const = 0;
	/** Sets the texts the category is shown with, creating the category if it does not exist yet. */
	virtual void DescribeCategory(const FName& CategoryName, const FText& DisplayName, const FText& Description) = 0;
	/** Appends the categories in creation order; returns how many there are. */
	virtual int32 GetCategories(TArray<ISettingsCategoryPtr>& OutCategories) const = 0;
	/** The category of that name (ignoring ASCII case), or null. */
	virtual ISettingsCategoryPtr GetCategory(const FName& CategoryName) const = 0;
};

using ISettingsContainerPtr = TSharedPtr<ISettingsContainer>;
