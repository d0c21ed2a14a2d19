#include "TavrixCameraMessage.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <span>

namespace TavrixSend
{
namespace
{
constexpr char32_t ReplacementCharacter = 0xFFFD;

template <typename T> std::string_view ShortestText(std::span<char> Buffer, T InValue)
{
	const std::to_chars_result Result = std::to_chars(Buffer.data(), Buffer.data() + Buffer.size(), InValue);
	return std::string_view(Buffer.data(), static_cast<size_t>(Result.ptr - Buffer.data()));
}

bool ReadsBackThroughDouble(std::string_view InText, float InValue)
{
	double Parsed = 0.0;
	std::from_chars(InText.data(), InText.data() + InText.size(), Parsed);
	const float Rounded = static_cast<float>(Parsed);
	return std::memcmp(&Rounded, &InValue, sizeof(float)) == 0;
}

void AppendHex4(std::string& Out, uint32_t InUnit)
{
	static constexpr char Digits[] = "0123456789ABCDEF";
	Out += "\\u";
	for (int Shift = 12; Shift >= 0; Shift -= 4)
	{
		Out += Digits[(InUnit >> Shift) & 0xF];
	}
}

void AppendEscapedCodePoint(std::string& Out, char32_t InCodePoint)
{
	if (InCodePoint >= 0x10000)
	{
		const uint32_t Offset = static_cast<uint32_t>(InCodePoint) - 0x10000;
		AppendHex4(Out, 0xD800 + (Offset >> 10));
		AppendHex4(Out, 0xDC00 + (Offset & 0x3FF));
	}
	else
	{
		AppendHex4(Out, static_cast<uint32_t>(InCodePoint));
	}
}

bool IsContinuation(unsigned char InByte)
{
	return (InByte & 0xC0) == 0x80;
}

/**
 * Decodes the well-formed UTF-8 sequence that starts at InText[Index] (the byte there is not ASCII). Returns its
 * length and code point, or length 0 when the lead byte does not start a well-formed sequence: overlong forms,
 * encoded surrogates and values beyond U+10FFFF are not well-formed.
 */
size_t DecodeSequence(std::string_view InText, size_t Index, char32_t& OutCodePoint)
{
	const auto Byte = [&](size_t Offset) { return static_cast<unsigned char>(InText[Index + Offset]); };
	const unsigned char Lead = Byte(0);
	size_t Length = 0;
	unsigned char SecondMin = 0x80;
	unsigned char SecondMax = 0xBF;
	if (Lead >= 0xC2 && Lead <= 0xDF)
	{
		Length = 2;
	}
	else if (Lead >= 0xE0 && Lead <= 0xEF)
	{
		Length = 3;
		SecondMin = Lead == 0xE0 ? 0xA0 : 0x80;
		SecondMax = Lead == 0xED ? 0x9F : 0xBF;
	}
	else if (Lead >= 0xF0 && Lead <= 0xF4)
	{
		Length = 4;
		SecondMin = Lead == 0xF0 ? 0x90 : 0x80;
		SecondMax = Lead == 0xF4 ? 0x8F : 0xBF;
	}
	if (Length == 0 || Index + Length > InText.size() || Byte(1) < SecondMin || Byte(1) > SecondMax)
	{
		return 0;
	}
	char32_t CodePoint = Lead & (0x7F >> Length);
	for (size_t Offset = 1; Offset < Length; ++Offset)
	{
		if (!IsContinuation(Byte(Offset)))
		{
			return 0;
		}
		CodePoint = (CodePoint << 6) | (Byte(Offset) & 0x3F);
	}
	OutCodePoint = CodePoint;
	return Length;
}

template <typename T, size_t N> void AppendNumberArray(std::string& Out, const std::array<T, N>& InValues)
{
	Out += '[';
	for (size_t Index = 0; Index < N; ++Index)
	{
		if (Index > 0)
		{
			Out += ',';
		}
		AppendJsonNumber(Out, InValues[Index]);
	}
	Out += ']';
}
} // namespace

void AppendJsonNumber(std::string& Out, float InValue)
{
	if (!std::isfinite(InValue))
	{
		Out += '0';
		return;
	}
	char Buffer[64];
	const std::string_view Shortest = ShortestText(Buffer, InValue);
	if (ReadsBackThroughDouble(Shortest, InValue))
	{
		Out += Shortest;
		return;
	}
	// A handful of floats have a shortest form that lies so close to the midpoint between two floats that the
	// detour through a double rounds it the other way; the exact double of the float never does.
	AppendJsonNumber(Out, static_cast<double>(InValue));
}

void AppendJsonNumber(std::string& Out, double InValue)
{
	if (!std::isfinite(InValue))
	{
		Out += '0';
		return;
	}
	char Buffer[64];
	Out += ShortestText(Buffer, InValue);
}

void AppendJsonNumber(std::string& Out, int32_t InValue)
{
	char Buffer[16];
	Out += ShortestText(Buffer, InValue);
}

void AppendJsonString(std::string& Out, std::string_view InUtf8)
{
	Out += '"';
	size_t Index = 0;
	while (Index < InUtf8.size())
	{
		const unsigned char Byte = static_cast<unsigned char>(InUtf8[Index]);
		if (Byte >= 0x80)
		{
			char32_t CodePoint = ReplacementCharacter;
			const size_t Length = DecodeSequence(InUtf8, Index, CodePoint);
			AppendEscapedCodePoint(Out, CodePoint);
			Index += Length > 0 ? Length : 1;
			continue;
		}
		switch (Byte)
		{
		case '"':
			Out += "\\\"";
			break;
		case '\\':
			Out += "\\\\";
			break;
		case '\b':
			Out += "\\b";
			break;
		case '\f':
			Out += "\\f";
			break;
		case '\n':
			Out += "\\n";
			break;
		case '\r':
			Out += "\\r";
			break;
		case '\t':
			Out += "\\t";
			break;
		default:
			if (Byte < 0x20 || Byte == 0x7F)
			{
				AppendHex4(Out, Byte);
			}
			else
			{
				Out += static_cast<char>(Byte);
			}
			break;
		}
		++Index;
	}
	Out += '"';
}

std::string BuildCameraMessage(const FTavrixCameraMessage& InMessage)
{
	std::string Out;
	Out.reserve(320);
	Out += "{\"TVKCamera\":[{\"Version\":";
	AppendJsonNumber(Out, InMessage.Version);
	Out += ",\"Location\":";
	AppendNumberArray(Out, InMessage.Location);
	Out += ",\"Rotation\":";
	AppendNumberArray(Out, InMessage.Rotation);
	Out += ",\"Scale\":";
	AppendNumberArray(Out, InMessage.Scale);
	Out += ",\"Lens\":";
	AppendNumberArray(Out, InMessage.Lens);
	Out += ",\"Timecode\":";
	AppendNumberArray(Out, std::array<int32_t, 3>{InMessage.TimecodeFrame, InMessage.TimecodeNumerator, InMessage.TimecodeDenominator});
	Out += ",\"Metadata\":[";
	for (size_t Index = 0; Index < InMessage.Metadata.size(); ++Index)
	{
		if (Index > 0)
		{
			Out += ',';
		}
		AppendJsonString(Out, InMessage.Metadata[Index]);
	}
	Out += "],\"State\":";
	AppendJsonNumber(Out, InMessage.State);
	Out += "}]}";
	return Out;
}
} // namespace TavrixSend
