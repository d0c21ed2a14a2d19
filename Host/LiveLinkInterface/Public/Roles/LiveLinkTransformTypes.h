// Stand-in for the engine's Live Link transform records.
#pragma once

#include "LiveLinkTypes.h"

struct LIVELINKINTERFACE_API FLiveLinkTransformStaticData : public FLiveLinkBaseStaticData
{
	DECLARE_STRUCT(FLiveLinkTransformStaticData)
	bool bIsLocationSupported = true;
	bool bIsRotationSupported = true;
	bool bIsScaleSupported = false;
};

struct LIVELINKINTERFACE_API FLiveLinkTransformFrameData : public FLiveLinkBaseFrameData
{
	DECLARE_STRUCT(FLiveLinkTransformFrameData)
	FTransform Transform;
};
