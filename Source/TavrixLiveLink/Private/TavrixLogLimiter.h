#pragma once

#include "CoreMinimal.h"

/**
 * Bounds how often a line that a sender can provoke is written: the first occurrences are written at once, then at
 * most one burst per period, and what was left unwritten meanwhile is reported as a count with the next burst. Pure
 * code over the times it is given (microseconds of one monotonic clock); one thread at a time.
 */
class FTavrixLogLimiter
{
public:
	/** The shortest time from one burst of lines to the next. */
	static constexpr int64 PeriodUs = 1000000;
	/** Lines one burst may write: the occurrences of one datagram, up to this many. */
	static constexpr int32 MaxLinesPerBurst = 8;

	struct FDecision
	{
		/** Occurrences left unwritten since the previous burst, to be reported before the lines; 0 for none. */
		uint64 UnwrittenToReport = 0;
		/** How many of the occurrences just noted to write one line each for. */
		int32 LinesToWrite = 0;
	};

	/** Notes Occurrences (at least 1) of the line seen together at NowUs, and says what to write now. */
	FDecision Note(int64 NowUs, int32 Occurrences);
	/** The occurrences left unwritten so far, handed over for a last report and forgotten (for the end of the run). */
	uint64 TakeUnwritten();

private:
	friend class FTavrixLiveLinkSourceInspector;

	bool bHasBurst = false;
	int64 LastBurstUs = 0;
	uint64 Unwritten = 0;
};
