// Stand-in for the engine's UObjectHash.h: finding registered classes. No object iteration, no lookup by name.
#pragma once

#include "CoreMinimal.h"
#include "UObject/Class.h"

/**
 * Every registered class derived from ClassToLookFor (not the class itself); only direct children unless bRecursive.
 * A class is registered while the module declaring it is loaded.
 */
COREUOBJECT_API void GetDerivedClasses(const UClass* ClassToLookFor, TArray<UClass*>& Results, bool bRecursive = true);
