#pragma once

#include "CoreMinimal.h"

#include <atomic>

/**
 * The senders a source accepts datagrams from: IPv4 addresses and CIDR ranges, or anyone when the list is empty.
 * A value type of fixed size, so that checking a sender allocates nothing.
 */
class FTavrixSenderFilter
{
public:
	/** Entries a list may hold; a longer list is refused rather than cut short. */
	static constexpr int32 MaxEntries = 32;

	/**
	 * Reads "A.B.C.D, A.B.C.D/N, ..." (decimal octets without leading zeros, a prefix length of 0 to 32, entries
	 * separated by commas, spaces and tabs around them ignored). Empty or blank text accepts anyone. False, with
	 * OutReason saying what is wrong and OutFilter unchanged, when the text does not read as such a list.
	 */
	static bool Parse(const FString& Text, FTavrixSenderFilter& OutFilter, FString& OutReason);

	/** Whether a datagram from this IPv4 address (host byte order) is to be decoded. */
	bool Accepts(uint32 Address) const
	{
		if (EntryCount == 0)
		{
			return true;
		}
		for (int32 Index = 0; Index < EntryCount; ++Index)
		{
			if ((Address & Entries[Index].Mask) == Entries[Index].Network)
			{
				return true;
			}
		}
		return false;
	}

	bool AcceptsAnyone() const { return EntryCount == 0; }
	int32 Num() const { return EntryCount; }

private:
	struct FEntry
	{
		uint32 Network = 0;
		uint32 Mask = 0;
	};
	FEntry Entries[MaxEntries];
	int32 EntryCount = 0;
};

/**
 * Hands a filter from the game thread to the receive thread without a lock and without allocating: three slots, one
 * the writer fills, one the reader uses, and one in between that they swap with one atomic exchange each (a triple
 * buffer). Neither side ever waits for the other, and neither touches a slot the other holds.
 */
class FTavrixSenderFilterExchange
{
public:
	/** Makes Filter the one the reader sees from its next Current on (one writing thread at a time). */
	void Publish(const FTavrixSenderFilter& Filter)
	{
		Slots[WriterSlot] = Filter;
		WriterSlot = Middle.exchange(static_cast<uint8>(WriterSlot | FreshBit), std::memory_order_acq_rel) & SlotMask;
	}

	/** The latest filter published (one reading thread only); valid until its next call. */
	const FTavrixSenderFilter& Current()
	{
		if ((Middle.load(std::memory_order_relaxed) & FreshBit) != 0)
		{
			ReaderSlot = Middle.exchange(ReaderSlot, std::memory_order_acq_rel) & SlotMask;
		}
		return Slots[ReaderSlot];
	}

private:
	static constexpr uint8 SlotMask = 3;
	static constexpr uint8 FreshBit = 4;

	FTavrixSenderFilter Slots[3];
	/** The slot in between, with FreshBit while it holds a filter the reader has not taken yet. */
	std::atomic<uint8> Middle{2};
	uint8 WriterSlot = 1;
	uint8 ReaderSlot = 0;
};
