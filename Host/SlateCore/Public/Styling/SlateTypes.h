// Stand-in for the engine's SlateTypes.h: only ECheckBoxState, kept with the enumerations. No widget styles.
#pragma once

#include "Types/SlateEnums.h"
