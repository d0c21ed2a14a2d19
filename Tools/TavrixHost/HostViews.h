#pragma once

#include "CoreMinimal.h"
#include "Roles/LiveLinkCameraTypes.h"

#include <cstdint>
#include <cstdio>
#include <deque>
#include <memory>
#include <string>
#include <vector>

/** What the Live Link panel shows of the source. */
struct FHostSourceState
{
	std::string Type;
	std::string Machine;
	std::string Status;
	std::string Connection;
	bool bValid = false;

	bool operator==(const FHostSourceState& Other) const = default;
};

/** One property of the source's settings object, as the details panel shows it. */
struct FHostSourceDetail
{
	std::string Category;
	/** The property's name ("DatagramsReceived"). */
	std::string Name;
	/** Its label in the panel: the DisplayName it declares, else its name. */
	std::string DisplayName;
	/** The value as the panel shows it. */
	std::string Text;
	/** The value as JSON: a number, true/false, a string, or null for a number JSON cannot hold. */
	std::string Json;
};

/** What the host knows of one source at the end of a tick. */
struct FHostSourceStatus
{
	FHostSourceState Source;
	/** The source's settings, read at the end of the tick: what the details panel shows under the source. */
	std::vector<FHostSourceDetail> Details;
	/** The subject the source publishes: the latest name it pushed data under. */
	std::string Subject;
	bool bHasStaticData = false;
	bool bHasFrame = false;
	FLiveLinkCameraFrameData LastFrame;
	/** What a camera reads of the subject this tick: the tick's snapshot, when it is valid. */
	bool bHasEvaluated = false;
	FLiveLinkCameraFrameData Evaluated;
	double UpdatesPerSecond = 0.0;
	double PublishedPerSecond = 0.0;
};

/** Everything the host knows at the end of a tick; the live view draws it. */
struct FHostStatus
{
	/** The sources in the order they were added, as the Live Link panel lists them. */
	std::vector<FHostSourceStatus> Sources;
	uint64_t Tick = 0;
	double TickHz = 0.0;
	bool bTakeRecorderOpen = false;
	std::string Slate;
	int32 TakeNumber = 0;
	bool bRecording = false;
	/** Take Recorder counts down to a take that has not started yet. */
	bool bCountingDown = false;
	std::string TakeFile;
	int64_t TakeFrames = 0;
	std::deque<std::string> RecentLog;
	bool bDemo = false;
	double ElapsedSeconds = 0.0;
	/** The client's shared frame queue, as of the last tick. */
	uint64_t QueuedFramesTaken = 0;
	uint64_t MostQueuedFramesInOneTick = 0;
	uint64_t QueuedFramesDropped = 0;
};

/** Receives what happens in the host, on the game thread, in order. */
class IHostView
{
public:
	virtual ~IHostView() = default;
	virtual void OnSource(const FHostSourceState& State) { (void)State; }
	/** Source is the connection string of the source that pushed the data. */
	virtual void OnStaticData(const std::string& Source, const std::string& Subject, const FLiveLinkCameraStaticData& StaticData)
	{
		(void)Source;
		(void)Subject;
		(void)StaticData;
	}
	virtual void OnFrame(const std::string& Source, const std::string& Subject, uint64_t Tick, const FLiveLinkCameraFrameData& Frame)
	{
		(void)Source;
		(void)Subject;
		(void)Tick;
		(void)Frame;
	}
	/** The subject as a camera reads it in tick Tick (numbered as OnFrame's), only when its snapshot is valid. */
	virtual void OnEvaluated(const std::string& Source, const std::string& Subject, uint64_t Tick, const FLiveLinkCameraFrameData& Frame)
	{
		(void)Source;
		(void)Subject;
		(void)Tick;
		(void)Frame;
	}
	virtual void OnSlate(const std::string& Slate, int32 TakeNumber)
	{
		(void)Slate;
		(void)TakeNumber;
	}
	virtual void OnRecording(bool bRecording, const std::string& TakeFile, int64_t Frames)
	{
		(void)bRecording;
		(void)TakeFile;
		(void)Frames;
	}
	virtual void OnLog(const std::string& Category, const std::string& Verbosity, const std::string& Text)
	{
		(void)Category;
		(void)Verbosity;
		(void)Text;
	}
	/** A note of the host's own, for people (the JSON lines view leaves it out). */
	virtual void OnNote(const std::string& Text) { (void)Text; }
	virtual void OnTickEnd(const FHostStatus& Status) { (void)Status; }
	virtual void OnShutdown(const FHostStatus& Status) { (void)Status; }
};

/** One JSON object per line on standard output, flushed per line. */
std::unique_ptr<IHostView> MakeJsonLinesView(std::FILE* Output);
/** The Live Link panel on a terminal, redrawn in place a few times a second. */
std::unique_ptr<IHostView> MakeLiveView(std::FILE* Output);
/** Notes and a status line every second, for logs and pipes. */
std::unique_ptr<IHostView> MakePlainView(std::FILE* Output);

/** HH:MM:SS:FF of a frame count at a rate, with the frames of a second rounded to whole frames. */
std::string FormatTimecode(int32 Frame, const FFrameRate& Rate);
