#include "Interfaces/IPv4/IPv4Address.h"
#include "Interfaces/IPv4/IPv4Endpoint.h"

#include "SocketSubsystem.h"

const FIPv4Address FIPv4Address::Any(0, 0, 0, 0);
const FIPv4Address FIPv4Address::InternalLoopback(127, 0, 0, 1);
const FIPv4Endpoint FIPv4Endpoint::Any(FIPv4Address::Any, 0);

namespace
{
/** Reads 1..MaxDigits decimal digits at Text[Pos]; false when there are none, too many, or the value exceeds Max. */
bool ParseDecimal(const FString& Text, int32& Pos, int32 MaxDigits, uint32 Max, uint32& OutValue)
{
	uint32 Value = 0;
	int32 Digits = 0;
	while (Pos < Text.Len() && FChar::IsDigit(Text[Pos]))
	{
		if (++Digits > MaxDigits)
		{
			return false;
		}
		Value = Value * 10 + static_cast<uint32>(Text[Pos] - u'0');
		++Pos;
	}
	if (Digits == 0 || Value > Max)
	{
		return false;
	}
	OutValue = Value;
	return true;
}

bool ParseDottedQuad(const FString& Text, int32& Pos, FIPv4Address& OutAddress)
{
	uint32 Octets[4];
	for (int32 Index = 0; Index < 4; ++Index)
	{
		if (Index > 0)
		{
			if (Pos >= Text.Len() || Text[Pos] != u'.')
			{
				return false;
			}
			++Pos;
		}
		if (!ParseDecimal(Text, Pos, 3, 255, Octets[Index]))
		{
			return false;
		}
	}
	OutAddress = FIPv4Address(
		static_cast<uint8>(Octets[0]), static_cast<uint8>(Octets[1]), static_cast<uint8>(Octets[2]), static_cast<uint8>(Octets[3]));
	return true;
}
} // namespace

FString FIPv4Address::ToString() const
{
	return FString::Printf(TEXT("%u.%u.%u.%u"), A, B, C, D);
}

bool FIPv4Address::Parse(const FString& AddressString, FIPv4Address& OutAddress)
{
	int32 Pos = 0;
	FIPv4Address Parsed;
	if (!ParseDottedQuad(AddressString, Pos, Parsed) || Pos != AddressString.Len())
	{
		return false;
	}
	OutAddress = Parsed;
	return true;
}

FString FIPv4Endpoint::ToString() const
{
	return FString::Printf(TEXT("%s:%u"), *Address.ToString(), static_cast<uint32>(Port));
}

TSharedRef<FInternetAddr> FIPv4Endpoint::ToInternetAddr() const
{
	TSharedRef<FInternetAddr> Addr = ISocketSubsystem::Get()->CreateInternetAddr();
	Addr->SetIp(Address.GetValue());
	Addr->SetPort(Port);
	return Addr;
}

bool FIPv4Endpoint::Parse(const FString& EndpointString, FIPv4Endpoint& OutEndpoint)
{
	int32 Pos = 0;
	FIPv4Address ParsedAddress;
	uint32 ParsedPort = 0;
	if (!ParseDottedQuad(EndpointString, Pos, ParsedAddress) || Pos >= EndpointString.Len() || EndpointString[Pos] != u':')
	{
		return false;
	}
	++Pos;
	if (!ParseDecimal(EndpointString, Pos, 5, 65535, ParsedPort) || Pos != EndpointString.Len())
	{
		return false;
	}
	OutEndpoint = FIPv4Endpoint(ParsedAddress, static_cast<uint16>(ParsedPort));
	return true;
}
