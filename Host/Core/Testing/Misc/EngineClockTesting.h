// Stand-in only, for the host and tests: starting an engine frame, and choosing or scripting the timecode provider.
// Not part of the engine's API.
#pragma once

#include "CoreTypes.h"
#include "Misc/App.h"

struct CORE_API FEngineClockTesting
{
	/** Starts a frame at FPlatformTime::Seconds, with the provider's timecode, as the engine loop does. */
	static void BeginFrame();
	/** Starts a frame at Seconds; the timecode comes from the provider (or the script). */
	static void BeginFrame(double Seconds);
	/** The default provider counts the system clock's time of day at this rate (24 frames per second until set). */
	static void SetTimecodeFrameRate(const FFrameRate& Rate);
	/** Every following frame takes this timecode at this rate until the script is cleared. */
	static void ScriptTimecode(const FTimecode& Timecode, const FFrameRate& Rate);
	/** Back to the default provider, at 24 frames per second, with a valid timecode. */
	static void ResetTimecodeProvider();
	/** Frames without any timecode provider (the engine's timecode is then invalid), or with one again. */
	static void SetTimecodeProviderAvailable(bool bAvailable);
	/** Whether the current frame has an engine timecode. */
	static bool HasTimecode();
};
