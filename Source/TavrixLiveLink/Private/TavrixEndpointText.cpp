#include "TavrixEndpointText.h"

namespace TavrixEndpointText
{
namespace
{
/** One to MaxDigits decimal digits at Text[Pos] whose value lies in [Min, Max]; Pos moves past them. */
bool ReadNumber(const FString& Text, int32& Pos, int32 MaxDigits, uint32 Min, uint32 Max)
{
	uint32 Value = 0;
	int32 Digits = 0;
	while (Pos < Text.Len() && Text[Pos] >= TEXT('0') && Text[Pos] <= TEXT('9'))
	{
		if (++Digits > MaxDigits)
		{
			return false;
		}
		Value = Value * 10 + static_cast<uint32>(Text[Pos] - TEXT('0'));
		++Pos;
	}
	return Digits > 0 && Value >= Min && Value <= Max;
}

bool ReadAddress(const FString& Text, int32& Pos)
{
	for (int32 Octet = 0; Octet < 4; ++Octet)
	{
		if (Octet > 0)
		{
			if (Pos >= Text.Len() || Text[Pos] != TEXT('.'))
			{
				return false;
			}
			++Pos;
		}
		if (!ReadNumber(Text, Pos, 3, 0, 255))
		{
			return false;
		}
	}
	return true;
}
} // namespace

bool IsAddress(const FString& Text)
{
	int32 Pos = 0;
	return ReadAddress(Text, Pos) && Pos == Text.Len();
}

bool IsEndpoint(const FString& Text)
{
	int32 Pos = 0;
	if (!ReadAddress(Text, Pos) || Pos >= Text.Len() || Text[Pos] != TEXT(':'))
	{
		return false;
	}
	++Pos;
	return ReadNumber(Text, Pos, 5, 1, 65535) && Pos == Text.Len();
}

bool ParseAddress(const FString& Text, FIPv4Address& OutAddress)
{
	// Text of this form reads the same in every engine parser; only then is the engine asked.
	return IsAddress(Text) && FIPv4Address::Parse(Text, OutAddress);
}

bool ParseEndpoint(const FString& Text, FIPv4Endpoint& OutEndpoint)
{
	return IsEndpoint(Text) && FIPv4Endpoint::Parse(Text, OutEndpoint);
}
} // namespace TavrixEndpointText
