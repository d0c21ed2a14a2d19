#include "TavrixLiveLinkRuntimeSettings.h"

UTavrixLiveLinkRuntimeSettings::UTavrixLiveLinkRuntimeSettings()
	: NetworkServerAddressByDefault(TEXT("0.0.0.0"))
	, NetworkPortIdByDefault(9001)
	, bAutoLens(true)
	, bAutoSceneTakeUpdate(true)
	, bAutoRecord(false)
{
}
