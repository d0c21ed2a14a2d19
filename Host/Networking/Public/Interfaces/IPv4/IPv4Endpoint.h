// Stand-in for the engine's FIPv4Endpoint: an IPv4 address and a 16-bit port, with its text form A.B.C.D:PORT.
#pragma once

#include "CoreMinimal.h"
#include "Interfaces/IPv4/IPv4Address.h"

class FInternetAddr;

struct NETWORKING_API FIPv4Endpoint
{
	FIPv4Address Address;
	uint16 Port = 0;

	FIPv4Endpoint() = default;
	FIPv4Endpoint(const FIPv4Address& InAddress, uint16 InPort)
		: Address(InAddress)
		, Port(InPort)
	{
	}

	/** "A.B.C.D:PORT". */
	FString ToString() const;
	TSharedRef<FInternetAddr> ToInternetAddr() const;
	bool operator==(const FIPv4Endpoint& Other) const { return Address == Other.Address && Port == Other.Port; }
	bool operator!=(const FIPv4Endpoint& Other) const { return !(*this == Other); }

	/**
	 * As lenient as the engine's: exactly one colon, an address FIPv4Address::Parse takes before it, and after it
	 * a port read as atoi reads it and cut to 16 bits ("0.0.0.0:" is port 0, ":99999" is 34463). On failure
	 * OutEndpoint is left as it was. Code that wants the exact form checks the text itself first.
	 */
	static bool Parse(const FString& EndpointString, FIPv4Endpoint& OutEndpoint);

	static const FIPv4Endpoint Any;
};
