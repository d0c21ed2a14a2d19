#include "LiveLinkTypes.h"
#include "LiveLinkSourceFactory.h"
#include "LiveLinkSourceSettings.h"
#include "Roles/LiveLinkCameraRole.h"

IMPLEMENT_STRUCT(FLiveLinkBaseStaticData, "LiveLinkBaseStaticData", nullptr)
IMPLEMENT_STRUCT(FLiveLinkBaseFrameData, "LiveLinkBaseFrameData", nullptr)
IMPLEMENT_STRUCT(FLiveLinkTransformStaticData, "LiveLinkTransformStaticData", FLiveLinkBaseStaticData::StaticStruct())
IMPLEMENT_STRUCT(FLiveLinkTransformFrameData, "LiveLinkTransformFrameData", FLiveLinkBaseFrameData::StaticStruct())
IMPLEMENT_STRUCT(FLiveLinkCameraStaticData, "LiveLinkCameraStaticData", FLiveLinkTransformStaticData::StaticStruct())
IMPLEMENT_STRUCT(FLiveLinkCameraFrameData, "LiveLinkCameraFrameData", FLiveLinkTransformFrameData::StaticStruct())

IMPLEMENT_CLASS(ULiveLinkRole, "LiveLinkRole", "/Script/LiveLinkInterface")
IMPLEMENT_CLASS(ULiveLinkBasicRole, "LiveLinkBasicRole", "/Script/LiveLinkInterface")
IMPLEMENT_CLASS(ULiveLinkTransformRole, "LiveLinkTransformRole", "/Script/LiveLinkInterface")
IMPLEMENT_CLASS(ULiveLinkCameraRole, "LiveLinkCameraRole", "/Script/LiveLinkInterface")
IMPLEMENT_CLASS(ULiveLinkSourceFactory, "LiveLinkSourceFactory", "/Script/LiveLinkInterface")
