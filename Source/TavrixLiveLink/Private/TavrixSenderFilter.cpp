#include "TavrixSenderFilter.h"

namespace
{
bool IsBlank(TCHAR Char)
{
	return Char == TEXT(' ') || Char == TEXT('\t');
}

bool IsDecimalDigit(TCHAR Char)
{
	return Char >= TEXT('0') && Char <= TEXT('9');
}

/**
 * A decimal number of one to three digits at Entry[Pos], without a leading zero (which some readers take for octal:
 * 010 would be 8 to them and 10 here), no larger than Max; Pos moves past it.
 */
bool ReadNumber(const FString& Entry, int32& Pos, uint32 Max, uint32& OutValue)
{
	const int32 Start = Pos;
	uint32 Value = 0;
	while (Pos < Entry.Len() && IsDecimalDigit(Entry[Pos]) && Pos - Start < 3)
	{
		Value = Value * 10 + static_cast<uint32>(Entry[Pos] - TEXT('0'));
		++Pos;
	}
	const int32 Digits = Pos - Start;
	const bool bLeadingZero = Digits > 1 && Entry[Start] == TEXT('0');
	const bool bMoreDigits = Pos < Entry.Len() && IsDecimalDigit(Entry[Pos]);
	OutValue = Value;
	return Digits > 0 && !bLeadingZero && !bMoreDigits && Value <= Max;
}

/** "A.B.C.D" or "A.B.C.D/N" as a network and mask; false with the reason otherwise. */
bool ReadEntry(const FString& Entry, uint32& OutNetwork, uint32& OutMask, FString& OutReason)
{
	int32 Pos = 0;
	uint32 Address = 0;
	for (int32 Octet = 0; Octet < 4; ++Octet)
	{
		uint32 Value = 0;
		if ((Octet > 0 && (Pos >= Entry.Len() || Entry[Pos++] != TEXT('.'))) || !ReadNumber(Entry, Pos, 255, Value))
		{
			OutReason = FString::Printf(
				TEXT("'%s' is not an IPv4 address (A.B.C.D, decimal 0 to 255 without leading zeros) or range (A.B.C.D/N)"), *Entry);
			return false;
		}
		Address = (Address << 8) | Value;
	}
	uint32 PrefixLength = 32;
	if (Pos < Entry.Len())
	{
		if (Entry[Pos++] != TEXT('/') || !ReadNumber(Entry, Pos, 32, PrefixLength) || Pos != Entry.Len())
		{
			OutReason = FString::Printf(TEXT("'%s' is not an IPv4 address or range: a range ends in /N with N from 0 to 32"), *Entry);
			return false;
		}
	}
	const uint32 Mask = PrefixLength == 0 ? 0u : ~0u << (32 - PrefixLength);
	if ((Address & ~Mask) != 0)
	{
		// Most likely a typing slip (an address where the network was meant): refused rather than guessed at.
		const uint32 Network = Address & Mask;
		OutReason = FString::Printf(TEXT("'%s' has bits set beyond its prefix: the range is written %u.%u.%u.%u/%u"), *Entry, Network >> 24,
			(Network >> 16) & 255u, (Network >> 8) & 255u, Network & 255u, PrefixLength);
		return false;
	}
	OutNetwork = Address;
	OutMask = Mask;
	return true;
}
} // namespace

bool FTavrixSenderFilter::Parse(const FString& Text, FTavrixSenderFilter& OutFilter, FString& OutReason)
{
	FTavrixSenderFilter Filter;
	bool bBlank = true;
	for (int32 Pos = 0; Pos < Text.Len() && bBlank; ++Pos)
	{
		bBlank = IsBlank(Text[Pos]);
	}
	if (bBlank)
	{
		OutFilter = Filter;
		return true;
	}

	int32 Pos = 0;
	while (true)
	{
		FString Entry;
		while (Pos < Text.Len() && Text[Pos] != TEXT(','))
		{
			if (!IsBlank(Text[Pos]))
			{
				Entry.AppendChar(Text[Pos]);
			}
			else if (Entry.Len() > 0 && Pos + 1 < Text.Len() && !IsBlank(Text[Pos + 1]) && Text[Pos + 1] != TEXT(','))
			{
				// A blank inside an entry ("10.0.0.1 10.0.0.2"): the comma between two entries is missing.
				OutReason = TEXT("entries are separated by commas: a space or tab inside an entry is not allowed");
				return false;
			}
			++Pos;
		}
		if (Entry.Len() == 0)
		{
			OutReason = TEXT("an entry is empty: remove the extra comma");
			return false;
		}
		if (Filter.EntryCount == MaxEntries)
		{
			OutReason = FString::Printf(TEXT("more than %d entries: join addresses into ranges"), MaxEntries);
			return false;
		}
		FEntry& Added = Filter.Entries[Filter.EntryCount];
		if (!ReadEntry(Entry, Added.Network, Added.Mask, OutReason))
		{
			return false;
		}
		++Filter.EntryCount;
		if (Pos >= Text.Len())
		{
			break;
		}
		++Pos; // the comma
	}
	OutFilter = Filter;
	return true;
}
