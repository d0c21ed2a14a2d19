// Stand-in for the engine's Live Link camera role.
#pragma once

#include "Roles/LiveLinkCameraTypes.h"
#include "Roles/LiveLinkTransformRole.h"

class LIVELINKINTERFACE_API ULiveLinkCameraRole : public ULiveLinkTransformRole
{
	DECLARE_CLASS(ULiveLinkCameraRole, ULiveLinkTransformRole)
public:
	UScriptStruct* GetStaticDataStruct() const override { return FLiveLinkCameraStaticData::StaticStruct(); }
	UScriptStruct* GetFrameDataStruct() const override { return FLiveLinkCameraFrameData::StaticStruct(); }
	FText GetDisplayName() const override { return FText::FromString(TEXT("Camera")); }
};
