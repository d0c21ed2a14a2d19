// Stand-in for the engine's ULiveLinkSourceSettings: the per-source settings object. Holds nothing here.
#pragma once

#include "LiveLinkTypes.h"
#include "UObject/Object.h"

class LIVELINKINTERFACE_API ULiveLinkSourceSettings : public UObject
{
	DECLARE_CLASS(ULiveLinkSourceSettings, UObject)
};

/** The change notification the settings hook receives; the stand-in carries only the property's name. */
struct FPropertyChangedEvent
{
	FName PropertyName;
};
