// Stand-in for the engine's UTakeMetaData (TakesCore): slate, take number and the lock of a recorded take. No timestamp,
// frame rate or sequence.
#pragma once

#include "CoreMinimal.h"
#include "UObject/Object.h"

// The stand-in builds TakesCore's code into its TakeRecorder library.
#define TAKESCORE_API DLLEXPORT

/**
 * What the next take is called. Game thread only. The Take Recorder owns the one instance its panel hands out;
 * it outlives the panel, so a reopened panel shows the slate and take number it had when it was closed.
 */
class TAKESCORE_API UTakeMetaData : public UObject
{
	DECLARE_CLASS(UTakeMetaData, UObject)
public:
	const FString& GetSlate() const { return Slate; }
	int32 GetTakeNumber() const { return TakeNumber; }

	/** Ignored while the take is locked. */
	void SetSlate(FString InSlate, bool bEmitChanged = true);
	/** Ignored while the take is locked; a number below 1 is stored as 1. */
	void SetTakeNumber(int32 InTakeNumber, bool bEmitChanged = true);

	/** A take being recorded, or recorded, is locked: its slate and take number no longer change. */
	bool IsLocked() const { return bIsLocked; }
	void Lock() { bIsLocked = true; }
	void Unlock() { bIsLocked = false; }

private:
	FString Slate = TEXT("Scene");
	int32 TakeNumber = 1;
	bool bIsLocked = false;
};
