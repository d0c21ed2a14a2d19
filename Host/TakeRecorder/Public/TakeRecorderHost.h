// Host-side wiring of the stand-in Take Recorder (client, takes folder, events); the engine has no such class.
#pragma once

#include "CoreMinimal.h"
#include "TakeRecorderTypes.h"

class FLiveLinkClient;

DECLARE_MULTICAST_DELEGATE_OneParam(FOnTakeRecordingStarted, const FString& /*TakeFilePath*/);
DECLARE_MULTICAST_DELEGATE_TwoParams(FOnTakeRecordingStopped, const FString& /*TakeFilePath*/, int64 /*FramesWritten*/);

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

	/** Ends a take being recorded, closes the panel and forgets the client. The Take Recorder can be used again. */
	static void Shutdown();

	static FOnTakeRecordingStarted& OnRecordingStarted();
	static FOnTakeRecordingStopped& OnRecordingStopped();
};
