#include "TavrixLogLimiter.h"

#include <algorithm>

FTavrixLogLimiter::FDecision FTavrixLogLimiter::Note(int64 NowUs, int32 Occurrences)
{
	FDecision Decision;
	if (Occurrences <= 0)
	{
		return Decision;
	}
	if (bHasBurst && NowUs - LastBurstUs < PeriodUs)
	{
		Unwritten += static_cast<uint64>(Occurrences);
		return Decision;
	}
	bHasBurst = true;
	LastBurstUs = NowUs;
	Decision.UnwrittenToReport = Unwritten;
	Decision.LinesToWrite = std::min(Occurrences, MaxLinesPerBurst);
	Unwritten = static_cast<uint64>(Occurrences - Decision.LinesToWrite);
	return Decision;
}

uint64 FTavrixLogLimiter::TakeUnwritten()
{
	const uint64 Taken = Unwritten;
	Unwritten = 0;
	return Taken;
}
