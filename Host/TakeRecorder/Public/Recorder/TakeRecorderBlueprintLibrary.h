// Stand-in for the engine's UTakeRecorderBlueprintLibrary: panel and recording state. No cancel, sources or sequences.
#pragma once

#include "CoreMinimal.h"
#include "TakeRecorderTypes.h"
#include "UObject/Object.h"

class UTakeRecorderPanel;

/**
 * Entry points to the process-wide Take Recorder. While a panel is open, every call must come from the thread that
 * opened it (the game thread): a call from another thread fails a check.
 */
class TAKERECORDER_API UTakeRecorderBlueprintLibrary : public UObject
{
	DECLARE_CLASS(UTakeRecorderBlueprintLibrary, UObject)
public:
	/** The open panel, opening it first if needed; the calling thread becomes the Take Recorder's game thread. */
	static UTakeRecorderPanel* OpenTakeRecorderPanel();
	/** The open panel, or null when none is open. */
	static UTakeRecorderPanel* GetTakeRecorderPanel();
	/** True while a take is being recorded; false during the countdown before it. */
	static bool IsRecording();
	/** Ends the take being recorded, or cancels its countdown, as the panel's stop action does. */
	static void StopRecording();
};
