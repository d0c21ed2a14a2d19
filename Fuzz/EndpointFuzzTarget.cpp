// Checks arbitrary text (one byte one character) as the plug-in checks endpoints and addresses, and traps when
// acceptance differs from an independent reading of the grammar A.B.C.D:PORT, when an accepted text reads otherwise
// in the engine's lenient parser, or when an accepted value does not survive ToString. The engine's parser itself
// must take any text without harm.
#include "Interfaces/IPv4/IPv4Address.h"
#include "Interfaces/IPv4/IPv4Endpoint.h"
#include "TavrixEndpointText.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace
{
void TrapUnless(bool bHolds, const char* What)
{
	if (!bHolds)
	{
		std::fprintf(stderr, "Broken invariant: %s\n", What);
		__builtin_trap();
	}
}

/** Pieces of Text between the separators; an empty piece where two separators meet or stand at an end. */
std::vector<std::u16string_view> Split(std::u16string_view Text, char16_t Separator)
{
	std::vector<std::u16string_view> Pieces;
	size_t Start = 0;
	for (size_t Pos = 0; Pos <= Text.size(); ++Pos)
	{
		if (Pos == Text.size() || Text[Pos] == Separator)
		{
			Pieces.push_back(Text.substr(Start, Pos - Start));
			Start = Pos + 1;
		}
	}
	return Pieces;
}

/** A run of 1..MaxDigits ASCII decimal digits whose value is within [Min, Max], leading zeros allowed. */
std::optional<uint32> ReadNumber(std::u16string_view Piece, size_t MaxDigits, uint32 Min, uint32 Max)
{
	if (Piece.empty() || Piece.size() > MaxDigits)
	{
		return std::nullopt;
	}
	uint32 Value = 0;
	for (const char16_t Character : Piece)
	{
		if (Character < u'0' || Character > u'9')
		{
			return std::nullopt;
		}
		Value = Value * 10 + static_cast<uint32>(Character - u'0');
	}
	return Value >= Min && Value <= Max ? std::optional<uint32>(Value) : std::nullopt;
}

std::optional<FIPv4Address> ReadAddress(std::u16string_view Text)
{
	const std::vector<std::u16string_view> Octets = Split(Text, u'.');
	if (Octets.size() != 4)
	{
		return std::nullopt;
	}
	uint8 Values[4];
	for (size_t Index = 0; Index < 4; ++Index)
	{
		const std::optional<uint32> Octet = ReadNumber(Octets[Index], 3, 0, 255);
		if (!Octet)
		{
			return std::nullopt;
		}
		Values[Index] = static_cast<uint8>(*Octet);
	}
	return FIPv4Address(Values[0], Values[1], Values[2], Values[3]);
}

std::optional<FIPv4Endpoint> ReadEndpoint(std::u16string_view Text)
{
	const std::vector<std::u16string_view> Halves = Split(Text, u':');
	if (Halves.size() != 2)
	{
		return std::nullopt;
	}
	const std::optional<FIPv4Address> Address = ReadAddress(Halves[0]);
	const std::optional<uint32> Port = ReadNumber(Halves[1], 5, 1, 65535);
	if (!Address || !Port)
	{
		return std::nullopt;
	}
	return FIPv4Endpoint(*Address, static_cast<uint16>(*Port));
}

std::u16string CanonicalText(const FIPv4Address& Address)
{
	const std::string Text = std::to_string(Address.Value >> 24) + "." + std::to_string((Address.Value >> 16) & 0xff) + "." +
		std::to_string((Address.Value >> 8) & 0xff) + "." + std::to_string(Address.Value & 0xff);
	return std::u16string(Text.begin(), Text.end());
}

void CheckAddress(const FString& Text)
{
	// Failing must leave the output alone.
	const FIPv4Address Untouched(1, 2, 3, 4);
	FIPv4Address Parsed = Untouched;
	const bool bAccepted = TavrixEndpointText::ParseAddress(Text, Parsed);
	const std::optional<FIPv4Address> Expected = ReadAddress(Text.GetStdString());
	TrapUnless(bAccepted == Expected.has_value(), "ParseAddress accepts other texts than the dotted-quad grammar");
	FIPv4Address Lenient = Untouched;
	const bool bLenientAccepted = FIPv4Address::Parse(Text, Lenient);
	if (!bAccepted)
	{
		TrapUnless(Parsed == Untouched, "ParseAddress changed its output on failure");
		return;
	}
	TrapUnless(Parsed == *Expected, "ParseAddress read other octets");
	TrapUnless(bLenientAccepted && Lenient == Parsed, "the engine reads an accepted address otherwise");
	const FString Written = Parsed.ToString();
	TrapUnless(Written.GetStdString() == CanonicalText(Parsed), "FIPv4Address::ToString is not the plain dotted quad");
	FIPv4Address Reparsed;
	TrapUnless(TavrixEndpointText::ParseAddress(Written, Reparsed) && Reparsed == Parsed, "an address written out does not parse back");
}

void CheckEndpoint(const FString& Text)
{
	const FIPv4Endpoint Untouched(FIPv4Address(1, 2, 3, 4), 5);
	FIPv4Endpoint Parsed = Untouched;
	const bool bAccepted = TavrixEndpointText::ParseEndpoint(Text, Parsed);
	const std::optional<FIPv4Endpoint> Expected = ReadEndpoint(Text.GetStdString());
	TrapUnless(bAccepted == Expected.has_value(), "ParseEndpoint accepts other texts than A.B.C.D:PORT with a port 1-65535");
	FIPv4Endpoint Lenient = Untouched;
	const bool bLenientAccepted = FIPv4Endpoint::Parse(Text, Lenient);
	if (!bAccepted)
	{
		TrapUnless(Parsed == Untouched, "ParseEndpoint changed its output on failure");
		return;
	}
	TrapUnless(Parsed == *Expected, "ParseEndpoint read another address or port");
	TrapUnless(bLenientAccepted && Lenient == Parsed, "the engine reads an accepted endpoint otherwise");
	const FString Written = Parsed.ToString();
	const std::string Port = ":" + std::to_string(Parsed.Port);
	TrapUnless(Written.GetStdString() == CanonicalText(Parsed.Address) + std::u16string(Port.begin(), Port.end()),
		"FIPv4Endpoint::ToString is not A.B.C.D:PORT");
	FIPv4Endpoint Reparsed;
	TrapUnless(TavrixEndpointText::ParseEndpoint(Written, Reparsed) && Reparsed == Parsed, "an endpoint written out does not parse back");
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)
{
	// One byte one character, zero bytes included: the parsers take counted text.
	std::u16string Characters(Data, Data + Size);
	const FString Text(std::move(Characters));
	CheckEndpoint(Text);
	CheckAddress(Text);
	// The address half of an endpoint text on its own, as the creation panel's settings store it.
	const size_t Colon = Text.GetStdString().find(u':');
	if (Colon != std::u16string::npos)
	{
		CheckAddress(FString(Text.GetStdString().substr(0, Colon)));
	}
	return 0;
}
