#include "CoreMinimal.h"
#include "Modules/ModuleManager.h"
#include "TavrixLiveLinkLog.h"

DEFINE_LOG_CATEGORY(ModuleLog);

class FTavrixLiveLinkModule : public IModuleInterface
{
};

IMPLEMENT_MODULE(FTavrixLiveLinkModule, TavrixLiveLink)
