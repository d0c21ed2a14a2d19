// Stand-in for the engine's Live Link roles: a role names the static and frame record types of a subject.
#pragma once

#include "LiveLinkTypes.h"
#include "UObject/Object.h"

class LIVELINKINTERFACE_API ULiveLinkRole : public UObject
{
	DECLARE_CLASS(ULiveLinkRole, UObject)
public:
	virtual UScriptStruct* GetStaticDataStruct() const { return FLiveLinkBaseStaticData::StaticStruct(); }
	virtual UScriptStruct* GetFrameDataStruct() const { return FLiveLinkBaseFrameData::StaticStruct(); }
	virtual FText GetDisplayName() const { return FText::FromString(TEXT("Base")); }
};

class LIVELINKINTERFACE_API ULiveLinkBasicRole : public ULiveLinkRole
{
	DECLARE_CLASS(ULiveLinkBasicRole, ULiveLinkRole)
public:
	FText GetDisplayName() const override { return FText::FromString(TEXT("Basic")); }
};
