// Stand-in for the engine's UTakeRecorderPanel: meta data, record and stop. No sources, modes, countdown or review.
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
	/** Starts a take unless one is being recorded. A failure is logged and leaves the Take Recorder idle. */
	void StartRecording() const;
	/** Ends the take being recorded, if any, with its closing line. */
	void StopRecording() const;
};
