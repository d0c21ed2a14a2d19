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

	/** "A.B.C.D:PORT", the form Parse accepts. */
	FString ToString() const;
	TSharedRef<FInternetAddr> ToInternetAddr() const;
	bool operator==(const FIPv4Endpoint& Other) const = default;

	/**
	 * A dotted quad as FIPv4Address::Parse accepts it, a colon, and a decimal port 0-65535 of one to five digits;
	 * nothing else (no host names, no signs, no spaces). On failure OutEndpoint is left as it was.
	 */
	static bool Parse(const FString& EndpointString, FIPv4Endpoint& OutEndpoint);

	static const FIPv4Endpoint Any;
};
