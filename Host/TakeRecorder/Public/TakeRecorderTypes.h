// Stand-in for the export macros of the engine's TakeRecorder and TakesCore modules, both served by this module.
#pragma once

#include "CoreTypes.h"

#define TAKERECORDER_API DLLEXPORT
#define TAKESCORE_API DLLEXPORT
