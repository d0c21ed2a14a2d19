#include "Interfaces/IPv4/IPv4Address.h"
#include "Interfaces/IPv4/IPv4Endpoint.h"

#include "SocketSubsystem.h"

const FIPv4Address FIPv4Address::Any(0, 0, 0, 0);
const FIPv4Address FIPv4Address::InternalLoopback(127, 0, 0, 1);
const FIPv4Endpoint FIPv4Endpoint::Any(FIPv4Address::Any, 0);

namespace
{
/** The pieces between separators, empty ones kept, as the engine's ParseIntoArray without culling: none for "". */
TArray<FString> SplitKeepingEmpty(const FString& Text, TCHAR Separator)
{
	TArray<FString> Pieces;
	if (Text.IsEmpty())
	{
		return Pieces;
	}
	int32 Start = 0;
	for (int32 Pos = 0; Pos <= Text.Len(); ++Pos)
	{
		if (Pos == Text.Len() || Text[Pos] == Separator)
		{
			Pieces.Add(Text.Mid(Start, Pos - Start));
			Start = Pos + 1;
		}
	}
	return Pieces;
}

/**
 * As the C runtime's atoi reads text: leading white space, an optional sign, then digits up to the first other
 * character; no digits give 0. The value wraps to 32 bits, as an overlong number does in the engine.
 */
int32 ReadAsAtoi(const FString& Text)
{
	int32 Pos = 0;
	while (Pos < Text.Len() && (Text[Pos] == u' ' || (Text[Pos] >= u'\t' && Text[Pos] <= u'\r')))
	{
		++Pos;
	}
	bool bNegative = false;
	if (Pos < Text.Len() && (Text[Pos] == u'+' || Text[Pos] == u'-'))
	{
		bNegative = Text[Pos] == u'-';
		++Pos;
	}
	uint32 Value = 0;
	for (; Pos < Text.Len() && Text[Pos] >= u'0' && Text[Pos] <= u'9'; ++Pos)
	{
		Value = Value * 10u + static_cast<uint32>(Text[Pos] - u'0');
	}
	return static_cast<int32>(bNegative ? 0u - Value : Value);
}
} // namespace

FString FIPv4Address::ToString() const
{
	return FString::Printf(TEXT("%u.%u.%u.%u"), (Value >> 24) & 0xffu, (Value >> 16) & 0xffu, (Value >> 8) & 0xffu, Value & 0xffu);
}

bool FIPv4Address::Parse(const FString& AddressString, FIPv4Address& OutAddress)
{
	const TArray<FString> Octets = SplitKeepingEmpty(AddressString, u'.');
	if (Octets.Num() != 4)
	{
		return false;
	}
	OutAddress = FIPv4Address(static_cast<uint8>(ReadAsAtoi(Octets[0])), static_cast<uint8>(ReadAsAtoi(Octets[1])),
		static_cast<uint8>(ReadAsAtoi(Octets[2])), static_cast<uint8>(ReadAsAtoi(Octets[3])));
	return true;
}

FString FIPv4Endpoint::ToString() const
{
	return FString::Printf(TEXT("%s:%u"), *Address.ToString(), static_cast<uint32>(Port));
}

TSharedRef<FInternetAddr> FIPv4Endpoint::ToInternetAddr() const
{
	TSharedRef<FInternetAddr> Addr = ISocketSubsystem::Get()->CreateInternetAddr();
	Addr->SetIp(Address.Value);
	Addr->SetPort(Port);
	return Addr;
}

bool FIPv4Endpoint::Parse(const FString& EndpointString, FIPv4Endpoint& OutEndpoint)
{
	const TArray<FString> Pieces = SplitKeepingEmpty(EndpointString, u':');
	if (Pieces.Num() != 2 || !FIPv4Address::Parse(Pieces[0], OutEndpoint.Address))
	{
		return false;
	}
	OutEndpoint.Port = static_cast<uint16>(ReadAsAtoi(Pieces[1]));
	return true;
}
