// Stand-in for the engine's SlateOptMacros.h: the build-optimisation brackets around Construct. They expand to nothing.
#pragma once

#define BEGIN_SLATE_FUNCTION_BUILD_OPTIMIZATION
#define END_SLATE_FUNCTION_BUILD_OPTIMIZATION
