#include "TavrixStreamHealth.h"

#include <algorithm>
#include <cmath>

void FTavrixStreamHealth::RecordSender(uint32 Address, uint16 Port)
{
	Sender.store((uint64(1) << 48) | (uint64(Address) << 16) | uint64(Port), std::memory_order_relaxed);
}

void FTavrixStreamHealth::RecordOtherSender(uint32 Address, uint16 Port)
{
	OtherSender.store((uint64(1) << 48) | (uint64(Address) << 16) | uint64(Port), std::memory_order_relaxed);
	Add(OtherSenders, 1);
}

void FTavrixStreamHealth::RecordDatagram(int64 ArrivalUs, bool bRejected, int32 ForeignMembers, const FTavrixTimecode* CameraTimecode)
{
	// The slot is written before the count that publishes it, both with release: a reader that sees a slot already
	// overwritten also sees a count that tells it so (see Read).
	const uint64 Index = ArrivalCount.load(std::memory_order_relaxed);
	Arrivals[Index % ArrivalCapacity].store(ArrivalUs, std::memory_order_release);
	ArrivalCount.store(Index + 1, std::memory_order_release);

	if (bRejected)
	{
		Add(Rejected, 1);
	}
	if (ForeignMembers > 0)
	{
		Add(WithForeignMembers, 1);
		Add(ForeignMemberCount, uint64(ForeignMembers));
	}
	if (CameraTimecode != nullptr)
	{
		FollowTimecode(ArrivalUs, *CameraTimecode);
	}
}

void FTavrixStreamHealth::FollowTimecode(int64 ArrivalUs, const FTavrixTimecode& Timecode)
{
	const bool bUsable = Timecode.RateNumerator > 0 && Timecode.RateDenominator > 0;
	// Frame numbers of two rates cannot be compared, and a datagram without a usable timecode breaks the chain: the
	// next usable one starts over, as does the usual step.
	const bool bFollows = bUsable && bHasPreviousTimecode && Timecode.RateNumerator == PreviousTimecode.RateNumerator &&
		Timecode.RateDenominator == PreviousTimecode.RateDenominator;
	if (!bFollows)
	{
		RecentStepCount = 0;
		NextRecentStep = 0;
	}
	else
	{
		const int64 Step = int64(Timecode.Frame) - int64(PreviousTimecode.Frame);
		const double Rate = double(Timecode.RateNumerator) / double(Timecode.RateDenominator);
		const double ElapsedFrames = double(ArrivalUs - PreviousArrivalUs) * 1e-6 * Rate;
		const double Drift = double(Step) - ElapsedFrames;
		if (Drift > JumpToleranceFrames || Drift < -JumpToleranceFrames)
		{
			Add(Jumps, 1);
		}
		else if (Step < 0)
		{
			Add(StepsBack, 1);
		}
		else if (Step > 0)
		{
			if (RecentStepCount > 0)
			{
				const int64 UsualStep = *std::min_element(RecentSteps, RecentSteps + RecentStepCount);
				if (Step > UsualStep)
				{
					Add(Gaps, 1);
					Add(FramesMissed, uint64((Step - 1) / UsualStep));
				}
			}
			RecentSteps[NextRecentStep] = Step;
			NextRecentStep = (NextRecentStep + 1) % UsualStepHistory;
			RecentStepCount = std::min(RecentStepCount + 1, UsualStepHistory);
		}
	}
	bHasPreviousTimecode = bUsable;
	PreviousTimecode = Timecode;
	PreviousArrivalUs = ArrivalUs;
}

FTavrixStreamHealthSnapshot FTavrixStreamHealth::Read(int64 NowUs) const
{
	FTavrixStreamHealthSnapshot Snapshot;
	const uint64 SenderValue = Sender.load(std::memory_order_relaxed);
	Snapshot.bHasSender = SenderValue != 0;
	Snapshot.SenderAddress = uint32(SenderValue >> 16);
	Snapshot.SenderPort = uint16(SenderValue);
	const uint64 OtherSenderValue = OtherSender.load(std::memory_order_relaxed);
	Snapshot.bHasOtherSender = OtherSenderValue != 0;
	Snapshot.OtherSenderAddress = uint32(OtherSenderValue >> 16);
	Snapshot.OtherSenderPort = uint16(OtherSenderValue);
	Snapshot.DatagramsFromOtherSenders = OtherSenders.load(std::memory_order_relaxed);

	const uint64 Count = ArrivalCount.load(std::memory_order_acquire);
	Snapshot.DatagramsReceived = Count;
	Snapshot.DatagramsRejected = Rejected.load(std::memory_order_relaxed);
	Snapshot.MessagesWithForeignMembers = WithForeignMembers.load(std::memory_order_relaxed);
	Snapshot.ForeignMembers = ForeignMemberCount.load(std::memory_order_relaxed);
	Snapshot.TimecodeGaps = Gaps.load(std::memory_order_relaxed);
	Snapshot.TimecodeFramesMissed = FramesMissed.load(std::memory_order_relaxed);
	Snapshot.TimecodeStepsBack = StepsBack.load(std::memory_order_relaxed);
	Snapshot.TimecodeJumps = Jumps.load(std::memory_order_relaxed);
	if (Count == 0)
	{
		return Snapshot;
	}

	// Newest first, back to the start of the window or the oldest slot the writer cannot be rewriting (the slot of
	// index Count - ArrivalCapacity is the one the next datagram takes).
	std::array<int64, ArrivalCapacity> Times;
	const uint64 Oldest = Count >= ArrivalCapacity ? Count - ArrivalCapacity + 1 : 0;
	int32 Kept = 0;
	bool bWindowCovered = false;
	for (uint64 Index = Count; Index > Oldest; --Index)
	{
		// Acquire, so that the count read below is read after every slot (a fence would do the same, but
		// ThreadSanitizer does not follow fences).
		const int64 Time = Arrivals[(Index - 1) % ArrivalCapacity].load(std::memory_order_acquire);
		if (Time <= NowUs - WindowUs)
		{
			bWindowCovered = true;
			break;
		}
		Times[Kept++] = Time;
	}
	bWindowCovered = bWindowCovered || Oldest == 0;
	// A slot read above that the writer has rewritten since shows up in the count: drop what may be newer than it.
	const uint64 CountAfter = ArrivalCount.load(std::memory_order_relaxed);
	if (CountAfter >= ArrivalCapacity)
	{
		const uint64 OldestIntact = CountAfter - ArrivalCapacity + 1;
		const uint64 Intact = OldestIntact < Count ? Count - OldestIntact : 0;
		if (Intact < uint64(Kept))
		{
			Kept = int32(Intact);
			bWindowCovered = false;
		}
	}

	Snapshot.LastDatagramAgeUs = std::max<int64>(NowUs - Arrivals[(Count - 1) % ArrivalCapacity].load(std::memory_order_relaxed), 0);
	if (bWindowCovered)
	{
		Snapshot.DatagramsPerSecond = double(Kept);
	}
	else if (Kept >= 2 && Times[0] > Times[Kept - 1])
	{
		Snapshot.DatagramsPerSecond = double(Kept - 1) * 1e6 / double(Times[0] - Times[Kept - 1]);
	}

	const int32 Intervals = Kept - 1;
	if (Intervals >= 2)
	{
		const double Mean = double(Times[0] - Times[Kept - 1]) / double(Intervals);
		double SumOfSquares = 0.0;
		for (int32 Index = 0; Index < Intervals; ++Index)
		{
			const double Deviation = double(Times[Index] - Times[Index + 1]) - Mean;
			SumOfSquares += Deviation * Deviation;
		}
		Snapshot.ArrivalJitterMs = std::sqrt(SumOfSquares / double(Intervals)) * 1e-3;
	}
	return Snapshot;
}
