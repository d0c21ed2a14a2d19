// Stand-in for the engine's Live Link transform role.
#pragma once

#include "LiveLinkRole.h"
#include "Roles/LiveLinkTransformTypes.h"

class LIVELINKINTERFACE_API ULiveLinkTransformRole : public ULiveLinkBasicRole
{
	DECLARE_CLASS(ULiveLinkTransformRole, ULiveLinkBasicRole)
public:
	UScriptStruct* GetStaticDataStruct() const override { return FLiveLinkTransformStaticData::StaticStruct(); }
	UScriptStruct* GetFrameDataStruct() const override { return FLiveLinkTransformFrameData::StaticStruct(); }
	FText GetDisplayName() const override { return FText::FromString(TEXT("Transform")); }
};
