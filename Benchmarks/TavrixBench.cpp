// The performance record: the decoder and the tick against baselines measured in the same run.
#include "Dom/JsonObject.h"
#include "LiveLinkClient.h"
#include "LockHoldProbe.h"
#include "LoopbackUdp.h"
#include "Serialization/JsonReader.h"
#include "Serialization/JsonSerializer.h"
#include "TavrixCaptureWriter.h"
#include "TavrixLiveLinkSource.h"
#include "TavrixLiveLinkSourceInspector.h"
#include "TavrixSenderFilter.h"

#include <benchmark/benchmark.h>
#include <rapidjson/document.h>

#if TAVRIX_BENCH_NLOHMANN
#include <nlohmann/json.hpp>
#endif

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

namespace
{
/** A representative message as the camera application sends it: every member, realistic numbers (about 330 bytes). */
const std::string RepresentativeMessage =
	R"({"TVKCamera":[{"Version":1,"Location":[120.53125,-30.0625,150.25],"Rotation":[0.0130526,-0.0871557,0.1478094,0.9851507],)"
	R"("Scale":[1,1,1],"Lens":[35.000001,300.25,1.7777777777777777,54.432223],"Timecode":[1234567,30000,1001],)"
	R"("Metadata":["A-cam","Scene 42 Day Ext","7"],"State":2}]})";

TSharedPtr<TArray<uint8>, ESPMode::ThreadSafe> MakeDatagram(const std::string& Bytes)
{
	TSharedPtr<TArray<uint8>, ESPMode::ThreadSafe> Data = MakeShared<TArray<uint8>, ESPMode::ThreadSafe>();
	Data->Append(reinterpret_cast<const uint8*>(Bytes.data()), static_cast<int32>(Bytes.size()));
	return Data;
}

/** The decoder as the receive loop runs it: a fresh shared array per datagram, all options on. */
void BM_ProcessReceivedData(benchmark::State& State)
{
	FTavrixLiveLinkSource Source(FIPv4Endpoint(FIPv4Address::InternalLoopback, FreeLoopbackPort()), true, true, true);
	for (auto _ : State)
	{
		Source.ProcessReceivedData(MakeDatagram(RepresentativeMessage));
	}
	State.SetItemsProcessed(State.iterations());
	State.SetBytesProcessed(State.iterations() * static_cast<int64_t>(RepresentativeMessage.size()));
}
BENCHMARK(BM_ProcessReceivedData);

/**
 * What the accepted-senders check adds to each datagram on the receive thread: taking the filter in force from the
 * game thread's hand-over, and matching the sender against it. Arg 0: an empty list (anyone); arg 10: ten entries,
 * the sender matching only the last, so that every entry is tried.
 */
void BM_SenderCheck(benchmark::State& State)
{
	const int64 Entries = State.range(0);
	FString Text;
	for (int64 Entry = 0; Entry < Entries; ++Entry)
	{
		Text += FString::Printf(TEXT("%s10.%d.0.0/16"), Entry > 0 ? TEXT(", ") : TEXT(""), static_cast<int32>(Entry));
	}
	FTavrixSenderFilter Filter;
	FString Reason;
	if (!FTavrixSenderFilter::Parse(Text, Filter, Reason))
	{
		State.SkipWithError("the list did not parse");
		return;
	}
	FTavrixSenderFilterExchange Exchange;
	Exchange.Publish(Filter);
	uint32 Sender = Entries > 0 ? (10u << 24) | (uint32(Entries - 1) << 16) | 0x0105u : 0xC0A80A05u;
	int64 Accepted = 0;
	for (auto _ : State)
	{
		benchmark::DoNotOptimize(Sender);
		Accepted += Exchange.Current().Accepts(Sender) ? 1 : 0;
	}
	benchmark::DoNotOptimize(Accepted);
	State.counters["accepted"] = static_cast<double>(Accepted) / static_cast<double>(std::max<int64>(State.iterations(), 1));
}
BENCHMARK(BM_SenderCheck)->Arg(0)->Arg(10);

/**
 * What capturing adds to each datagram on the receive thread: the copy into the capture queue, as the receive loop
 * makes it. A disk is slower than this loop, so the queue would soon be full and the benchmark would time the
 * cheaper drop instead: after each megabyte (which wakes the writer thread) the clock stops until the writer has put
 * everything in the file, in the system's temporary folder. `dropped` must stay 0.
 */
void BM_CaptureEnqueue(benchmark::State& State)
{
	std::string Folder = (std::filesystem::temp_directory_path() / "TavrixBenchCapture-XXXXXX").string();
	if (::mkdtemp(Folder.data()) == nullptr)
	{
		State.SkipWithError("no temporary folder");
		return;
	}
	uint64 Dropped = 0;
	{
		FTavrixCaptureWriter Writer;
		if (!Writer.Start(FString::FromUtf8(Folder), FIPv4Endpoint(FIPv4Address::InternalLoopback, 9001)))
		{
			State.SkipWithError("the capture did not start");
			return;
		}
		const uint8* Bytes = reinterpret_cast<const uint8*>(RepresentativeMessage.data());
		const int32 Size = static_cast<int32>(RepresentativeMessage.size());
		const uint64 Batch = (1024 * 1024) / (TavrixPcapFormat::RecordOverhead + Size) + 1;
		uint64 Queued = 0;
		int64 Arrival = 1'700'000'000'000'000;
		for (auto _ : State)
		{
			benchmark::DoNotOptimize(Writer.Enqueue(++Arrival, 0x0A000005, 50000, Bytes, Size));
			if (++Queued % Batch == 0)
			{
				State.PauseTiming();
				while (Writer.GetStatus().CapturedDatagrams + Writer.GetStatus().DroppedDatagrams < Queued)
				{
					std::this_thread::sleep_for(std::chrono::microseconds(100));
				}
				State.ResumeTiming();
			}
		}
		Writer.Stop();
		Dropped = Writer.GetStatus().DroppedDatagrams;
	}
	std::filesystem::remove_all(Folder);
	State.counters["dropped"] = static_cast<double>(Dropped);
	State.SetItemsProcessed(State.iterations());
	State.SetBytesProcessed(State.iterations() * static_cast<int64_t>(RepresentativeMessage.size()));
}
BENCHMARK(BM_CaptureEnqueue);

/** Baseline: a plain RapidJSON DOM parse of the same bytes, nothing else. */
void BM_RapidJsonDomParse(benchmark::State& State)
{
	for (auto _ : State)
	{
		rapidjson::Document Document;
		Document.Parse(RepresentativeMessage.data(), RepresentativeMessage.size());
		benchmark::DoNotOptimize(Document.HasParseError());
	}
	State.SetItemsProcessed(State.iterations());
	State.SetBytesProcessed(State.iterations() * static_cast<int64_t>(RepresentativeMessage.size()));
}
BENCHMARK(BM_RapidJsonDomParse);

/** Where the decoder's time goes: the JSON object model alone, from the text the decoder makes of the bytes. */
void BM_JsonDeserialize(benchmark::State& State)
{
	const FString Text(RepresentativeMessage.c_str());
	for (auto _ : State)
	{
		TSharedPtr<FJsonObject> Object;
		benchmark::DoNotOptimize(FJsonSerializer::Deserialize(TJsonReaderFactory<TCHAR>::Create(Text), Object));
	}
	State.SetItemsProcessed(State.iterations());
}
BENCHMARK(BM_JsonDeserialize);

#if TAVRIX_BENCH_NLOHMANN
/** What a typical C++ project would reach for: nlohmann::json::parse alone. */
void BM_NlohmannParse(benchmark::State& State)
{
	for (auto _ : State)
	{
		nlohmann::json Document = nlohmann::json::parse(RepresentativeMessage);
		benchmark::DoNotOptimize(Document.size());
	}
	State.SetItemsProcessed(State.iterations());
}
BENCHMARK(BM_NlohmannParse);
#endif

/** One tick with a frame push into the Live Link client: lock, frame clock, lens, Take Recorder change test, push. */
void BM_LiveLinkTick(benchmark::State& State)
{
	FLiveLinkClient Client;
	TSharedPtr<FTavrixLiveLinkSource> Source =
		MakeShared<FTavrixLiveLinkSource>(FIPv4Endpoint(FIPv4Address::InternalLoopback, FreeLoopbackPort()), true, false, false);
	FTavrixLiveLinkSource* Raw = Source.Get();
	const FGuid Guid = Client.AddSource(Source);
	Source.Reset();
	Raw->ProcessReceivedData(MakeDatagram(RepresentativeMessage));
	Raw->LiveLinkTick();
	LockHoldProbe::Watch(FTavrixLiveLinkSourceInspector(*Raw).GetDataMutexAddress());
	for (auto _ : State)
	{
		benchmark::DoNotOptimize(Raw->LiveLinkTick());
	}
	// Measured from inside the lock, so the clock reads that do the measuring count too (some 20 ns).
	State.counters["lock_held_ns"] =
		static_cast<double>(LockHoldProbe::HeldNanoseconds()) / static_cast<double>(std::max<uint64_t>(1, LockHoldProbe::Acquisitions()));
	LockHoldProbe::Watch(nullptr);
	State.SetItemsProcessed(State.iterations());
	Client.RemoveSource(Guid);
}
BENCHMARK(BM_LiveLinkTick);
} // namespace

BENCHMARK_MAIN();
