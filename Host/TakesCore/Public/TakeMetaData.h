// Stand-in for the engine's UTakeMetaData (TakesCore): slate and take number. No locking, timestamp or sequence.
#pragma once

#include "CoreMinimal.h"
#include "UObject/Object.h"

// The stand-in builds TakesCore's code into its TakeRecorder library.
#define TAKESCORE_API DLLEXPORT

class UTakeMetaData;

DECLARE_MULTICAST_DELEGATE_TwoParams(FOnTakeSlateChanged, const FString& /*Slate*/, UTakeMetaData* /*MetaData*/);
DECLARE_MULTICAST_DELEGATE_TwoParams(FOnTakeNumberChanged, int32 /*TakeNumber*/, UTakeMetaData* /*MetaData*/);

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

	/** Takes effect from the next take on; a take being recorded keeps the slate it started with. */
	void SetSlate(FString InSlate, bool bEmitChanged = true);
	void SetTakeNumber(int32 InTakeNumber, bool bEmitChanged = true);

	/** Raised by every set with bEmitChanged, also when the value stays the same. */
	static FOnTakeSlateChanged& OnTakeSlateChanged();
	static FOnTakeNumberChanged& OnTakeNumberChanged();

private:
	FString Slate = TEXT("Scene");
	int32 TakeNumber = 1;
};
