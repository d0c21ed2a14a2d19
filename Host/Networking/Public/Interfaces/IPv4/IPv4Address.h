// Stand-in for the engine's FIPv4Address: four octets, with the engine's lenient parser. No host-name resolution.
#pragma once

#include "CoreMinimal.h"

#define NETWORKING_API DLLEXPORT

struct NETWORKING_API FIPv4Address
{
	union
	{
		/** The octets in host byte order: on a little-endian machine Bytes[3] is the first number of the dotted quad. */
		uint8 Bytes[4];
		/** Host byte order: 127.0.0.1 is 0x7f000001. */
		uint32 Value;
	};

	constexpr FIPv4Address()
		: Value(0)
	{
	}
	constexpr FIPv4Address(uint8 InA, uint8 InB, uint8 InC, uint8 InD)
		: Value((uint32(InA) << 24) | (uint32(InB) << 16) | (uint32(InC) << 8) | uint32(InD))
	{
	}
	constexpr explicit FIPv4Address(uint32 InValue)
		: Value(InValue)
	{
	}

	FString ToString() const;
	constexpr bool operator==(const FIPv4Address& Other) const { return Value == Other.Value; }
	constexpr bool operator!=(const FIPv4Address& Other) const { return !(*this == Other); }

	/** True for a group address, 224.0.0.0 to 239.255.255.255. */
	constexpr bool IsMulticastAddress() const { return (Value >> 28) == 0xE; }

	/**
	 * As lenient as the engine's: any text of four pieces between points is an address, each piece read as atoi
	 * reads it and cut to its low 8 bits ("1.2.3.300" is 1.2.3.44, "a.b.c.d" is 0.0.0.0). On failure (not four
	 * pieces) OutAddress is left as it was. Code that wants a real dotted quad checks the text itself first.
	 */
	static bool Parse(const FString& AddressString, FIPv4Address& OutAddress);

	static const FIPv4Address Any;
	static const FIPv4Address InternalLoopback;
};

inline uint32 GetTypeHash(const FIPv4Address& Address)
{
	return Address.Value;
}
