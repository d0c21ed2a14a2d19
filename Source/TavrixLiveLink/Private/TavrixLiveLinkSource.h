#pragma once

#include "CoreMinimal.h"
#include "HAL/Runnable.h"
#include "ILiveLinkSource.h"
#include "Interfaces/IPv4/IPv4Endpoint.h"
#include "TavrixCaptureWriter.h"
#include "TavrixFrameClock.h"
#include "TavrixLogLimiter.h"
#include "TavrixReceivedState.h"
#include "TavrixSenderFilter.h"
#include "TavrixStreamHealth.h"
#include "UObject/WeakObjectPtr.h"

#include <atomic>
#include <limits>
#include <mutex>

class FInternetAddr;
class FRunnableThread;
class FSocket;
class ILiveLinkClient;
class ISocketSubsystem;
class UTavrixLiveLinkSourceSettings;

/**
 * Live Link source for one Tavrix camera: listens on one UDP endpoint on a thread of its own, keeps the latest
 * decoded datagram, and publishes one camera subject ("Tavrix - Camera" unless renamed in the details) on every Live
 * Link tick of its client.
 *
 * Threads: construction, the client calls, the tick and destruction run on the game thread; Init/Run/Exit and
 * ProcessReceivedData run on the receive thread. DataMutex guards the received state; FrameKeyMutex only hands the
 * subject key to the receive thread. Neither is held while the client is called.
 *
 * With "Frame per Datagram" the receive thread pushes each decoded camera datagram as a frame of its own and the tick
 * pushes static data only. The receive thread learns where to push from the key the tick publishes after it has
 * pushed that subject's static data, and stops pushing once shutdown is requested.
 */
class FTavrixLiveLinkSource : public ILiveLinkSource, public FRunnable
{
public:
	/** Binds the socket and, when that works, starts the receive thread. Never fails: see IsSourceStillValid. */
	FTavrixLiveLinkSource(FIPv4Endpoint InEndpoint, bool bInAutoLens, bool bInAutoSceneTake, bool bInAutoRecord);
	/** Stops and waits for the receive thread, ends the tick subscription, closes the socket. */
	virtual ~FTavrixLiveLinkSource();

	//~ Begin ILiveLinkSource interface
	virtual void ReceiveClient(ILiveLinkClient* InClient, FGuid InSourceGuid) override;
	/**
	 * Keeps a weak reference to the details object Live Link made of GetSettingsClass; Live Link owns it. Details
	 * restored from a preset carry a subject name and options, which replace the source's; fresh details are given
	 * the source's own.
	 */
	virtual void InitializeSettings(ULiveLinkSourceSettings* Settings) override;
	virtual bool IsSourceStillValid() const override;
	/** Stops receiving; false (asked again on a later tick) while the receive thread is inside a frame push. */
	virtual bool RequestSourceShutdown() override;
	virtual FText GetSourceType() const override;
	virtual FText GetSourceMachineName() const override;
	virtual FText GetSourceStatus() const override;
	virtual TSubclassOf<ULiveLinkSourceSettings> GetSettingsClass() const override;
	/**
	 * Follows the details (game thread): "Capture Raw Datagrams" starts or ends a capture, "Accepted Senders" is in
	 * force from the next datagram when it reads as a list (other text is put back, with the reason shown), the options
	 * apply from the next datagram and tick, and a new "Subject Name" replaces the subject.
	 */
	virtual void OnSettingsChanged(ULiveLinkSourceSettings* Settings, const FPropertyChangedEvent& PropertyChangedEvent) override;
	//~ End ILiveLinkSource interface

	//~ Begin FRunnable interface
	virtual bool Init() override;
	virtual uint32 Run() override;
	virtual void Stop() override;
	virtual void Exit() override;
	//~ End FRunnable interface

	/** Creates and starts the receive thread; called once by the constructor when the socket is usable. */
	void Start();
	/** One Live Link tick (game thread): static data once, then a frame per tick once a datagram was decoded. */
	bool LiveLinkTick();
	/**
	 * Decodes one datagram into ReceivedState and, with "Frame per Datagram", pushes it as a frame (receive thread).
	 * Always returns false.
	 */
	bool ProcessReceivedData(TSharedPtr<TArray<uint8>, ESPMode::ThreadSafe> InData);
	/** Releases the datagram and does nothing else: the receive loop decodes through ProcessReceivedData. */
	void HandleReceivedData(TSharedPtr<TArray<uint8>, ESPMode::ThreadSafe> InData);
	/** The function subscribed to the client's tick notification. */
	static void OnLiveLinkTick(FTavrixLiveLinkSource* InSource);

	/**
	 * Starts or stops writing every received datagram, with its arrival time and sender, to a new capture file under
	 * <project>/Saved/TavrixCaptures/ (game thread). Starting while capturing keeps the current file; a source that
	 * does not receive captures nothing. True when capturing afterwards. Decoding goes on whatever the capture does.
	 */
	bool SetCaptureRawDatagrams(bool bInCapture);
	/** The current or latest capture's file, counters and error (game thread). */
	FTavrixCaptureStatus GetCaptureStatus() const;

private:
	friend class FTavrixLiveLinkSourceInspector;

	/** Hands the datagram just received into RecvBuffer to the capture writer (receive thread). */
	void CaptureDatagram(const FInternetAddr& SenderAddress, int32 BytesRead);
	/** Receives one datagram and decodes it when it holds any bytes; returns the bytes read (receive thread). */
	int32 ReceiveDatagram(FInternetAddr& SenderAddress);
	/** Closes the socket, if any, and hands it back to its subsystem. */
	void DestroySocket();
	/** Removes the tick subscription if it is still held (game thread). */
	void EndTickSubscription();
	/** Makes the key the receive thread pushes frames to that subject's, or, when invalid, stops its pushes (game thread). */
	void PublishFrameKey(const FLiveLinkSubjectKey& Key, bool bValid);
	/** Pushes one datagram's frame to the published key, unless there is none or pushes are closed (receive thread). */
	void PushDatagramFrame(FLiveLinkFrameDataStruct&& FrameData);
	/** Lets no frame push start any more; true when none is in progress either. */
	bool ClosePushes();
	/** The three options as one tick uses them. */
	struct FOptionsSnapshot
	{
		bool bAutoLens = false;
		bool bAutoSceneTake = false;
		bool bAutoRecord = false;
	};
	/** What one tick asks of Take Recorder, read from ReceivedState under DataMutex. */
	struct FTakeRecorderRequest
	{
		/** The metadata (with "Auto Scene/Take") or the record request differ from what was last applied. */
		bool bChanged = false;
		/** The received metadata, copied only when they are to be applied. */
		FString Metadata[3];
		/** 1 when the received state asks for recording, else 0. */
		int32 RecordRequest = 0;
	};
	/** Compares the received metadata and state with what was last applied; DataMutex is held by the caller. */
	FTakeRecorderRequest ReadTakeRecorderRequest(const FOptionsSnapshot& Options) const;
	/** Follows the sender's scene, take and record state in Take Recorder; DataMutex is not held. */
	void FollowTakeRecorder(const FTakeRecorderRequest& Request, const FOptionsSnapshot& Options, int64 NowMs);
	/** Brings the details object's "Stream" values up to date, if it still exists (game thread). */
	void UpdateStreamDetails();
	/** Puts the details' "Accepted Senders" in force, or back to the list in force with the reason (game thread). */
	void ApplyAcceptedSenders(UTavrixLiveLinkSourceSettings& Details);
	/** Writes "Unknow data received" for Count foreign members seen at NowUs, as often as the limiter allows. */
	void LogForeignMembers(int32 Count, int64 NowUs);
	/** Writes how many foreign members went unlogged, when any did. */
	static void LogUnwrittenForeignMembers(uint64 Count);
	FOptionsSnapshot ReadOptions() const;
	/** Takes the options from the details (game thread). */
	void TakeOptionsFrom(const UTavrixLiveLinkSourceSettings& Details);
	/**
	 * Takes the details' subject name, trimmed, when it is usable, else writes the current one back with the reason
	 * in the details. A new name removes the old subject; the next tick publishes the new one (game thread).
	 */
	void TakeSubjectNameFrom(UTavrixLiveLinkSourceSettings& Details);
	/** Tells in the details whether Live Link uses this source's subject (game thread, after the static data). */
	void UpdateSubjectStatus();

	ILiveLinkClient* Client = nullptr;
	FDelegateHandle TickDelegateHandle;
	FGuid SourceGuid;

	FText SourceType;
	FText SourceMachineName;
	FText SourceStatus;

	FIPv4Endpoint DeviceEndpoint;
	FSocket* Socket = nullptr;
	ISocketSubsystem* SocketSubsystem = nullptr;
	std::atomic<uint32> bStopping{0};
	/** Set by the receive thread as its last act; tells the game thread to end the tick subscription. */
	std::atomic<bool> bReceiveThreadEnded{false};
	FRunnableThread* Thread = nullptr;
	FString ThreadName;
	FTimespan WaitTime = FTimespan::FromMilliseconds(10);
	TArray<uint8> RecvBuffer;

	bool bPushStaticData = true;
	/** A subject this source published under its previous name, to remove once more on the next tick (game thread). */
	FName ReplacedSubjectName;
	bool bRemoveReplacedSubject = false;
	FTavrixReceivedState ReceivedState;
	std::atomic<bool> bHasReceivedData{false};
	std::mutex DataMutex;

	/** Copies received datagrams into a capture file when asked; its Enqueue is the receive thread's. */
	FTavrixCaptureWriter CaptureWriter;

	/** Carries the sender's timecode between datagrams; started at the end of construction (game thread only). */
	FTavrixFrameClock FrameClock;

	/** Written on the game thread (the details), read by the receive thread's decoder and by the tick. */
	std::atomic<bool> bAutoLens;
	std::atomic<bool> bAutoSceneTake;
	std::atomic<bool> bAutoRecord;
	/** "Frame per Datagram": the receive thread pushes the frames, the tick only static data. */
	std::atomic<bool> bFramePerDatagram{false};

	/**
	 * The key for the receive thread's frames: written by the game thread under FrameKeyMutex, which also bumps
	 * FrameKeyGeneration. The receive thread takes the lock only when the generation changed, to copy the key.
	 */
	std::mutex FrameKeyMutex;
	FLiveLinkSubjectKey PublishedFrameKey;
	bool bPublishedFrameKeyValid = false;
	std::atomic<uint32> FrameKeyGeneration{0};
	/** The receive thread's copy of the published key and the generation it was copied at (receive thread only). */
	FLiveLinkSubjectKey FrameKey;
	bool bFrameKeyValid = false;
	uint32 SeenFrameKeyGeneration = 0;
	/**
	 * Shutdown closes pushes; a push counts itself in flight before it checks that they are open. Both sequentially
	 * consistent: once the closing side reads no push in flight, no push can start.
	 */
	std::atomic<bool> bPushesClosed{false};
	std::atomic<int32> PushesInFlight{0};

	/** The subject the tick publishes, and its text as the details show it (game thread only). */
	FName SubjectName;
	FString SubjectNameText;
	/** What the details' "Subject Status" says, so that its text is made only when it changes (game thread only). */
	enum class ESubjectState : uint8
	{
		Unknown,
		Enabled,
		DisabledByAnother,
		NotEnabled,
	};
	ESubjectState ShownSubjectState = ESubjectState::Unknown;

	FString AppliedMetadata[3];
	int32 AppliedRecordRequest = 0;
	/** A start was asked of Take Recorder and no take or countdown has been seen since (game thread only). */
	bool bStartRequested = false;
	/** When a take was last asked to start; far in the past before the first (game thread only). */
	int64 LastStartRequestMs = std::numeric_limits<int64>::min() / 2;
	/** How long after LastStartRequestMs the next start may be asked: a second, longer while starts are refused. */
	int64 StartIntervalMs = 1000;
	/** The sender asks for a take that waits for the second after the previous start to pass (game thread only). */
	bool bStartDelayed = false;
	/** Start requests that had to wait so (game thread only). */
	uint64 TakeStartsDelayed = 0;
	/** Take Recorder is being driven: a tick it runs meanwhile leaves it alone (game thread only). */
	bool bDrivingTakeRecorder = false;

	/** Camera objects decoded so far; under DataMutex. Tells the tick whether its timecode is fresh. */
	uint64 DecodedCameraCount = 0;
	/** Monotonic milliseconds at which the latest camera object was received; under DataMutex. */
	int64 LatestArrivalMs = 0;
	/** DecodedCameraCount as seen by the previous tick (game thread only). */
	uint64 TickedCameraCount = 0;

	/** Recorded by the receive thread without a lock, read by the tick. */
	FTavrixStreamHealth StreamHealth;
	/** The details object; Live Link owns it and may destroy it first (game thread only). */
	TWeakObjectPtr<UTavrixLiveLinkSourceSettings> StreamDetails;
	/** The sender the details show, as the health snapshot packs it, so that its text is made only when it changes. */
	uint64 ShownSenderKey = 0;
	/** The same for the latest sender that is not accepted. */
	uint64 ShownOtherSenderKey = 0;

	/** The accepted senders, handed from the game thread to the receive thread; empty (anyone) until set. */
	FTavrixSenderFilterExchange SenderFilter;
	/** The "Accepted Senders" text in force, put back when an edit is refused (game thread only). */
	FString AppliedAcceptedSenders;
	/** Bounds the "Unknow data received" lines; the decoding thread's alone. */
	FTavrixLogLimiter ForeignMemberLog;
	/** Brings the details' "Capture" values up to date, and ends a capture that a write error stopped (game thread). */
	void UpdateCaptureDetails(UTavrixLiveLinkSourceSettings& Details);
};
