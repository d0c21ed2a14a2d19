#include "SenderTestSupport.h"
#include "TavrixSender.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <functional>
#include <tuple>
#include <limits>

using namespace TavrixSend;
using namespace std::chrono_literals;

namespace
{
/** Time that moves only when the loop waits: every wake-up comes InLateness(n) after its deadline. */
class FManualClock final : public ITavrixClock
{
public:
	std::function<FTavrixDuration(size_t)> Lateness = [](size_t) { return FTavrixDuration(0); };
	FTavrixTimePoint Current{std::chrono::hours(1)};
	size_t Wakeups = 0;

	FTavrixTimePoint Now() override { return Current; }

	bool SleepUntil(FTavrixTimePoint InDeadline, FTavrixStopSignal& InStop) override
	{
		if (InStop.IsStopRequested())
		{
			return false;
		}
		Current = std::max(Current, InDeadline) + Lateness(Wakeups++);
		return true;
	}
};

/** Records the scheduled time of every payload it hands out; runs out after Limit payloads when set. */
class FScheduleRecorder final : public ITavrixPayloadSource
{
public:
	std::vector<FTavrixDuration> Scheduled;
	size_t Limit = std::numeric_limits<size_t>::max();

	bool NextPayload(FTavrixDuration InElapsed, std::string& OutPayload) override
	{
		if (Scheduled.size() >= Limit)
		{
			return false;
		}
		Scheduled.push_back(InElapsed);
		OutPayload = std::to_string(Scheduled.size());
		return true;
	}
};

/** Accepts or refuses each send as Fails(n) decides. */
class FScriptedSink final : public ITavrixDatagramSink
{
public:
	std::function<bool(size_t)> Fails = [](size_t) { return false; };
	std::vector<std::string> Delivered;
	size_t Attempts = 0;

	std::error_code Send(std::string_view InPayload) override
	{
		if (Fails(Attempts++))
		{
			return std::make_error_code(std::errc::network_unreachable);
		}
		Delivered.emplace_back(InPayload);
		return {};
	}
};

FTavrixPacing Pacing(double InRate, uint64_t InMaxSends = 0, std::optional<FTavrixDuration> InMaxDuration = {})
{
	FTavrixPacing Result;
	Result.RateHz = InRate;
	Result.MaxSends = InMaxSends;
	Result.MaxDuration = InMaxDuration;
	return Result;
}
} // namespace

TEST(SendPacing, LateWakeupsDoNotShiftTheSchedule)
{
	FManualClock Clock;
	Clock.Lateness = [](size_t InWakeup) { return FTavrixDuration(std::chrono::milliseconds(InWakeup * 7 % 39)); };
	FScheduleRecorder Source;
	FScriptedSink Sink;
	FTavrixStopSignal Stop;
	const FTavrixSendReport Report = FTavrixSender(Source, Sink, Pacing(25.0, 200), Clock).Run(Stop);

	EXPECT_EQ(Report.Sent, 200u);
	ASSERT_EQ(Source.Scheduled.size(), 200u);
	for (size_t Index = 0; Index < Source.Scheduled.size(); ++Index)
	{
		ASSERT_EQ(Source.Scheduled[Index], 40ms * Index) << "send " << Index;
	}
}

TEST(SendPacing, ScheduleOfAnUnevenPeriodStaysExact)
{
	FManualClock Clock;
	FScheduleRecorder Source;
	FScriptedSink Sink;
	FTavrixStopSignal Stop;
	FTavrixSender(Source, Sink, Pacing(30000.0 / 1001.0, 30001), Clock).Run(Stop);

	ASSERT_EQ(Source.Scheduled.size(), 30001u);
	// Send 30000 is due at exactly 1001 s: summed periods would have drifted off by now.
	EXPECT_EQ(Source.Scheduled.back(), 1001s);
}

TEST(SendPacing, StallSkipsMissedSendsInsteadOfBursting)
{
	FManualClock Clock;
	Clock.Lateness = [](size_t InWakeup) { return InWakeup == 5 ? FTavrixDuration(1s) : FTavrixDuration(0); };
	FScheduleRecorder Source;
	FScriptedSink Sink;
	FTavrixStopSignal Stop;
	FTavrixSender(Source, Sink, Pacing(10.0, 0, 3s), Clock).Run(Stop);

	// Sends 0-5 on time; the sixth wake-up comes 1 s late, at 1.5 s: resume with the send due then.
	ASSERT_GE(Source.Scheduled.size(), 8u);
	EXPECT_EQ(Source.Scheduled[5], 500ms);
	EXPECT_EQ(Source.Scheduled[6], 1500ms);
	EXPECT_EQ(Source.Scheduled[7], 1600ms);
	EXPECT_EQ(Source.Scheduled.size(), 30u - 9u);
}

TEST(SendPacing, DurationBoundsTheSendsAndTheRun)
{
	FManualClock Clock;
	const FTavrixTimePoint Start = Clock.Current;
	FScheduleRecorder Source;
	FScriptedSink Sink;
	FTavrixStopSignal Stop;
	const FTavrixSendReport Report = FTavrixSender(Source, Sink, Pacing(10.0, 0, 1s), Clock).Run(Stop);

	EXPECT_EQ(Report.Sent, 10u);
	EXPECT_EQ(Source.Scheduled.back(), 900ms);
	EXPECT_EQ(Report.Elapsed, 1s);
	EXPECT_EQ(Clock.Current - Start, 1s);
	EXPECT_FALSE(Report.bStopRequested);
}

TEST(SendPacing, RunEndsWhenPayloadsRunOut)
{
	FManualClock Clock;
	FScheduleRecorder Source;
	Source.Limit = 3;
	FScriptedSink Sink;
	FTavrixStopSignal Stop;
	const FTavrixSendReport Report = FTavrixSender(Source, Sink, Pacing(10.0), Clock).Run(Stop);

	EXPECT_EQ(Report.Sent, 3u);
	EXPECT_EQ(Sink.Delivered, (std::vector<std::string>{"1", "2", "3"}));
	EXPECT_FALSE(Report.PersistentError);
}

TEST(SendPacing, BriefSendErrorsAreCountedAndForgiven)
{
	FManualClock Clock;
	FScheduleRecorder Source;
	FScriptedSink Sink;
	Sink.Fails = [](size_t InAttempt) { return InAttempt == 2 || InAttempt == 3; };
	FTavrixStopSignal Stop;
	const FTavrixSendReport Report = FTavrixSender(Source, Sink, Pacing(10.0, 10), Clock).Run(Stop);

	EXPECT_EQ(Report.Sent, 8u);
	EXPECT_EQ(Report.Failed, 2u);
	EXPECT_FALSE(Report.PersistentError);
}

TEST(SendPacing, LastingSendErrorEndsTheRun)
{
	FManualClock Clock;
	FScheduleRecorder Source;
	FScriptedSink Sink;
	Sink.Fails = [](size_t InAttempt) { return InAttempt >= 3; };
	FTavrixStopSignal Stop;
	const FTavrixSendReport Report = FTavrixSender(Source, Sink, Pacing(10.0), Clock).Run(Stop);

	EXPECT_EQ(Report.Sent, 3u);
	// Failing from 0.3 s on, the run gives up on the send at 1.3 s.
	EXPECT_EQ(Report.Failed, 11u);
	EXPECT_EQ(Report.PersistentError, std::errc::network_unreachable);
}

TEST(SendPacing, ErrorOnTheLastSendFailsTheRun)
{
	FManualClock Clock;
	FScheduleRecorder Source;
	FScriptedSink Sink;
	Sink.Fails = [](size_t InAttempt) { return InAttempt == 4; };
	FTavrixStopSignal Stop;
	const FTavrixSendReport Report = FTavrixSender(Source, Sink, Pacing(10.0, 5), Clock).Run(Stop);

	EXPECT_EQ(Report.Sent, 4u);
	EXPECT_TRUE(Report.PersistentError);
}

TEST(SendPacing, StopFromAnotherThreadEndsALongWaitPromptly)
{
	FLoopbackReceiver Receiver;
	ASSERT_TRUE(Receiver.IsBound());
	std::error_code Error;
	std::unique_ptr<FTavrixUdpSocket> Socket = FTavrixUdpSocket::Open(Receiver.GetEndpoint(), Error);
	ASSERT_TRUE(Socket) << Error.message();

	// One send every 100 s: only the stop request can end the wait after the first.
	FTavrixSendThread Thread(std::make_unique<FTavrixCameraPayloads>(FTavrixCameraScript{}), std::move(Socket), Pacing(0.01));
	ASSERT_TRUE(Receiver.Receive(10s).has_value());
	const auto StopTime = std::chrono::steady_clock::now();
	Thread.RequestStop();
	const FTavrixSendReport Report = Thread.Join();

	EXPECT_LT(std::chrono::steady_clock::now() - StopTime, 5s);
	EXPECT_TRUE(Report.bStopRequested);
	EXPECT_EQ(Report.Sent, 1u);
}

TEST(SendPacing, RealClockSendsAtTheRequestedRate)
{
	FLoopbackReceiver Receiver;
	ASSERT_TRUE(Receiver.IsBound());
	std::error_code Error;
	std::unique_ptr<FTavrixUdpSocket> Socket = FTavrixUdpSocket::Open(Receiver.GetEndpoint(), Error);
	ASSERT_TRUE(Socket) << Error.message();

	FTavrixCameraPayloads Source{FTavrixCameraScript{}};
	FTavrixSteadyClock Clock;
	FTavrixStopSignal Stop;
	const FTavrixSendReport Report = FTavrixSender(Source, *Socket, Pacing(50.0, 25), Clock).Run(Stop);

	EXPECT_EQ(Report.Sent, 25u);
	// Absolute deadlines cannot run early: the 25th send is due at 0.48 s. Late is bounded only generously.
	EXPECT_GE(Report.Elapsed, 480ms);
	EXPECT_LT(Report.Elapsed, 5s);
	for (int Index = 0; Index < 25; ++Index)
	{
		const std::optional<std::string> Datagram = Receiver.Receive(5s);
		ASSERT_TRUE(Datagram.has_value()) << "datagram " << Index;
		EXPECT_TRUE(nlohmann::json::accept(*Datagram)) << *Datagram;
	}
	EXPECT_FALSE(Receiver.Receive(0ms).has_value());
}

TEST(SendPacing, JitterHoldsEachDatagramWithinItsBoundAndSpreadsThem)
{
	FManualClock Clock;
	FScriptedSink Inner;
	FTavrixStopSignal Stop;
	FTavrixJitterSink Jitter(Inner, 8ms, Clock, Stop, 1234);
	FTavrixDuration Shortest = 8ms;
	FTavrixDuration Longest = 0ms;
	for (int Index = 0; Index < 400; ++Index)
	{
		const FTavrixTimePoint Before = Clock.Now();
		ASSERT_FALSE(Jitter.Send(std::to_string(Index)));
		const FTavrixDuration Held = Clock.Now() - Before;
		ASSERT_GE(Held, 0ms);
		ASSERT_LE(Held, 8ms);
		Shortest = std::min(Shortest, Held);
		Longest = std::max(Longest, Held);
	}
	ASSERT_EQ(Inner.Delivered.size(), 400u);
	EXPECT_EQ(Inner.Delivered[399], "399");
	// Uniform over 8 ms: 400 draws reach both ends of the range.
	EXPECT_LT(Shortest, 1ms);
	EXPECT_GT(Longest, 7ms);

	const FTavrixTimePoint Before = Clock.Now();
	FTavrixJitterSink None(Inner, 0ms, Clock, Stop, 1);
	EXPECT_FALSE(None.Send("x"));
	EXPECT_EQ(Clock.Now(), Before);
}

TEST(SendPacing, SendLogRecordsEachDatagramsFrameAndClockReadings)
{
	FTavrixCameraScript Script;
	Script.Motion = ETavrixMotion::Ramp;
	Script.Timecode = ETavrixTimecodeSource::Clock;
	Script.FrameRate = {25, 1};
	FTavrixDuration TimeOfDay = 10s;
	FTavrixCameraPayloads Camera(Script, [&TimeOfDay] { return TimeOfDay; });
	FManualClock Clock;
	Clock.Lateness = [](size_t) { return FTavrixDuration(3ms); };
	FScriptedSink Inner;
	Inner.Fails = [](size_t InAttempt) { return InAttempt == 1; };
	FTavrixStopSignal Stop;
	FTavrixJitterSink Held(Inner, 0ms, Clock, Stop, 1);
	std::FILE* File = std::tmpfile();
	ASSERT_NE(File, nullptr);
	{
		FTavrixSendLog Log(Held, Camera, Clock, File);
		std::string Payload;
		for (const FTavrixDuration Reading : {FTavrixDuration(10s), FTavrixDuration(10s + 50ms)})
		{
			TimeOfDay = Reading;
			ASSERT_TRUE(Camera.NextPayload(0s, Payload));
			Log.Send(Payload);
			Clock.SleepUntil(Clock.Now(), Stop);
		}
	}
	std::rewind(File);
	char Line[256];
	ASSERT_NE(std::fgets(Line, sizeof(Line), File), nullptr);
	EXPECT_STREQ(Line, FTavrixSendLog::Header);
	const double Start = std::chrono::duration<double>(std::chrono::hours(1)).count();
	const std::vector<std::tuple<int, double, double, int>> Expected{{250, 10.0, Start, 1}, {251, 10.05, Start + 0.003, 0}};
	for (const auto& [Frame, Seconds, Monotonic, bSent] : Expected)
	{
		int ReadFrame = 0;
		double ReadSeconds = 0.0;
		double Built = 0.0;
		double Sent = 0.0;
		int ReadSent = -1;
		ASSERT_EQ(std::fscanf(File, "%d %lf %lf %lf %d", &ReadFrame, &ReadSeconds, &Built, &Sent, &ReadSent), 5);
		EXPECT_EQ(ReadFrame, Frame);
		EXPECT_DOUBLE_EQ(ReadSeconds, Seconds);
		EXPECT_NEAR(Built, Monotonic, 1e-9);
		EXPECT_NEAR(Sent, Monotonic, 1e-9);
		EXPECT_EQ(ReadSent, bSent);
	}
	std::fclose(File);
}
