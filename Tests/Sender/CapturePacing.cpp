#include "CaptureTestSupport.h"
#include "SenderTestSupport.h"
#include "TavrixCaptureReplayer.h"

#include <gtest/gtest.h>

#include <functional>
#include <thread>

using namespace TavrixSend;
using namespace std::chrono_literals;

namespace
{
/** Time that moves only when the replay waits; wake-up n for a deadline still ahead comes Lateness(n) after it. */
class FManualReplayClock final : public ITavrixClock
{
public:
	std::function<FTavrixDuration(size_t)> Lateness = [](size_t) { return FTavrixDuration(0); };
	FTavrixTimePoint Current{std::chrono::hours(1)};
	const FTavrixTimePoint Start = Current;
	std::vector<FTavrixDuration> Deadlines;

	FTavrixTimePoint Now() override { return Current; }

	bool SleepUntil(FTavrixTimePoint InDeadline, FTavrixStopSignal& InStop) override
	{
		if (InStop.IsStopRequested())
		{
			return false;
		}
		Deadlines.push_back(InDeadline - Start);
		const FTavrixDuration Late = Lateness(Deadlines.size() - 1);
		Current = InDeadline >= Current ? InDeadline + Late : Current;
		return true;
	}
};

/** Records what was sent and when, by the manual clock; fails the sends Fails(n) picks. */
class FRecordingSink final : public ITavrixDatagramSink
{
public:
	explicit FRecordingSink(FManualReplayClock& InClock)
		: Clock(InClock)
	{
	}

	std::function<bool(size_t)> Fails = [](size_t) { return false; };
	std::vector<std::string> Payloads;
	std::vector<FTavrixDuration> SentAt;

	std::error_code Send(std::string_view InPayload) override
	{
		if (Fails(Attempts++))
		{
			return std::make_error_code(std::errc::network_unreachable);
		}
		Payloads.emplace_back(InPayload);
		SentAt.push_back(Clock.Current - Clock.Start);
		return {};
	}

private:
	FManualReplayClock& Clock;
	size_t Attempts = 0;
};

/** Datagrams named "0", "1", ... captured at the given times after the capture's start. */
std::vector<FTavrixCapturedDatagram> Captured(std::initializer_list<std::chrono::microseconds> InTimes)
{
	std::vector<FTavrixCapturedDatagram> Datagrams;
	for (const std::chrono::microseconds Time : InTimes)
	{
		Datagrams.push_back(FTavrixCapturedDatagram{CaptureTest::CaptureTime(Time), std::to_string(Datagrams.size())});
	}
	return Datagrams;
}

FTavrixCapturePacing ReplayPacing(double InSpeed, bool bInLoop = false, uint64_t InMaxSends = 0)
{
	FTavrixCapturePacing Result;
	Result.Speed = InSpeed;
	Result.bLoop = bInLoop;
	Result.MaxSends = InMaxSends;
	return Result;
}

using FOffsets = std::vector<FTavrixDuration>;
} // namespace

TEST(CapturePacing, SendsInFileOrderAtTheCapturedOffsets)
{
	const std::vector<FTavrixCapturedDatagram> Datagrams = Captured({0us, 10us, 250'000us, 250'001us, 300'000us});
	FManualReplayClock Clock;
	FRecordingSink Sink(Clock);
	FTavrixStopSignal Stop;
	const FTavrixCaptureReplayReport Report = FTavrixCaptureReplayer(Datagrams, Sink, ReplayPacing(1.0), Clock).Run(Stop);

	EXPECT_EQ(Sink.Payloads, (std::vector<std::string>{"0", "1", "2", "3", "4"}));
	EXPECT_EQ(Sink.SentAt, (FOffsets{0us, 10us, 250'000us, 250'001us, 300'000us}));
	EXPECT_EQ(Report.Sent, 5u);
	EXPECT_EQ(Report.Passes, 1u);
	EXPECT_EQ(Report.Elapsed, 300ms);
	EXPECT_FALSE(Report.bStopRequested);
}

TEST(CapturePacing, SpeedDividesEveryOffset)
{
	const std::vector<FTavrixCapturedDatagram> Datagrams = Captured({0us, 100'000us, 300'000us});
	for (const auto& [Speed, Expected] : {std::pair{2.0, FOffsets{0ms, 50ms, 150ms}}, std::pair{0.5, FOffsets{0ms, 200ms, 600ms}},
			 std::pair{3.0, FOffsets{0ms, 33'333'333ns, 100ms}}})
	{
		FManualReplayClock Clock;
		FRecordingSink Sink(Clock);
		FTavrixStopSignal Stop;
		FTavrixCaptureReplayer(Datagrams, Sink, ReplayPacing(Speed), Clock).Run(Stop);
		EXPECT_EQ(Sink.SentAt, Expected) << "speed " << Speed;
	}
}

TEST(CapturePacing, LateWakeupsDoNotShiftLaterDatagrams)
{
	const std::vector<FTavrixCapturedDatagram> Datagrams = Captured({0us, 40'000us, 80'000us, 120'000us, 160'000us, 200'000us});
	FManualReplayClock Clock;
	Clock.Lateness = [](size_t InWakeup) { return InWakeup == 1 ? FTavrixDuration(90ms) : FTavrixDuration(3ms); };
	FRecordingSink Sink(Clock);
	FTavrixStopSignal Stop;
	FTavrixCaptureReplayer(Datagrams, Sink, ReplayPacing(1.0), Clock).Run(Stop);

	// Every wait aims at the captured offset, however late the previous wake-up was.
	EXPECT_EQ(Clock.Deadlines, (FOffsets{0ms, 40ms, 80ms, 120ms, 160ms, 200ms}));
	// The second datagram goes 90 ms late, the two whose times passed meanwhile follow at once; none is dropped.
	EXPECT_EQ(Sink.SentAt, (FOffsets{3ms, 130ms, 130ms, 130ms, 163ms, 203ms}));
	EXPECT_EQ(Sink.Payloads.size(), Datagrams.size());
}

TEST(CapturePacing, DatagramStampedBeforeTheFirstGoesAtOnce)
{
	// Merged captures and several interfaces can put packets out of time order; the file's order is kept.
	const std::vector<FTavrixCapturedDatagram> Datagrams = Captured({500'000us, 100'000us, 600'000us});
	FManualReplayClock Clock;
	FRecordingSink Sink(Clock);
	FTavrixStopSignal Stop;
	FTavrixCaptureReplayer(Datagrams, Sink, ReplayPacing(1.0), Clock).Run(Stop);

	EXPECT_EQ(Sink.Payloads, (std::vector<std::string>{"0", "1", "2"}));
	EXPECT_EQ(Sink.SentAt, (FOffsets{0ms, 0ms, 100ms}));
}

TEST(CapturePacing, LoopRunsOnWithoutPauseOrJump)
{
	// A 25 Hz stream: one pass is the span plus one mean gap, so the 40 ms cadence carries across the seam.
	const std::vector<FTavrixCapturedDatagram> Datagrams = Captured({0us, 40'000us, 80'000us});
	FManualReplayClock Clock;
	FRecordingSink Sink(Clock);
	FTavrixStopSignal Stop;
	FTavrixCaptureReplayer Replayer(Datagrams, Sink, ReplayPacing(1.0, true, 8), Clock);
	EXPECT_EQ(Replayer.GetPassSpan(), 120ms);
	const FTavrixCaptureReplayReport Report = Replayer.Run(Stop);

	EXPECT_EQ(Sink.Payloads, (std::vector<std::string>{"0", "1", "2", "0", "1", "2", "0", "1"}));
	EXPECT_EQ(Sink.SentAt, (FOffsets{0ms, 40ms, 80ms, 120ms, 160ms, 200ms, 240ms, 280ms}));
	EXPECT_EQ(Report.Passes, 3u);
}

TEST(CapturePacing, LoopOfAnUnevenCaptureKeepsItsShapeAtSpeed)
{
	const std::vector<FTavrixCapturedDatagram> Datagrams = Captured({0us, 10'000us, 300'000us});
	FManualReplayClock Clock;
	FRecordingSink Sink(Clock);
	FTavrixStopSignal Stop;
	FTavrixCaptureReplayer(Datagrams, Sink, ReplayPacing(2.0, true, 6), Clock).Run(Stop);

	// Pass span 300 + 150 ms of capture time, halved.
	EXPECT_EQ(Sink.SentAt, (FOffsets{0ms, 5ms, 150ms, 225ms, 230ms, 375ms}));
}

TEST(CapturePacing, LoopOfACaptureWithoutSpanRepeatsEverySecond)
{
	const std::vector<FTavrixCapturedDatagram> Datagrams = Captured({7us});
	FManualReplayClock Clock;
	FRecordingSink Sink(Clock);
	FTavrixStopSignal Stop;
	FTavrixCaptureReplayer(Datagrams, Sink, ReplayPacing(4.0, true, 3), Clock).Run(Stop);
	EXPECT_EQ(Sink.SentAt, (FOffsets{0ms, 250ms, 500ms}));
}

TEST(CapturePacing, WithoutLoopOnePassEndsTheRun)
{
	const std::vector<FTavrixCapturedDatagram> Datagrams = Captured({0us, 40'000us});
	FManualReplayClock Clock;
	FRecordingSink Sink(Clock);
	FTavrixStopSignal Stop;
	const FTavrixCaptureReplayReport Report = FTavrixCaptureReplayer(Datagrams, Sink, ReplayPacing(1.0, false, 10), Clock).Run(Stop);
	EXPECT_EQ(Sink.Payloads.size(), 2u);
	EXPECT_EQ(Report.Passes, 1u);
}

TEST(CapturePacing, DurationBoundsALoopAndTheRun)
{
	const std::vector<FTavrixCapturedDatagram> Datagrams = Captured({0us, 40'000us, 80'000us});
	FManualReplayClock Clock;
	FRecordingSink Sink(Clock);
	FTavrixStopSignal Stop;
	FTavrixCapturePacing Bounded = ReplayPacing(1.0, true);
	Bounded.MaxDuration = 300ms;
	const FTavrixCaptureReplayReport Report = FTavrixCaptureReplayer(Datagrams, Sink, Bounded, Clock).Run(Stop);

	EXPECT_EQ(Sink.SentAt.size(), 8u);
	EXPECT_EQ(Sink.SentAt.back(), 280ms);
	EXPECT_EQ(Report.Elapsed, 300ms);
	EXPECT_FALSE(Report.bStopRequested);
}

TEST(CapturePacing, BriefSendErrorsAreCountedAndLastingOnesEndTheRun)
{
	const std::vector<FTavrixCapturedDatagram> Datagrams = Captured({0us, 100'000us, 200'000us, 300'000us});
	{
		FManualReplayClock Clock;
		FRecordingSink Sink(Clock);
		Sink.Fails = [](size_t InAttempt) { return InAttempt == 1; };
		FTavrixStopSignal Stop;
		const FTavrixCaptureReplayReport Report = FTavrixCaptureReplayer(Datagrams, Sink, ReplayPacing(1.0), Clock).Run(Stop);
		EXPECT_EQ(Report.Sent, 3u);
		EXPECT_EQ(Report.Failed, 1u);
		EXPECT_FALSE(Report.PersistentError);
	}
	{
		FManualReplayClock Clock;
		FRecordingSink Sink(Clock);
		Sink.Fails = [](size_t InAttempt) { return InAttempt >= 1; };
		FTavrixStopSignal Stop;
		// Failing from 0.1 s on, a looping replay gives up on the send at 1.1 s.
		const FTavrixCaptureReplayReport Report = FTavrixCaptureReplayer(Datagrams, Sink, ReplayPacing(1.0, true), Clock).Run(Stop);
		EXPECT_EQ(Report.Sent, 1u);
		EXPECT_EQ(Report.Failed, 11u);
		EXPECT_EQ(Report.PersistentError, std::errc::network_unreachable);
	}
}

TEST(CapturePacing, StopFromAnotherThreadEndsALongWaitPromptly)
{
	FLoopbackReceiver Receiver;
	ASSERT_TRUE(Receiver.IsBound());
	std::error_code Error;
	const std::unique_ptr<FTavrixUdpSocket> Socket = FTavrixUdpSocket::Open(Receiver.GetEndpoint(), Error);
	ASSERT_TRUE(Socket) << Error.message();

	// The second datagram is due 100 s later: only the stop request can end that wait.
	const std::vector<FTavrixCapturedDatagram> Datagrams = Captured({0us, 100'000'000us});
	FTavrixSteadyClock Clock;
	FTavrixStopSignal Stop;
	FTavrixCaptureReplayReport Report;
	std::thread Replay([&] { Report = FTavrixCaptureReplayer(Datagrams, *Socket, ReplayPacing(1.0), Clock).Run(Stop); });
	const std::optional<std::string> First = Receiver.Receive(10s);
	const auto StopTime = std::chrono::steady_clock::now();
	Stop.RequestStop();
	Replay.join();

	EXPECT_EQ(First, "0");
	EXPECT_LT(std::chrono::steady_clock::now() - StopTime, 5s);
	EXPECT_TRUE(Report.bStopRequested);
	EXPECT_EQ(Report.Sent, 1u);
}
