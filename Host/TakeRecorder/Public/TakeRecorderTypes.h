// Stand-in for the export macro of the engine's TakeRecorder module.
#pragma once

#include "CoreTypes.h"

#define TAKERECORDER_API DLLEXPORT
