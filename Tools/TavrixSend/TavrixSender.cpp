#include "TavrixSender.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>

namespace TavrixSend
{
void FTavrixStopSignal::RequestStop()
{
	{
		std::lock_guard Lock(Mutex);
		bStopRequested = true;
	}
	Condition.notify_all();
}

bool FTavrixStopSignal::IsStopRequested() const
{
	std::lock_guard Lock(Mutex);
	return bStopRequested;
}

bool FTavrixStopSignal::WaitUntil(FTavrixTimePoint InDeadline)
{
	std::unique_lock Lock(Mutex);
	return Condition.wait_until(Lock, InDeadline, [this] { return bStopRequested; });
}

FTavrixTimePoint FTavrixSteadyClock::Now()
{
	return std::chrono::steady_clock::now();
}

bool FTavrixSteadyClock::SleepUntil(FTavrixTimePoint InDeadline, FTavrixStopSignal& InStop)
{
	return !InStop.WaitUntil(InDeadline);
}

FTavrixCameraPayloads::FTavrixCameraPayloads(FTavrixCameraScript InScript, FTavrixTimeOfDaySource InTimeOfDay)
	: Script(std::move(InScript))
	, TimeOfDay(InTimeOfDay ? std::move(InTimeOfDay) : FTavrixTimeOfDaySource(&ReadLocalTimeOfDay))
{
}

bool FTavrixCameraPayloads::NextPayload(FTavrixDuration InElapsed, std::string& OutPayload)
{
	LastTimeOfDay = ReadsTimeOfDay(Script) ? TimeOfDay() : FTavrixDuration::zero();
	LastMessage = MakeCameraMessage(Script, InElapsed, LastTimeOfDay);
	OutPayload = BuildCameraMessage(LastMessage);
	return true;
}

FTavrixReplayPayloads::FTavrixReplayPayloads(std::string_view InText)
{
	while (!InText.empty())
	{
		const size_t LineFeed = InText.find('\n');
		Lines.emplace_back(InText.substr(0, LineFeed));
		InText.remove_prefix(LineFeed == std::string_view::npos ? InText.size() : LineFeed + 1);
	}
}

std::unique_ptr<FTavrixReplayPayloads> FTavrixReplayPayloads::Load(const std::string& InPath, std::string& OutError)
{
	std::FILE* File = std::fopen(InPath.c_str(), "rb");
	if (File == nullptr)
	{
		OutError = "cannot open " + InPath + ": " + std::generic_category().message(errno);
		return nullptr;
	}
	std::string Text;
	char Buffer[65536];
	size_t Read = 0;
	while ((Read = std::fread(Buffer, 1, sizeof(Buffer), File)) > 0)
	{
		Text.append(Buffer, Read);
	}
	const bool bFailed = std::ferror(File) != 0;
	const int ReadError = errno;
	std::fclose(File);
	if (bFailed)
	{
		OutError = "cannot read " + InPath + ": " + std::generic_category().message(ReadError);
		return nullptr;
	}
	return std::make_unique<FTavrixReplayPayloads>(Text);
}

bool FTavrixReplayPayloads::NextPayload(FTavrixDuration, std::string& OutPayload)
{
	if (NextLine >= Lines.size())
	{
		return false;
	}
	OutPayload = Lines[NextLine++];
	return true;
}

FTavrixSender::FTavrixSender(
	ITavrixPayloadSource& InSource, ITavrixDatagramSink& InSink, const FTavrixPacing& InPacing, ITavrixClock& InClock)
	: Source(InSource)
	, Sink(InSink)
	, Pacing(InPacing)
	, Clock(InClock)
{
}

FTavrixDuration FTavrixSender::ScheduledOffset(uint64_t InSend) const
{
	return FTavrixDuration(std::llround(static_cast<double>(InSend) * 1e9 / Pacing.RateHz));
}

uint64_t FTavrixSender::LatestDueSend(FTavrixDuration InElapsed) const
{
	if (InElapsed.count() <= 0)
	{
		return 0;
	}
	// The estimate may be one off either way after rounding; settle it against the schedule itself.
	uint64_t Send = static_cast<uint64_t>(std::floor(static_cast<double>(InElapsed.count()) * Pacing.RateHz / 1e9));
	while (ScheduledOffset(Send + 1) <= InElapsed)
	{
		++Send;
	}
	while (Send > 0 && ScheduledOffset(Send) > InElapsed)
	{
		--Send;
	}
	return Send;
}

FTavrixSendReport FTavrixSender::Run(FTavrixStopSignal& InStop)
{
	FTavrixSendReport Report;
	const FTavrixTimePoint Start = Clock.Now();
	FTavrixSendTally Tally(Report, Pacing.FailureLimit);
	std::string Payload;
	uint64_t Send = 0;
	uint64_t Attempts = 0;
	bool bReachedDuration = false;

	while (Pacing.MaxSends == 0 || Attempts < Pacing.MaxSends)
	{
		const FTavrixDuration Offset = ScheduledOffset(Send);
		if (Pacing.MaxDuration && Offset >= *Pacing.MaxDuration)
		{
			bReachedDuration = true;
			break;
		}
		if (InStop.IsStopRequested() || !Clock.SleepUntil(Start + Offset, InStop))
		{
			Report.bStopRequested = true;
			break;
		}
		if (!Source.NextPayload(Offset, Payload))
		{
			break;
		}
		const std::error_code Error = Sink.Send(Payload);
		++Attempts;
		const FTavrixTimePoint Now = Clock.Now();
		if (!Tally.Count(Error, Now))
		{
			break;
		}
		Send = std::max(Send + 1, LatestDueSend(Now - Start));
	}

	if (bReachedDuration && !Clock.SleepUntil(Start + *Pacing.MaxDuration, InStop))
	{
		Report.bStopRequested = true;
	}
	Tally.Finish();
	Report.Elapsed = Clock.Now() - Start;
	return Report;
}

FTavrixJitterSink::FTavrixJitterSink(
	ITavrixDatagramSink& InInner, FTavrixDuration InMaxDelay, ITavrixClock& InClock, FTavrixStopSignal& InStop, uint64_t InSeed)
	: Inner(InInner)
	, MaxDelay(InMaxDelay)
	, Clock(InClock)
	, Stop(InStop)
	, Random(InSeed)
{
}

std::error_code FTavrixJitterSink::Send(std::string_view InPayload)
{
	if (MaxDelay.count() > 0)
	{
		std::uniform_int_distribution<int64_t> Delay(0, MaxDelay.count());
		Clock.SleepUntil(Clock.Now() + FTavrixDuration(Delay(Random)), Stop);
	}
	return Inner.Send(InPayload);
}

FTavrixSendLog::FTavrixSendLog(
	ITavrixDatagramSink& InInner, const FTavrixCameraPayloads& InPayloads, ITavrixClock& InClock, std::FILE* InFile)
	: Inner(InInner)
	, Payloads(InPayloads)
	, Clock(InClock)
	, File(InFile)
{
	std::fputs(Header, File);
}

std::error_code FTavrixSendLog::Send(std::string_view InPayload)
{
	const auto Seconds = [](FTavrixTimePoint InTime) { return std::chrono::duration<double>(InTime.time_since_epoch()).count(); };
	const FTavrixTimePoint Built = Clock.Now();
	const std::error_code Error = Inner.Send(InPayload);
	const FTavrixTimePoint Sent = Clock.Now();
	std::fprintf(File, "%d %.9f %.9f %.9f %d\n", Payloads.GetLastMessage().TimecodeFrame,
		std::chrono::duration<double>(Payloads.GetLastTimeOfDay()).count(), Seconds(Built), Seconds(Sent), Error ? 0 : 1);
	return Error;
}

FTavrixSendThread::FTavrixSendThread(
	std::unique_ptr<ITavrixPayloadSource> InSource, std::unique_ptr<ITavrixDatagramSink> InSink, const FTavrixPacing& InPacing)
	: Source(std::move(InSource))
	, Sink(std::move(InSink))
{
	Thread = std::thread(&FTavrixSendThread::RunLoop, this, InPacing);
}

void FTavrixSendThread::RunLoop(FTavrixPacing InPacing)
{
	FTavrixSender Sender(*Source, *Sink, InPacing, Clock);
	Report = Sender.Run(Stop);
}

FTavrixSendThread::~FTavrixSendThread()
{
	RequestStop();
	Join();
}

FTavrixSendReport FTavrixSendThread::Join()
{
	if (Thread.joinable())
	{
		Thread.join();
	}
	return Report;
}
} // namespace TavrixSend
