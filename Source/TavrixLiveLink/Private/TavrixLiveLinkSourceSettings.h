#pragma once

#include "CoreMinimal.h"
#include "LiveLinkSourceSettings.h"
#include "TavrixLiveLinkSourceSettings.generated.h"

/**
 * The details of one Tavrix source in the Live Link panel. Live Link creates and owns it; the source only keeps a
 * weak reference and brings the "Subject", "Stream" and "Capture" values up to date on its tick. Counters stop at the
 * largest int32.
 *
 * The subject name and the options are saved with the object, and so with a Live Link preset: a source that a
 * preset recreates finds them here (bOptionsSaved set) and uses them instead of the ones it was made with.
 */
UCLASS()
class UTavrixLiveLinkSourceSettings : public ULiveLinkSourceSettings
{
	GENERATED_BODY()

public:
	/** Chooses how Live Link evaluates the subject by default: see the definition. */
	UTavrixLiveLinkSourceSettings();

	UPROPERTY(EditAnywhere, Category = "Subject",
		meta = (DisplayName = "Subject Name",
			ToolTip = "The Live Link subject this source publishes; leading and trailing spaces are dropped"))
	FString SubjectName = TEXT("Tavrix - Camera");

	UPROPERTY(VisibleAnywhere, Transient, Category = "Subject",
		meta = (DisplayName = "Subject Status",
			ToolTip = "Whether Live Link uses this source's subject; only one subject of a name is enabled across all sources"))
	FString SubjectStatus;

	UPROPERTY(VisibleAnywhere, Transient, Category = "Subject",
		meta = (DisplayName = "Subject Name Error", ToolTip = "Why the latest name typed was refused; empty when it was taken"))
	FString SubjectNameError;

	UPROPERTY(EditAnywhere, Category = "Options",
		meta = (DisplayName = "Auto Lens Update", ToolTip = "Publishes the lens values the sender reports"))
	bool bAutoLens = false;

	UPROPERTY(EditAnywhere, Category = "Options",
		meta = (DisplayName = "Auto Scene/Take", ToolTip = "Sets the Take Recorder's slate and take number from the sender's metadata"))
	bool bAutoSceneTake = true;

	UPROPERTY(EditAnywhere, Category = "Options",
		meta = (DisplayName = "Auto Record", ToolTip = "Starts and stops Take Recorder as the sender asks"))
	bool bAutoRecord = false;

	UPROPERTY(EditAnywhere, Category = "Options",
		meta = (DisplayName = "Frame per Datagram",
			ToolTip = "Each camera datagram becomes a frame of its own, timed by its arrival and the sender's timecode"))
	bool bFramePerDatagram = false;

	/** Set once the source has written its subject name and options here: a copy that has it comes from a preset. */
	UPROPERTY()
	bool bOptionsSaved = false;

	UPROPERTY(VisibleAnywhere, Transient, Category = "Stream",
		meta = (DisplayName = "Last Sender", ToolTip = "Address and port the latest datagram came from; empty before the first"))
	FString LastSender;

	UPROPERTY(VisibleAnywhere, Transient, Category = "Stream",
		meta = (DisplayName = "Last Datagram Age (ms)", ToolTip = "Milliseconds since the latest datagram arrived; -1 before the first"))
	float LastDatagramAgeMs = -1.0f;

	UPROPERTY(VisibleAnywhere, Transient, Category = "Stream",
		meta = (DisplayName = "Datagrams per Second", ToolTip = "Datagrams that arrived within the last second"))
	float DatagramsPerSecond = 0.0f;

	UPROPERTY(VisibleAnywhere, Transient, Category = "Stream",
		meta = (DisplayName = "Arrival Jitter (ms)",
			ToolTip = "Standard deviation of the intervals between consecutive arrivals within the last second"))
	float ArrivalJitterMs = 0.0f;

	UPROPERTY(VisibleAnywhere, Transient, Category = "Stream",
		meta = (DisplayName = "Datagrams Received", ToolTip = "Datagrams of at least one byte handed to the decoder"))
	int32 DatagramsReceived = 0;

	UPROPERTY(VisibleAnywhere, Transient, Category = "Stream",
		meta = (DisplayName = "Datagrams Rejected",
			ToolTip = "Datagrams that were not exactly one JSON object, or nested deeper than 64 levels"))
	int32 DatagramsRejected = 0;

	UPROPERTY(VisibleAnywhere, Transient, Category = "Stream",
		meta = (DisplayName = "Messages with Foreign Members",
			ToolTip = "Messages with at least one top-level member other than the camera's (each logged as an error)"))
	int32 MessagesWithForeignMembers = 0;

	UPROPERTY(VisibleAnywhere, Transient, Category = "Stream",
		meta = (DisplayName = "Timecode Gaps", ToolTip = "Forward timecode steps larger than the stream's usual step"))
	int32 TimecodeGaps = 0;

	UPROPERTY(VisibleAnywhere, Transient, Category = "Stream",
		meta = (DisplayName = "Timecode Frames Missed", ToolTip = "Usual steps missing in those gaps: the datagrams apparently lost"))
	int32 TimecodeFramesMissed = 0;

	UPROPERTY(VisibleAnywhere, Transient, Category = "Stream",
		meta = (DisplayName = "Timecode Steps Back", ToolTip = "Timecode steps backwards within the jump tolerance (reordered datagrams)"))
	int32 TimecodeStepsBack = 0;

	UPROPERTY(VisibleAnywhere, Transient, Category = "Stream",
		meta = (DisplayName = "Timecode Jumps",
			ToolTip = "Timecodes more than two frames away from where the time since the previous datagram puts them"))
	int32 TimecodeJumps = 0;

	UPROPERTY(VisibleAnywhere, Transient, Category = "Stream",
		meta = (DisplayName = "Take Starts Delayed",
			ToolTip = "Requests to start a take that came within a second of the previous start and waited for that second to pass"))
	int32 TakeStartsDelayed = 0;

	UPROPERTY(VisibleAnywhere, Transient, Category = "Stream",
		meta = (DisplayName = "Datagrams from Other Senders",
			ToolTip = "Datagrams from senders that Accepted Senders leaves out: never decoded, never logged one by one"))
	int32 DatagramsFromOtherSenders = 0;

	UPROPERTY(VisibleAnywhere, Transient, Category = "Stream",
		meta = (DisplayName = "Last Other Sender",
			ToolTip = "Address and port of the latest datagram from a sender that Accepted Senders leaves out; empty before the first"))
	FString LastOtherSender;

	/** Saved with the source (a preset keeps it): which senders may drive the camera and Take Recorder. */
	UPROPERTY(EditAnywhere, Category = "Senders",
		meta = (DisplayName = "Accepted Senders",
			ToolTip = "IPv4 addresses and ranges, e.g. 192.168.10.5, 10.0.0.0/24; others are counted and dropped. Empty: anyone"))
	FString AcceptedSenders;

	UPROPERTY(VisibleAnywhere, Transient, Category = "Senders",
		meta = (DisplayName = "Accepted Senders Error",
			ToolTip = "Why the latest Accepted Senders text was refused (the list before it stays in force); empty when it was taken"))
	FString AcceptedSendersError;

	/** Not saved with the source: a capture starts only when someone asks for one. */
	UPROPERTY(EditAnywhere, Transient, Category = "Capture",
		meta = (DisplayName = "Capture Raw Datagrams",
			ToolTip = "Writes every datagram received, with its arrival time and sender, to a pcap file under Saved/TavrixCaptures"))
	bool bCaptureRawDatagrams = false;

	UPROPERTY(VisibleAnywhere, Transient, Category = "Capture",
		meta = (DisplayName = "Capture File", ToolTip = "The file of the current or latest capture"))
	FString CaptureFile;

	UPROPERTY(VisibleAnywhere, Transient, Category = "Capture",
		meta = (DisplayName = "Datagrams Captured", ToolTip = "Datagrams of the current or latest capture written to its file"))
	int32 DatagramsCaptured = 0;

	UPROPERTY(VisibleAnywhere, Transient, Category = "Capture",
		meta = (DisplayName = "Datagrams Dropped from Capture",
			ToolTip = "Datagrams received while capturing that are not in the file (the writer fell behind, or the writing failed); all of "
					  "them were decoded"))
	int32 DatagramsDroppedFromCapture = 0;

	UPROPERTY(VisibleAnywhere, Transient, Category = "Capture",
		meta = (DisplayName = "Capture Error",
			ToolTip = "Why the latest capture could not start or ended early; empty when it did not fail"))
	FString CaptureError;
};
