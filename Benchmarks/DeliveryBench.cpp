// Delivery from the socket to the tick: latency, throughput and many sources, each against a bare socket loop
// measured in the same run.
#include "LiveLinkClient.h"
#include "LockHoldProbe.h"
#include "PollWakeProbe.h"
#include "LoopbackUdp.h"
#include "Roles/LiveLinkCameraTypes.h"
#include "TavrixLiveLinkSource.h"
#include "TavrixLiveLinkSourceInspector.h"
#include "LiveLinkClientTesting.h"

#include <benchmark/benchmark.h>
#include <poll.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace
{
using FClock = std::chrono::steady_clock;
using namespace std::chrono_literals;

std::string MessageWithSequence(int64_t Sequence)
{
	return "{\"TVKCamera\":[{\"Version\":1,\"Location\":[" + std::to_string(Sequence) +
		",-30.0625,150.25],\"Rotation\":[0.0130526,-0.0871557,0.1478094,0.9851507],\"Scale\":[1,1,1],"
		"\"Lens\":[35.000001,300.25,1.7777777777777777,54.432223],\"Timecode\":[1234567,30000,1001],"
		"\"Metadata\":[\"A-cam\",\"Scene 42 Day Ext\",\"7\"],\"State\":0}]}";
}

double Percentile(std::vector<double> Values, double Fraction)
{
	if (Values.empty())
	{
		return 0.0;
	}
	std::sort(Values.begin(), Values.end());
	return Values[std::min(Values.size() - 1, static_cast<size_t>(Fraction * static_cast<double>(Values.size())))];
}

/** Sends Count sequenced datagrams to Port, one every Interval on an absolute schedule, noting each send time. */
std::vector<FClock::time_point> SendPaced(uint16_t Port, int Count, std::chrono::microseconds Interval)
{
	FLoopbackUdp Sender;
	std::vector<FClock::time_point> Sent(static_cast<size_t>(Count) + 1);
	const FClock::time_point Start = FClock::now() + 20ms;
	for (int Sequence = 1; Sequence <= Count; ++Sequence)
	{
		std::this_thread::sleep_until(Start + Interval * Sequence);
		Sent[static_cast<size_t>(Sequence)] = FClock::now();
		Sender.SendTo(Port, MessageWithSequence(Sequence));
	}
	return Sent;
}

/**
 * When each sequence number became visible, noted by the thread that published it at the moment it did (the bare
 * loop after its store, the source inside its release of DataMutex): no watcher polls, so nothing samples late and
 * nothing competes for the lock or for a core.
 */
class FPublicationLog
{
public:
	explicit FPublicationLog(int Count)
		: Times(static_cast<size_t>(Count) + 1)
	{
		WakeToVisible.reserve(Times.size());
	}

	/**
	 * Notes Sequence as visible now, the first time it is, with the time since the thread's wake from poll; the
	 * publishing thread only.
	 */
	void Note(int64_t Sequence)
	{
		if (Sequence > 0 && Sequence < static_cast<int64_t>(Times.size()) && Times[static_cast<size_t>(Sequence)] == FClock::time_point())
		{
			Times[static_cast<size_t>(Sequence)] = FClock::now();
			WakeToVisible.push_back(PollWakeProbe::MicrosecondsSinceLastWake());
		}
	}
	/** Read after the publishing thread has stopped or been joined. */
	const std::vector<FClock::time_point>& GetTimes() const { return Times; }
	const std::vector<double>& GetWakeToVisible() const { return WakeToVisible; }

private:
	std::vector<FClock::time_point> Times;
	std::vector<double> WakeToVisible;
};

/** One measurement: sent → visible for each datagram, and the part of it after the receiver woke. */
struct FLatencySamples
{
	std::vector<double> Latency;
	std::vector<double> WakeToVisible;

	void Append(const FLatencySamples& Other)
	{
		Latency.insert(Latency.end(), Other.Latency.begin(), Other.Latency.end());
		WakeToVisible.insert(WakeToVisible.end(), Other.WakeToVisible.begin(), Other.WakeToVisible.end());
	}
};

/**
 * The baseline receiver: a thread in a bare poll + recvfrom loop that drains every waiting datagram, counts them
 * and publishes the last sequence number through an atomic.
 */
class FBareReceiveLoop
{
public:
	/** Log, when given, must outlive the loop. */
	explicit FBareReceiveLoop(FPublicationLog* InLog = nullptr)
		: Log(InLog)
		, Thread([this] {
			char Buffer[65536];
			pollfd Poll{Receiver.GetDescriptor(), POLLIN, 0};
			while (!bDone.load(std::memory_order_relaxed))
			{
				if (::poll(&Poll, 1, 10) <= 0)
				{
					continue;
				}
				ssize_t Read = 0;
				while ((Read = ::recv(Receiver.GetDescriptor(), Buffer, sizeof(Buffer) - 1, MSG_DONTWAIT)) > 0)
				{
					++Received;
					if (Read > 39)
					{
						Buffer[Read] = 0;
						Latest = std::atol(Buffer + 39); // the sequence number stands right after "Location":[
						if (Log != nullptr)
						{
							Log->Note(Latest.load(std::memory_order_relaxed));
						}
					}
				}
			}
		})
	{
	}
	~FBareReceiveLoop()
	{
		bDone = true;
		Thread.join();
	}

	uint16_t GetPort() const { return Receiver.GetPort(); }

	std::atomic<int64_t> Latest{0};
	std::atomic<int64_t> Received{0};

private:
	FLoopbackUdp Receiver;
	FPublicationLog* Log;
	std::atomic<bool> bDone{false};
	std::thread Thread;
};

/** How long after its sending each datagram became visible, in microseconds, for those that did. */
void CollectLatencies(
	const std::vector<FClock::time_point>& Sent, const std::vector<FClock::time_point>& Seen, std::vector<double>& OutMicroseconds)
{
	for (size_t Sequence = 1; Sequence < Sent.size(); ++Sequence)
	{
		if (Seen[Sequence] != FClock::time_point())
		{
			OutMicroseconds.push_back(std::chrono::duration<double, std::micro>(Seen[Sequence] - Sent[Sequence]).count());
		}
	}
}

/** Sent → decoded and in the source's received state, where the next tick reads it. */
FLatencySamples MeasureSourceLatency(int Count, std::chrono::microseconds Interval)
{
	FPublicationLog Log(Count);
	std::vector<FClock::time_point> Sent;
	{
		FTavrixLiveLinkSource Source(FIPv4Endpoint(FIPv4Address::InternalLoopback, FreeLoopbackPort()), true, false, false);
		FTavrixLiveLinkSourceInspector Inspector(Source);
		struct FContext
		{
			FTavrixLiveLinkSourceInspector* Inspector;
			FPublicationLog* Log;
		} Context{&Inspector, &Log};
		// Only the receive thread takes DataMutex here (no client ticks this source), once per decoded camera.
		LockHoldProbe::CallBeforeRelease(
			Inspector.GetDataMutexAddress(),
			[](void* Opaque) {
				FContext& Held = *static_cast<FContext*>(Opaque);
				Held.Log->Note(static_cast<int64_t>(Held.Inspector->GetReceivedLocationXWhileLocked()));
			},
			&Context);
		Sent = SendPaced(static_cast<uint16_t>(Inspector.GetBoundPort()), Count, Interval);
		std::this_thread::sleep_for(50ms);
		LockHoldProbe::CallBeforeRelease(nullptr, nullptr, nullptr);
	}
	FLatencySamples Samples;
	CollectLatencies(Sent, Log.GetTimes(), Samples.Latency);
	Samples.WakeToVisible = Log.GetWakeToVisible();
	return Samples;
}

/** The baseline: sent → published by a bare poll + recvfrom loop through an atomic. */
FLatencySamples MeasureBareLoopLatency(int Count, std::chrono::microseconds Interval)
{
	FPublicationLog Log(Count);
	std::vector<FClock::time_point> Sent;
	{
		FBareReceiveLoop Loop(&Log);
		Sent = SendPaced(Loop.GetPort(), Count, Interval);
		std::this_thread::sleep_for(50ms);
	}
	FLatencySamples Samples;
	CollectLatencies(Sent, Log.GetTimes(), Samples.Latency);
	Samples.WakeToVisible = Log.GetWakeToVisible();
	return Samples;
}

/**
 * End-to-end latency of the source against the bare loop at one sending interval (the argument, in µs). The two
 * take turns in rounds, in alternating order, so that whatever else the machine does in the meantime falls on both
 * alike; the percentiles are over every datagram of every round.
 */
void BM_EndToEndLatency(benchmark::State& State)
{
	constexpr int Rounds = 6;
	const std::chrono::microseconds Interval(State.range(0));
	const int CountPerRound = static_cast<int>(std::max<int64_t>(100, 1000000 / State.range(0) / Rounds));
	for (auto _ : State)
	{
		FLatencySamples Source;
		FLatencySamples Bare;
		for (int Round = 0; Round < Rounds; ++Round)
		{
			if (Round % 2 == 0)
			{
				Source.Append(MeasureSourceLatency(CountPerRound, Interval));
				Bare.Append(MeasureBareLoopLatency(CountPerRound, Interval));
			}
			else
			{
				Bare.Append(MeasureBareLoopLatency(CountPerRound, Interval));
				Source.Append(MeasureSourceLatency(CountPerRound, Interval));
			}
		}
		const double SourceP50 = Percentile(Source.Latency, 0.50);
		const double SourceP99 = Percentile(Source.Latency, 0.99);
		const double BareP50 = Percentile(Bare.Latency, 0.50);
		const double BareP99 = Percentile(Bare.Latency, 0.99);
		State.counters["p50_us"] = SourceP50;
		State.counters["p99_us"] = SourceP99;
		State.counters["bare_p50_us"] = BareP50;
		State.counters["bare_p99_us"] = BareP99;
		State.counters["p50_ratio"] = BareP50 > 0.0 ? SourceP50 / BareP50 : 0.0;
		State.counters["p99_ratio"] = BareP99 > 0.0 ? SourceP99 / BareP99 : 0.0;
		// After the wake: receive and decode for the source, receive and parse for the bare loop.
		State.counters["wake_to_visible_p50_us"] = Percentile(Source.WakeToVisible, 0.50);
		State.counters["bare_wake_to_visible_p50_us"] = Percentile(Bare.WakeToVisible, 0.50);
		State.counters["seen"] = static_cast<double>(Source.Latency.size());
		State.counters["bare_seen"] = static_cast<double>(Bare.Latency.size());
	}
}
BENCHMARK(BM_EndToEndLatency)->Arg(250)->Arg(16667)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

/** Sends as fast as the sender can for Duration; returns how many datagrams went out. */
int64_t Blast(uint16_t Port, std::chrono::milliseconds Duration)
{
	FLoopbackUdp Sender;
	int64_t Sequence = 0;
	const FClock::time_point End = FClock::now() + Duration;
	while (FClock::now() < End)
	{
		Sender.SendTo(Port, MessageWithSequence(++Sequence));
	}
	return Sequence;
}

/** Waits (a bounded time) until the source holds the datagram with this sequence number; true when it did. */
bool WaitUntilLatest(FTavrixLiveLinkSourceInspector& Inspector, int64_t Sequence)
{
	const FClock::time_point Deadline = FClock::now() + 2s;
	while (FClock::now() < Deadline)
	{
		if (static_cast<int64_t>(Inspector.GetReceivedState().Location.X) == Sequence)
		{
			return true;
		}
		std::this_thread::sleep_for(1ms);
	}
	return false;
}

/** How many datagrams a second one source drains, and whether the last one sent is what it ends up holding. */
void BM_DrainThroughput(benchmark::State& State)
{
	for (auto _ : State)
	{
		FTavrixLiveLinkSource Source(FIPv4Endpoint(FIPv4Address::InternalLoopback, FreeLoopbackPort()), true, true, true);
		FTavrixLiveLinkSourceInspector Inspector(Source);
		const uint16_t Port = static_cast<uint16_t>(Inspector.GetBoundPort());
		const FClock::time_point Start = FClock::now();
		const int64_t Sent = Blast(Port, 1000ms);
		// Drained when the count stops moving; what the kernel dropped for a full socket buffer never arrives.
		uint64_t Decoded = 0;
		for (uint64_t Previous = ~0ull; Previous != Decoded; std::this_thread::sleep_for(20ms))
		{
			Previous = Decoded;
			Decoded = Inspector.GetDecodedCameraCount();
		}
		const double Seconds = std::chrono::duration<double>(FClock::now() - Start).count();
		// After the flood, the next datagram must be the state the source holds: it never falls behind.
		FLoopbackUdp().SendTo(Port, MessageWithSequence(Sent + 1));
		State.counters["sent_per_s"] = static_cast<double>(Sent) / Seconds;
		State.counters["drained_per_s"] = static_cast<double>(Decoded) / Seconds;
		State.counters["drained_share"] = static_cast<double>(Decoded) / static_cast<double>(Sent);
		State.counters["latest_kept"] = WaitUntilLatest(Inspector, Sent + 1) ? 1.0 : 0.0;
	}
}

void BM_BareLoopThroughput(benchmark::State& State)
{
	for (auto _ : State)
	{
		FBareReceiveLoop Loop;
		const FClock::time_point Start = FClock::now();
		const int64_t Sent = Blast(Loop.GetPort(), 1000ms);
		int64_t Drained = 0;
		for (int64_t Previous = -1; Previous != Drained; std::this_thread::sleep_for(20ms))
		{
			Previous = Drained;
			Drained = Loop.Received.load();
		}
		const double Seconds = std::chrono::duration<double>(FClock::now() - Start).count();
		State.counters["sent_per_s"] = static_cast<double>(Sent) / Seconds;
		State.counters["drained_per_s"] = static_cast<double>(Drained) / Seconds;
		State.counters["drained_share"] = static_cast<double>(Drained) / static_cast<double>(Sent);
	}
}

BENCHMARK(BM_DrainThroughput)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareLoopThroughput)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

/** Sixteen sources on sixteen ports, each sent 240 datagrams a second for ten seconds, ticked at 60 Hz. */
void BM_SixteenSourcesAt240Hz(benchmark::State& State)
{
	constexpr int SourceCount = 16;
	constexpr int RateHz = 240;
	const std::chrono::seconds Duration(10);
	for (auto _ : State)
	{
		FLiveLinkClient Client;
		std::vector<FTavrixLiveLinkSource*> Sources;
		std::vector<uint16_t> Ports;
		std::vector<FGuid> Guids;
		for (int Index = 0; Index < SourceCount; ++Index)
		{
			TSharedPtr<FTavrixLiveLinkSource> Source =
				MakeShared<FTavrixLiveLinkSource>(FIPv4Endpoint(FIPv4Address::InternalLoopback, FreeLoopbackPort()), true, false, false);
			Sources.push_back(Source.Get());
			Ports.push_back(static_cast<uint16_t>(FTavrixLiveLinkSourceInspector(*Source).GetBoundPort()));
			Guids.push_back(Client.AddSource(Source));
		}
		std::atomic<bool> bSending{true};
		std::vector<int64_t> LastSent(SourceCount, 0);
		std::thread Sender([&] {
			FLoopbackUdp Socket;
			const FClock::time_point Start = FClock::now();
			for (int64_t Round = 1; bSending.load(); ++Round)
			{
				std::this_thread::sleep_until(Start + std::chrono::microseconds(1000000 / RateHz) * Round);
				for (int Index = 0; Index < SourceCount; ++Index)
				{
					Socket.SendTo(Ports[static_cast<size_t>(Index)], MessageWithSequence(Round));
					LastSent[static_cast<size_t>(Index)] = Round;
				}
			}
		});
		double TickSeconds = 0.0;
		int64_t Ticks = 0;
		const FClock::time_point Start = FClock::now();
		while (FClock::now() - Start < Duration)
		{
			const FClock::time_point TickStart = FClock::now();
			Client.Tick();
			TickSeconds += std::chrono::duration<double>(FClock::now() - TickStart).count();
			++Ticks;
			std::this_thread::sleep_until(Start + std::chrono::microseconds(16667) * Ticks);
		}
		bSending = false;
		Sender.join();
		int LostLatest = 0;
		for (int Index = 0; Index < SourceCount; ++Index)
		{
			FTavrixLiveLinkSourceInspector Inspector(*Sources[static_cast<size_t>(Index)]);
			LostLatest += WaitUntilLatest(Inspector, LastSent[static_cast<size_t>(Index)]) ? 0 : 1;
		}
		Client.Tick();
		for (int Index = 0; Index < SourceCount; ++Index)
		{
			const FLiveLinkFrameDataStruct Frame = FLiveLinkClientTesting::GetLatestFrame(
				Client, FLiveLinkSubjectKey(Guids[static_cast<size_t>(Index)], FName("Tavrix - Camera")));
			const FLiveLinkCameraFrameData* Camera = Frame.Cast<FLiveLinkCameraFrameData>();
			LostLatest +=
				(Camera != nullptr && static_cast<int64_t>(Camera->Transform.Translation.X) == LastSent[static_cast<size_t>(Index)]) ? 0
																																	 : 1;
		}
		State.counters["tick_us_per_source"] = TickSeconds / static_cast<double>(Ticks) / SourceCount * 1e6;
		State.counters["lost_latest"] = LostLatest;
		Client.RemoveAllSources();
	}
}
BENCHMARK(BM_SixteenSourcesAt240Hz)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);
} // namespace
