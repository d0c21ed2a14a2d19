// Stand-in for the engine's UTakeRecorder as others see it: the active recorder and its state. No sources, no
// pre-recording, no sequences: the stand-in records takes itself (TakeRecorderHost).
#pragma once

#include "CoreMinimal.h"
#include "TakeRecorderTypes.h"
#include "UObject/Object.h"

enum class ETakeRecorderState : uint8
{
	CountingDown,
	PreRecord,
	TickingAfterPre,
	Started,
	Stopped,
	Cancelled,
};

class TAKERECORDER_API UTakeRecorder : public UObject
{
	DECLARE_CLASS(UTakeRecorder, UObject)
public:
	/** The recorder counting down to a take or recording one; null while Take Recorder is idle. Game thread only. */
	static UTakeRecorder* GetActiveRecorder();
	/** CountingDown before the take begins, Started while it is recorded. */
	ETakeRecorderState GetState() const;
};
