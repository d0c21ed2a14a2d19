#pragma once

#include "CoreMinimal.h"

/** The module's one log category; defined with the module object, so it exists from the module's load. */
DECLARE_LOG_CATEGORY_EXTERN(ModuleLog, Log, All);
