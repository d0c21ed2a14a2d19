// Stand-in only, for tests and tools: the wiring of the stand-in Take Recorder (client, takes folder, events, closing
// the panel, and switches for a start that is refused or counted down, as the editor's may be). Not part of the
// engine's API.
#pragma once

#include "CoreMinimal.h"

#include <functional>
#include "TakeRecorderTypes.h"

class FLiveLinkClient;
class UTakeMetaData;

DECLARE_MULTICAST_DELEGATE_OneParam(FOnTakeRecordingStarted, const FString& /*TakeFilePath*/);
DECLARE_MULTICAST_DELEGATE_TwoParams(FOnTakeRecordingStopped, const FString& /*TakeFilePath*/, int64 /*FramesWritten*/);
DECLARE_MULTICAST_DELEGATE_TwoParams(FOnTakeSlateChanged, const FString& /*Slate*/, UTakeMetaData* /*MetaData*/);
DECLARE_MULTICAST_DELEGATE_TwoParams(FOnTakeNumberChanged, int32 /*TakeNumber*/, UTakeMetaData* /*MetaData*/);

/**
 * A take is one file of JSON lines: a header with slate, take number and start time, one line per camera frame the
 * Live Link client accepts while recording (from any subject, on whichever thread pushes it), and a closing line
 * when the take ends cleanly. Each line reaches the file before the next one is started, and a take file is never
 * replaced or overwritten.
 *
 * The setters follow the same thread rule as UTakeRecorderBlueprintLibrary. The events are raised on the game thread.
 */
class TAKERECORDER_API FTakeRecorderHost
{
public:
	/**
	 * The client whose camera frames are recorded; null for none (recording then refuses to start). Changing it
	 * ends a take recorded from the previous client. The client must outlive its use here: set null before
	 * destroying it while a take may be running.
	 */
	static void SetLiveLinkClient(FLiveLinkClient* InClient);
	static FLiveLinkClient* GetLiveLinkClient();

	/** The folder new take files go to, created when a take starts; empty means ProjectSavedDir()/Takes/. */
	static void SetTakesDirectory(const FString& InDirectory);
	/** The folder the next take would go to. */
	static FString GetTakesDirectory();

	/** The file of the take being recorded, else of the last take; empty before the first take. */
	static FString GetTakeFilePath();
	/** Frame lines written to that file so far. */
	static int64 GetFramesWritten();

	/**
	 * While set, every start is refused, as the editor's panel refuses one when it has no sources or a take is under
	 * review: StartRecording logs a warning in LogTakeRecorder and nothing starts. Off by default.
	 */
	static void SetRefuseStarts(bool bInRefuse);
	static bool IsRefusingStarts();

	/**
	 * With InTicks above 0, StartRecording begins a countdown, as the editor's does, instead of a take: the take
	 * starts during the InTicks-th tick of the Live Link client after the request (a request made inside a tick is
	 * not counted by that tick), under the slate and take number of the request. IsRecording is false until then;
	 * a further start is ignored, and a stop, closing the panel, changing the client or Shutdown cancels the
	 * countdown without a take. The ticks are counted by a subscription to the client's tick notification that
	 * lasts as long as the countdown. 0 (the default) starts at once; a negative count is taken as 0.
	 */
	static void SetStartCountdown(int32 InTicks);
	static int32 GetStartCountdown();
	/** True from a start that began a countdown until the take starts or the countdown is cancelled. */
	static bool IsCountingDown();

	/**
	 * Called on the game thread while a take starts and after it has been saved, as the editor's progress dialog
	 * ticks the engine (Live Link included) during those calls: whoever called StartRecording or StopRecording may
	 * be re-entered. Unset by default.
	 */
	static void SetModalProgressTick(std::function<void()> InTick);

	/**
	 * Ends a take being recorded or counted down to, closes the panel, forgets the client and switches refusal and
	 * countdown off again. The Take Recorder can be used again.
	 */
	static void Shutdown();

	/**
	 * Stops a take being recorded, then closes the panel, as the user closing its tab does. Nothing happens when none
	 * is open. The closed panel object stays valid: its GetTakeMetaData answers null with an error, as the editor's.
	 */
	static void ClosePanel();

	static FOnTakeRecordingStarted& OnRecordingStarted();
	static FOnTakeRecordingStopped& OnRecordingStopped();
	/** Raised by every metadata set with bEmitChanged that the metadata takes, also when the value stays the same. */
	static FOnTakeSlateChanged& OnTakeSlateChanged();
	static FOnTakeNumberChanged& OnTakeNumberChanged();
};
