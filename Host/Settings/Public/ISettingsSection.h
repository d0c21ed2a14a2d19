// Stand-in for the engine's ISettingsSection: one settings page of one object. No custom widgets, import or export.
#pragma once

#include "CoreMinimal.h"
#include "UObject/WeakObjectPtr.h"

#define SETTINGS_API DLLEXPORT

class ISettingsCategory;
class UObject;

class ISettingsSection
{
public:
	/** Raised after each change made through the settings page; returning false refuses the change. */
	DECLARE_DELEGATE_RetVal(bool, FOnModified);

	virtual ~ISettingsSection() = default;

	virtual FName GetName() const = 0;
	virtual FText GetDisplayName() const = 0;
	virtual FText GetDescription() const = 0;
	/** The category the section was registered in; empty once that category is gone. */
	virtual TWeakPtr<ISettingsCategory> GetCategory() = 0;
	/** The object whose properties the section shows; invalid once that object is destroyed. */
	virtual TWeakObjectPtr<UObject> GetSettingsObject() const = 0;

	/** The section owner's veto on changes: unbound accepts every change. Game thread only. */
	virtual FOnModified& OnModified() = 0;
	/** Raises OnModified; true when it is unbound or returns true. */
	virtual bool NotifySectionOnPropertyModified() = 0;
	/**
	 * Raises OnModified and, when the change is accepted, stores the settings object in its configuration: the
	 * project's default file for a defaultconfig class, the per-user file for another config class, nowhere for a
	 * class without configuration. False when refused, when the object is gone or when the file could not be written.
	 */
	virtual bool Save() = 0;
};

using ISettingsSectionPtr = TSharedPtr<ISettingsSection>;
using ISettingsSectionRef = TSharedRef<ISettingsSection>;
