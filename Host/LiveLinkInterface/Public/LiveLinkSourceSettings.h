// Stand-in for the engine's ULiveLinkSourceSettings and FPropertyChangedEvent: the per-source settings object and the
// notice of one edit. The base class holds nothing here (no mode, buffering or connection string).
#pragma once

#include "LiveLinkTypes.h"
#include "UObject/Object.h"

class LIVELINKINTERFACE_API ULiveLinkSourceSettings : public UObject
{
	DECLARE_CLASS(ULiveLinkSourceSettings, UObject)
};

/** The change notification the settings hook receives: which property was edited. No change types or array indices. */
struct FPropertyChangedEvent
{
	FPropertyChangedEvent() = default;
	explicit FPropertyChangedEvent(const FProperty* InProperty)
		: Property(InProperty)
		, MemberProperty(InProperty)
	{
	}

	/** The edited property's name; NAME_None without one. */
	FName GetPropertyName() const { return Property != nullptr ? Property->Name : NAME_None; }

	const FProperty* Property = nullptr;
	/** The member of the settings object that holds Property; the same property here, as nothing is nested. */
	const FProperty* MemberProperty = nullptr;
};
