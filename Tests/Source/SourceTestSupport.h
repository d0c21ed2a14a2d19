#pragma once

#include "LiveLinkClient.h"
#include "LoopbackUdp.h"
#include "TavrixLiveLinkSource.h"
#include "TavrixLiveLinkSourceInspector.h"
#include "TestWaits.h"

#include <memory>
#include <string>

/** A receiving source on 127.0.0.1, on a port nobody else holds. */
inline std::shared_ptr<FTavrixLiveLinkSource> MakeLoopbackSource(bool bAutoLens = true, bool bAutoSceneTake = true, bool bAutoRecord = true)
{
	return std::make_shared<FTavrixLiveLinkSource>(
		FIPv4Endpoint(FIPv4Address::InternalLoopback, FreeLoopbackPort()), bAutoLens, bAutoSceneTake, bAutoRecord);
}

inline TSharedPtr<FTavrixLiveLinkSource> MakeSharedLoopbackSource(
	bool bAutoLens = true, bool bAutoSceneTake = true, bool bAutoRecord = true)
{
	return MakeShared<FTavrixLiveLinkSource>(
		FIPv4Endpoint(FIPv4Address::InternalLoopback, FreeLoopbackPort()), bAutoLens, bAutoSceneTake, bAutoRecord);
}

/** A complete camera message whose timecode frame number identifies it. */
inline std::string CameraMessageWithFrame(int Frame)
{
	return "{\"TVKCamera\":[{\"Location\":[1,2,3],\"Rotation\":[0,0,0,1],\"Scale\":[1,1,1],\"Lens\":[35,300,1.5,60],"
		   "\"Timecode\":[" +
		std::to_string(Frame) + ",25,1],\"Metadata\":[\"\",\"Scene\",\"1\"],\"State\":0}]}";
}
