// The paced send loop: payloads at a fixed rate on an absolute schedule, until a bound, the end of the payloads, a
// lasting send error or a stop request.
#pragma once

#include "TavrixSyntheticCamera.h"
#include "TavrixUdpSocket.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

namespace TavrixSend
{
using FTavrixTimePoint = std::chrono::steady_clock::time_point;

/** A one-way stop request that any thread may raise and that wakes a waiting loop at once. */
class FTavrixStopSignal
{
public:
	void RequestStop();
	bool IsStopRequested() const;
	/** Blocks until InDeadline or a stop request, whichever comes first; true when stopped. */
	bool WaitUntil(FTavrixTimePoint InDeadline);

private:
	mutable std::mutex Mutex;
	std::condition_variable Condition;
	bool bStopRequested = false;
};

/** The time source of the send loop, replaceable so that schedules can be checked without waiting. */
class ITavrixClock
{
public:
	virtual ~ITavrixClock() = default;
	virtual FTavrixTimePoint Now() = 0;
	/** Returns at InDeadline or later, or earlier on a stop request; false when a stop was requested. */
	virtual bool SleepUntil(FTavrixTimePoint InDeadline, FTavrixStopSignal& InStop) = 0;
};

/** The monotonic system clock. */
class FTavrixSteadyClock final : public ITavrixClock
{
public:
	//~ Begin ITavrixClock interface
	FTavrixTimePoint Now() override;
	bool SleepUntil(FTavrixTimePoint InDeadline, FTavrixStopSignal& InStop) override;
	//~ End ITavrixClock interface
};

/** What the loop sends. Called from the loop's thread only. */
class ITavrixPayloadSource
{
public:
	virtual ~ITavrixPayloadSource() = default;
	/** The payload of the send scheduled InElapsed after the start; false when there is nothing more to send. */
	virtual bool NextPayload(FTavrixDuration InElapsed, std::string& OutPayload) = 0;
};

/**
 * The made-up camera, one message per scheduled send, never exhausted. When the script depends on the time of day,
 * the clock is read once per message, as it is built, so that its timecode and its pose come from the same reading.
 */
class FTavrixCameraPayloads final : public ITavrixPayloadSource
{
public:
	/** InTimeOfDay: the clock the clock's timecode and the ramp follow; empty for the system's local time of day. */
	explicit FTavrixCameraPayloads(FTavrixCameraScript InScript, FTavrixTimeOfDaySource InTimeOfDay = {});

	//~ Begin ITavrixPayloadSource interface
	bool NextPayload(FTavrixDuration InElapsed, std::string& OutPayload) override;
	//~ End ITavrixPayloadSource interface

	/** The message of the last payload handed out. */
	const FTavrixCameraMessage& GetLastMessage() const { return LastMessage; }
	/** The time of day read for the last payload; zero when the script does not read the clock. */
	FTavrixDuration GetLastTimeOfDay() const { return LastTimeOfDay; }

private:
	FTavrixCameraScript Script;
	FTavrixTimeOfDaySource TimeOfDay;
	FTavrixCameraMessage LastMessage;
	FTavrixDuration LastTimeOfDay{};
};

/**
 * The lines of a text, once through, each sent verbatim. A line ends at a line feed, which is not sent; a carriage
 * return before it is kept (to the receiver it is white space after the JSON text, and keeping it lets a file carry
 * any byte). An empty line is an empty datagram. A final line feed does not start another line.
 */
class FTavrixReplayPayloads final : public ITavrixPayloadSource
{
public:
	explicit FTavrixReplayPayloads(std::string_view InText);
	/** Reads InPath whole; null with OutError describing why when it cannot be read. */
	static std::unique_ptr<FTavrixReplayPayloads> Load(const std::string& InPath, std::string& OutError);

	//~ Begin ITavrixPayloadSource interface
	bool NextPayload(FTavrixDuration InElapsed, std::string& OutPayload) override;
	//~ End ITavrixPayloadSource interface

	const std::vector<std::string>& GetLines() const { return Lines; }

private:
	std::vector<std::string> Lines;
	size_t NextLine = 0;
};

struct FTavrixPacing
{
	/** Sends per second; positive. */
	double RateHz = 25.0;
	/** At most this many sends (failed ones included); 0 for no limit. */
	uint64_t MaxSends = 0;
	/** Sends are scheduled only before this much time has passed, and the run lasts that long. */
	std::optional<FTavrixDuration> MaxDuration;
	/** A send error that has lasted this long without a successful send in between ends the run. */
	FTavrixDuration FailureLimit = std::chrono::seconds(1);
};

struct FTavrixSendReport
{
	uint64_t Sent = 0;
	uint64_t Failed = 0;
	/** From the start of the run to its end, as measured by the loop's clock. */
	FTavrixDuration Elapsed{};
	bool bStopRequested = false;
	/** Set when the run ended on an unresolved send error: it lasted FailureLimit, or the last send failed. */
	std::error_code PersistentError;
};

/**
 * Counts each send's result into a report, for the send loops of the synthetic camera and of the replay: a run of
 * failures without a successful send in between ends the loop once it has lasted the failure limit, and a run that
 * ends failing keeps its last error as the persistent one.
 */
class FTavrixSendTally
{
public:
	FTavrixSendTally(FTavrixSendReport& InReport, FTavrixDuration InFailureLimit)
		: Report(InReport)
		, FailureLimit(InFailureLimit)
	{
	}

	/** Counts one send that ended at InNow; false when sending has kept failing for the failure limit. */
	bool Count(std::error_code InError, FTavrixTimePoint InNow)
	{
		if (!InError)
		{
			++Report.Sent;
			bFailing = false;
			return true;
		}
		++Report.Failed;
		LastError = InError;
		if (!bFailing)
		{
			bFailing = true;
			FailingSince = InNow;
		}
		return InNow - FailingSince < FailureLimit;
	}

	/** At the end of the run: the last error becomes the persistent one when the run ended failing. */
	void Finish()
	{
		if (bFailing)
		{
			Report.PersistentError = LastError;
		}
	}

private:
	FTavrixSendReport& Report;
	FTavrixDuration FailureLimit;
	bool bFailing = false;
	FTavrixTimePoint FailingSince{};
	std::error_code LastError;
};

/**
 * Send k is due at start + k / rate, computed from k rather than accumulated, so that the schedule never drifts
 * however late each wake-up is. A loop that falls more than one period behind (a stalled machine) does not burst to
 * catch up: it resumes with the latest send that is due and skips the ones in between, keeping the schedule's phase.
 * The camera's values are those of each send's scheduled time, so they advance smoothly whatever the wake-up jitter.
 */
class FTavrixSender
{
public:
	/** The source, sink and clock must outlive the sender. */
	FTavrixSender(ITavrixPayloadSource& InSource, ITavrixDatagramSink& InSink, const FTavrixPacing& InPacing, ITavrixClock& InClock);

	/** Runs on the calling thread until done. A stop request ends the run at the next wait, without sending. */
	FTavrixSendReport Run(FTavrixStopSignal& InStop);

private:
	FTavrixDuration ScheduledOffset(uint64_t InSend) const;
	/** The latest send due InElapsed after the start. */
	uint64_t LatestDueSend(FTavrixDuration InElapsed) const;

	ITavrixPayloadSource& Source;
	ITavrixDatagramSink& Sink;
	FTavrixPacing Pacing;
	ITavrixClock& Clock;
};

/**
 * Holds each datagram for a random time, uniform from zero to the maximum, before passing it on: the datagrams keep
 * the timecode and pose of the moment they were built, but arrive scattered by up to half the maximum either side of
 * their mean delay, as through a busy network. Nothing is reordered; a delay longer than the send period makes the
 * loop fall behind, and it then skips sends as after any stall. A stop request during the hold sends at once.
 */
class FTavrixJitterSink final : public ITavrixDatagramSink
{
public:
	/** The inner sink, clock and stop signal must outlive this one. */
	FTavrixJitterSink(
		ITavrixDatagramSink& InInner, FTavrixDuration InMaxDelay, ITavrixClock& InClock, FTavrixStopSignal& InStop, uint64_t InSeed);

	//~ Begin ITavrixDatagramSink interface
	std::error_code Send(std::string_view InPayload) override;
	//~ End ITavrixDatagramSink interface

private:
	ITavrixDatagramSink& Inner;
	FTavrixDuration MaxDelay;
	ITavrixClock& Clock;
	FTavrixStopSignal& Stop;
	std::mt19937_64 Random;
};

/**
 * Writes one text line per datagram of the made-up camera, so that a script can tell when each pose left: its
 * timecode frame, the time of day the camera read for it (seconds since midnight), and the monotonic clock's reading
 * in seconds just after it was built and just after the inner sink returned (after any jitter hold). Send results
 * pass through; a failed send is logged too, with a last column of 0 for failed (1 for sent).
 */
class FTavrixSendLog final : public ITavrixDatagramSink
{
public:
	/** Everything must outlive the log; the file stays the caller's to close. */
	FTavrixSendLog(ITavrixDatagramSink& InInner, const FTavrixCameraPayloads& InPayloads, ITavrixClock& InClock, std::FILE* InFile);

	//~ Begin ITavrixDatagramSink interface
	std::error_code Send(std::string_view InPayload) override;
	//~ End ITavrixDatagramSink interface

	/** The first line of every log, naming the columns. */
	static constexpr const char* Header = "# frame time_of_day_s built_monotonic_s sent_monotonic_s sent\n";

private:
	ITavrixDatagramSink& Inner;
	const FTavrixCameraPayloads& Payloads;
	ITavrixClock& Clock;
	std::FILE* File;
};

/** A send loop on a thread of its own, owning its source and sink, for embedding the sender in another program. */
class FTavrixSendThread
{
public:
	FTavrixSendThread(
		std::unique_ptr<ITavrixPayloadSource> InSource, std::unique_ptr<ITavrixDatagramSink> InSink, const FTavrixPacing& InPacing);
	/** Asks the loop to stop and waits for it. */
	~FTavrixSendThread();
	FTavrixSendThread(const FTavrixSendThread&) = delete;
	FTavrixSendThread& operator=(const FTavrixSendThread&) = delete;

	/** Asks the loop to stop and returns at once; safe from any thread and more than once. */
	void RequestStop() { Stop.RequestStop(); }
	/** Waits for the loop to end, on its own or after RequestStop, and returns its report. One thread only. */
	FTavrixSendReport Join();

private:
	void RunLoop(FTavrixPacing InPacing);

	std::unique_ptr<ITavrixPayloadSource> Source;
	std::unique_ptr<ITavrixDatagramSink> Sink;
	FTavrixSteadyClock Clock;
	FTavrixStopSignal Stop;
	FTavrixSendReport Report;
	std::thread Thread;
};
} // namespace TavrixSend
