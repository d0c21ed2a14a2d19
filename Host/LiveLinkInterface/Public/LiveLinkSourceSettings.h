// Stand-in for the engine's ULiveLinkSourceSettings: the per-source settings object, with the engine's base members
// (evaluation mode, buffering, connection string, factory). Reflected by hand (LiveLinkSourceSettings.cpp), so that
// every subclass shows them: the buffering members appear as flattened "BufferSettings.<Member>" properties.
#pragma once

#include "LiveLinkTypes.h"
#include "Misc/FrameRate.h"
#include "UObject/Object.h"

class ULiveLinkSourceFactory;

enum class ELiveLinkSourceMode : uint8
{
	/** The newest frame received. */
	Latest,
	/** Frames compared by their world time with the engine's frame time. */
	EngineTime,
	/** Frames compared by their scene time with the engine's timecode. */
	Timecode,
};

struct FLiveLinkSourceBufferManagementSettings
{
	bool bValidEngineTimeEnabled = false;
	float ValidEngineTime = 1.0f;
	float EngineTimeOffset = 0.0f;
	/** Estimated by the client: read-only in the details. */
	double EngineTimeClockOffset = 0.0;
	bool bGenerateSubFrame = false;
	FFrameRate DetectedFrameRate = FFrameRate(24, 1);
	bool bUseTimecodeSmoothLatest = false;
	FFrameRate SourceTimecodeFrameRate = FFrameRate(24, 1);
	bool bValidTimecodeFrameEnabled = false;
	int32 ValidTimecodeFrame = 30;
	float TimecodeFrameOffset = 0.0f;
	/** Estimated by the client: read-only in the details. */
	double TimecodeClockOffset = 0.0;
	int32 LatestOffset = 0;
	int32 MaxNumberOfFrameToBuffered = 10;
	bool bKeepAtLeastOneFrame = true;
};

class LIVELINKINTERFACE_API ULiveLinkSourceSettings : public UObject
{
	DECLARE_CLASS(ULiveLinkSourceSettings, UObject)
public:
	ELiveLinkSourceMode Mode = ELiveLinkSourceMode::EngineTime;
	FLiveLinkSourceBufferManagementSettings BufferSettings;
	FString ConnectionString;
	TSubclassOf<ULiveLinkSourceFactory> Factory;
};
