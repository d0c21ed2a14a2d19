// Stand-in only, for tests, tools and the stand-in's Take Recorder: what a subject of the client holds, observers of
// the data it accepts, and the details panel's route for editing a source's settings. Not part of the engine's API.
#pragma once

#include "LiveLinkClient.h"

struct LIVELINK_API FLiveLinkClientTesting
{
	/**
	 * Copies of what the client holds, as of its latest tick: the static data and the newest frame applied (in order
	 * of arrival, whatever its time); invalid records when the subject is unknown or has no frame yet.
	 */
	static FLiveLinkStaticDataStruct GetStaticData(const FLiveLinkClient& Client, const FLiveLinkSubjectKey& SubjectKey);
	static FLiveLinkFrameDataStruct GetLatestFrame(const FLiveLinkClient& Client, const FLiveLinkSubjectKey& SubjectKey);
	/** Frames the subject's ticks applied since its static data was first applied. */
	static uint64 GetFrameCount(const FLiveLinkClient& Client, const FLiveLinkSubjectKey& SubjectKey);
	static bool HasSubject(const FLiveLinkClient& Client, const FLiveLinkSubjectKey& SubjectKey);
	/** Ticks the client has run. */
	static uint64 GetTickCount(const FLiveLinkClient& Client);
	/** What the frame queue shared by all sources carried: the engine trims it silently, so only these tell. */
	struct FFrameQueueCounts
	{
		/** Frames the ticks took from the queue, applied or not. */
		uint64 FramesTaken = 0;
		/** The most frames one tick took. */
		uint64 MostFramesInOneTick = 0;
		/** Frames lost to the cap on queued frames: those trimmed away and the pushes refused with them. */
		uint64 FramesDropped = 0;
	};
	static FFrameQueueCounts GetFrameQueueCounts(const FLiveLinkClient& Client);
	/** The source added under that identifier, or null. */
	static TSharedPtr<ILiveLinkSource> GetSource(const FLiveLinkClient& Client, FGuid SourceGuid);

	/** Observers of accepted data, called on the pushing thread after the client has stored the record. */
	static TLiveLinkObservers<void(const FLiveLinkSubjectKey&, const FLiveLinkStaticDataStruct&)>& OnStaticDataReceived(
		FLiveLinkClient& Client);
	static TLiveLinkObservers<void(const FLiveLinkSubjectKey&, const FLiveLinkFrameDataStruct&)>& OnFrameDataReceived(
		FLiveLinkClient& Client);

	/**
	 * Edits one property of the source's settings as the details panel does: by name, from text (FProperty::ImportText).
	 * Only properties shown as editable (EditAnywhere and the like, not Visible*) can be edited. A value that reads
	 * differently from the one held calls the source's OnSettingsChanged; an unchanged value calls nothing. False, with
	 * a sentence in OutError, when the source, the property or the text is refused. Game thread only.
	 */
	static bool SetSourceSettingsProperty(
		FLiveLinkClient& Client, FGuid SourceGuid, FName PropertyName, const FString& ValueText, FString* OutError = nullptr);

	/**
	 * The default blending of two frames of a transform or camera subject at Alpha from A to B: copies at alpha near
	 * 0 or 1; otherwise the closer frame with location, scale, camera floats, property values and times blended
	 * linearly and rotation by normalised linear blend of the quaternions along the shorter path.
	 */
	static FLiveLinkFrameDataStruct BlendFrames(const FLiveLinkFrameDataStruct& A, const FLiveLinkFrameDataStruct& B, float Alpha);
	/** The frames the subject buffers, in the mode's time order. */
	static TArray<FLiveLinkFrameDataStruct> GetBufferedFrames(const FLiveLinkClient& Client, const FLiveLinkSubjectKey& SubjectKey);
	/** Whether the subject had a frame applied within the last half second of the platform clock. */
	static bool IsSubjectValid(const FLiveLinkClient& Client, const FLiveLinkSubjectKey& SubjectKey);
};
