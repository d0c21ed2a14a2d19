#pragma once

#include "CoreMinimal.h"

/** The latest decoded datagram. Written by the receive thread and read by the tick, both only under DataMutex. */
struct FTavrixReceivedState
{
	FVector Location = FVector(0.0f, 0.0f, 0.0f);
	/** Four zeros until a datagram says otherwise: deliberately not the identity. */
	FQuat Rotation = FQuat(0.0f, 0.0f, 0.0f, 0.0f);
	FVector Scale = FVector(1.0f, 1.0f, 1.0f);
	/** Focal length, focus distance, aspect ratio, field of view. */
	double Lens[4] = {0.0, 0.0, 0.0, 0.0};
	/** Sender frame number, rate numerator, rate denominator. */
	int32 Timecode[3] = {0, 0, 0};
	/** First text (change detection only), scene name (the slate), take number as decimal text. */
	FString Metadata[3];
	/** The sender's state code; 2 asks for recording. */
	int32 State = 0;
};
