#include "TavrixCaptureReplayer.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace TavrixSend
{
namespace
{
/** Far enough to mean "never" (about 31 years), near enough that no arithmetic on it overflows. */
constexpr double MaxOffsetNanoseconds = 1e18;

FTavrixDuration SaturatingDifference(FTavrixDuration InLater, FTavrixDuration InEarlier)
{
	int64_t Difference = 0;
	if (__builtin_sub_overflow(InLater.count(), InEarlier.count(), &Difference))
	{
		Difference = InLater > InEarlier ? std::numeric_limits<int64_t>::max() : std::numeric_limits<int64_t>::min();
	}
	return FTavrixDuration(Difference);
}
} // namespace

FTavrixCaptureReplayer::FTavrixCaptureReplayer(std::span<const FTavrixCapturedDatagram> InDatagrams, ITavrixDatagramSink& InSink,
	const FTavrixCapturePacing& InPacing, ITavrixClock& InClock)
	: Datagrams(InDatagrams)
	, Sink(InSink)
	, Pacing(InPacing)
	, Clock(InClock)
{
	FTavrixDuration Span{};
	for (const FTavrixCapturedDatagram& Datagram : Datagrams)
	{
		Span = std::max(Span, SaturatingDifference(Datagram.Timestamp, Datagrams.front().Timestamp));
	}
	Span = std::min(Span, FTavrixDuration(static_cast<int64_t>(MaxOffsetNanoseconds)));
	const FTavrixDuration MeanGap = Datagrams.size() > 1 ? Span / static_cast<int64_t>(Datagrams.size() - 1) : FTavrixDuration(0);
	PassSpan = Span + MeanGap;
	if (PassSpan.count() == 0)
	{
		PassSpan = std::chrono::seconds(1);
	}
}

FTavrixDuration FTavrixCaptureReplayer::ScheduledOffset(uint64_t InPass, size_t InIndex) const
{
	const FTavrixDuration InPassOffset = SaturatingDifference(Datagrams[InIndex].Timestamp, Datagrams.front().Timestamp);
	const double CaptureOffset =
		static_cast<double>(InPassOffset.count()) + static_cast<double>(InPass) * static_cast<double>(PassSpan.count());
	const double Offset = std::clamp(CaptureOffset / Pacing.Speed, -MaxOffsetNanoseconds, MaxOffsetNanoseconds);
	return FTavrixDuration(std::llround(Offset));
}

FTavrixCaptureReplayReport FTavrixCaptureReplayer::Run(FTavrixStopSignal& InStop)
{
	FTavrixCaptureReplayReport Report;
	const FTavrixTimePoint Start = Clock.Now();
	FTavrixSendTally Tally(Report, Pacing.FailureLimit);
	bool bReachedDuration = false;

	for (uint64_t Send = 0; !Datagrams.empty() && (Pacing.MaxSends == 0 || Send < Pacing.MaxSends); ++Send)
	{
		const uint64_t Pass = Send / Datagrams.size();
		const size_t Index = static_cast<size_t>(Send % Datagrams.size());
		if (Pass > 0 && !Pacing.bLoop)
		{
			break;
		}
		const FTavrixDuration Offset = ScheduledOffset(Pass, Index);
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
		Report.Passes = Pass + 1;
		const std::error_code Error = Sink.Send(Datagrams[Index].Payload);
		const FTavrixTimePoint Now = Clock.Now();
		if (!Tally.Count(Error, Now))
		{
			break;
		}
	}

	if (bReachedDuration && !Clock.SleepUntil(Start + *Pacing.MaxDuration, InStop))
	{
		Report.bStopRequested = true;
	}
	Tally.Finish();
	Report.Elapsed = Clock.Now() - Start;
	return Report;
}
} // namespace TavrixSend
