// Stand-in for the engine's ULiveLinkSourceSettings: the per-source settings object. The base class holds nothing
// here (no mode, buffering or connection string).
#pragma once

#include "LiveLinkTypes.h"
#include "UObject/Object.h"

class LIVELINKINTERFACE_API ULiveLinkSourceSettings : public UObject
{
	DECLARE_CLASS(ULiveLinkSourceSettings, UObject)
};
