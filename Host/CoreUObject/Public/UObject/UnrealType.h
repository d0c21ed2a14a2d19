// Stand-in for the engine's UObject/UnrealType.h, reduced to FPropertyChangedEvent: the notice of one edit of a
// reflected object. No change types, array indices or archetype instances.
#pragma once

#include "UObject/Class.h"

struct FPropertyChangedEvent
{
	FPropertyChangedEvent() = default;
	explicit FPropertyChangedEvent(FProperty* InProperty)
		: Property(InProperty)
		, MemberProperty(InProperty)
	{
	}

	/** The edited property's name; NAME_None without one. */
	FName GetPropertyName() const { return Property != nullptr ? Property->Name : NAME_None; }

	FProperty* Property = nullptr;
	/** The member of the edited object that holds Property; the same property here, as nothing is nested. */
	FProperty* MemberProperty = nullptr;
};
