// Stand-in for the engine's FApp, reduced to the frame's clock: the frame time and the engine timecode, both set
// once at the start of each engine frame (FEngineClockTesting::BeginFrame here, the engine loop in the editor).
#pragma once

#include "CoreTypes.h"
#include "Misc/FrameRate.h"
#include "Misc/Timecode.h"

struct CORE_API FApp
{
	/** FPlatformTime::Seconds as read at the start of the current frame. */
	static double GetCurrentTime();
	/** The timecode the engine's timecode provider gave at the start of the current frame. */
	static FTimecode GetTimecode();
	/** The rate GetTimecode counts in. */
	static FFrameRate GetTimecodeFrameRate();
};
