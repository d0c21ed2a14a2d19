// Stand-in for the engine's SlateGlobals.h: the export macro of the library holding Slate and SlateCore. No log categories or stats.
#pragma once

#include "CoreTypes.h"

#define SLATE_API DLLEXPORT
