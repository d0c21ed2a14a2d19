// Stand-in for the engine's UTakeRecorderPanel: meta data, record and stop, and, when FTakeRecorderHost switches
// them on, a refused start or a countdown before recording. No sources, modes or review.
#pragma once

#include "CoreMinimal.h"
#include "TakeRecorderTypes.h"
#include "UObject/Object.h"

class UTakeMetaData;

/**
 * The Take Recorder panel as scripts see it. Only the panel that UTakeRecorderBlueprintLibrary opened may be used,
 * only on the thread that opened it, and only until it is closed.
 */
class TAKERECORDER_API UTakeRecorderPanel : public UObject
{
	DECLARE_CLASS(UTakeRecorderPanel, UObject)
public:
	/** The slate and take number the next take is recorded under. Never null for the open panel. */
	UTakeMetaData* GetTakeMetaData() const;
	/**
	 * Starts a take unless one is being recorded or counted down to. As in the editor, a start may be refused (a
	 * warning) or may begin a countdown, the take starting some ticks later (FTakeRecorderHost). A refusal or a
	 * failure is logged and leaves the Take Recorder idle.
	 */
	void StartRecording() const;
	/** Ends the take being recorded, if any, with its closing line; during a countdown, cancels it instead. */
	void StopRecording() const;
};
