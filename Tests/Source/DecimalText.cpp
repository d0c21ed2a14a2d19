// The plug-in's own decimal conversions, held bit for bit to the standard library's (which some toolchains the
// editor accepts lack).
#include "TavrixNumberText.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace
{
uint64_t BitsOfDouble(double Value)
{
	uint64_t Bits = 0;
	std::memcpy(&Bits, &Value, sizeof(Bits));
	return Bits;
}

double DoubleFromBits(uint64_t Bits)
{
	double Value = 0.0;
	std::memcpy(&Value, &Bits, sizeof(Value));
	return Value;
}

/** What the standard library reads: the finite value when the whole text is one, otherwise nothing. */
bool ReadWithFromChars(const std::string& Text, double& OutValue)
{
	double Value = 0.0;
	const std::from_chars_result Result = std::from_chars(Text.data(), Text.data() + Text.size(), Value);
	if (Result.ec != std::errc() || Result.ptr != Text.data() + Text.size() || !std::isfinite(Value))
	{
		return false;
	}
	OutValue = Value;
	return true;
}

/** Empty when every text reads alike; else the first one that does not, with both readings. */
std::string FirstDisagreement(const std::vector<std::string>& Texts)
{
	for (const std::string& Text : Texts)
	{
		const FString Wide = FString::FromUtf8(Text.c_str());
		double Ours = 0.0;
		const bool bOurs = TavrixNumberText::ParseDecimal(*Wide, Wide.Len(), Ours);
		double Theirs = 0.0;
		const bool bTheirs = ReadWithFromChars(Text, Theirs);
		if (bOurs != bTheirs || (bOurs && BitsOfDouble(Ours) != BitsOfDouble(Theirs)))
		{
			char Readings[128];
			std::snprintf(Readings, sizeof(Readings), " -> ours %s %.17g, from_chars %s %.17g", bOurs ? "read" : "refused", Ours,
				bTheirs ? "read" : "refused", Theirs);
			return '"' + Text + '"' + Readings;
		}
	}
	return std::string();
}

std::string ShortestWithToChars(double Value)
{
	char Buffer[64];
	const std::to_chars_result Result = std::to_chars(Buffer, Buffer + sizeof(Buffer), Value);
	return std::string(Buffer, Result.ptr);
}

std::string FirstMisprint(const std::vector<double>& Values)
{
	for (const double Value : Values)
	{
		const std::string Ours = TavrixNumberText::FormatShortest(Value).ToUtf8();
		const std::string Theirs = ShortestWithToChars(Value);
		if (Ours != Theirs)
		{
			return "ours \"" + Ours + "\", to_chars \"" + Theirs + '"';
		}
	}
	return std::string();
}

/** A double drawn evenly over the bit patterns of the finite ones, either sign. */
double RandomFiniteDouble(std::mt19937_64& Random)
{
	for (;;)
	{
		const double Value = DoubleFromBits(Random());
		if (std::isfinite(Value))
		{
			return Value;
		}
	}
}

/** The exact value halfway between a positive double and the next one up, as decimal text (glibc prints exactly). */
std::string MidpointAbove(double Value)
{
	const long double Midpoint = (static_cast<long double>(Value) + std::nextafter(Value, INFINITY)) / 2;
	std::vector<char> Buffer(1400);
	std::snprintf(Buffer.data(), Buffer.size(), "%.1100Le", Midpoint);
	std::string Text(Buffer.data());
	// Drop the trailing zeros of the mantissa, which only make the text longer.
	const size_t Exponent = Text.find('e');
	size_t End = Exponent;
	while (End > 0 && Text[End - 1] == '0')
	{
		--End;
	}
	return Text.substr(0, End) + Text.substr(Exponent);
}
} // namespace

TEST(DecimalText, EdgesReadAsTheStandardLibraryReadsThem)
{
	const std::vector<std::string> Texts = {"0", "-0", "0.0", "-0.000", "0e400", "-0e-400", "1", "-1", "1.5", "1e23", "8.5e22",
		"9007199254740992", "9007199254740993", "9007199254740993.0000000001", "9007199254740995", "18446744073709551615",
		"18446744073709551616", "1234567890123456789", "12345678901234567890", "123456789012345678901", "0.1", "0.30000000000000004",
		"2.2250738585072011e-308", "2.2250738585072012e-308", "2.2250738585072014e-308", "4.9406564584124654e-324", "5e-324", "3e-324",
		"2.4703282292062328e-324", "2.4703282292062327e-324", "1e-320", "1e-400", "-1e-400", "1.7976931348623157e308",
		"1.7976931348623158e308", "1.797693134862315807e308", "1.7976931348623159e308", "1e309", "-1e309", "1e-22", "1e22", "4.35e-21",
		"7e-23", "0.000000000000000000000000000001", "100000000000000000000000000000000000000000000000000000000000000", "1.", "1.e5", "-.5",
		".5", "00012", "0.0001e4", "1E+05", "1e-05", "1e0000000000000000000000000000000000005", "1e-99999999999999999999999",
		"1e99999999999999999999", "0.00000000000000000000000000000000000000000000000000000000001e59",
		// No numbers: partial forms, other notations, signs and spaces the reading must refuse.
		"", "-", ".", "-.", "e5", "1e", "1e+", "1e-", "1..2", "1.2.3", "1e5.5", "+1", " 1", "1 ", "--1", "inf", "-inf", "nan", "infinity",
		"0x10", "1f", "1,5", "1d5"};
	EXPECT_EQ(FirstDisagreement(Texts), "");
}

TEST(DecimalText, GeneratedTextsReadAsTheStandardLibraryReadsThem)
{
	std::mt19937_64 Random(20261209);
	std::vector<std::string> Texts;
	// Every double's shortest and longer forms, and those forms one in the last digit off.
	for (int Index = 0; Index < 20000; ++Index)
	{
		const double Value = RandomFiniteDouble(Random);
		char Buffer[64];
		Texts.push_back(ShortestWithToChars(Value));
		for (const int Precision : {15, 16, 17, 18, 19})
		{
			std::snprintf(Buffer, sizeof(Buffer), "%.*e", Precision - 1, Value);
			Texts.push_back(Buffer);
			char* const Last = std::strchr(Buffer, 'e') - 1;
			*Last = *Last == '9' ? '8' : static_cast<char>(*Last + 1);
			Texts.push_back(Buffer);
		}
	}
	// Texts exactly halfway between two doubles, where only exact arithmetic rounds to the even one, and the same
	// texts nudged either way in a digit far beyond double precision; below each power of two the neighbour is
	// half as far as above it.
	std::vector<double> Below;
	for (int Power = -1073; Power <= 1023; Power += 3)
	{
		Below.push_back(std::nextafter(std::ldexp(1.0, Power), 0.0));
	}
	for (int Index = 0; Index < 2000 + static_cast<int>(Below.size()); ++Index)
	{
		const double Value =
			Index < static_cast<int>(Below.size()) ? Below[static_cast<size_t>(Index)] : std::fabs(RandomFiniteDouble(Random));
		if (Value == std::numeric_limits<double>::max())
		{
			continue;
		}
		const std::string Midpoint = MidpointAbove(Value);
		Texts.push_back(Midpoint);
		const size_t Exponent = Midpoint.find('e');
		Texts.push_back(Midpoint.substr(0, Exponent) + "000000000000000000001" + Midpoint.substr(Exponent));
		std::string JustBelow = Midpoint;
		size_t Digit = Exponent - 1;
		while (JustBelow[Digit] == '0')
		{
			JustBelow[Digit--] = '9';
		}
		--JustBelow[Digit];
		Texts.push_back(JustBelow.substr(0, Exponent) + "9999999999999999999" + JustBelow.substr(Exponent));
	}
	// Decimals of every length a datagram's text can have, with points and exponents anywhere.
	std::uniform_int_distribution<int> DigitCount(1, 40);
	std::uniform_int_distribution<int> AnyDigit(0, 9);
	std::uniform_int_distribution<int> AnyExponent(-360, 360);
	for (int Index = 0; Index < 20000; ++Index)
	{
		std::string Text = Index % 2 == 0 ? "" : "-";
		const int Count = DigitCount(Random);
		const int Point = std::uniform_int_distribution<int>(0, Count + 1)(Random);
		for (int Position = 0; Position < Count; ++Position)
		{
			if (Position == Point)
			{
				Text += '.';
			}
			Text += static_cast<char>('0' + AnyDigit(Random));
		}
		if (Index % 3 != 0)
		{
			Text += (Index % 5 == 0 ? "E" : "e") + std::to_string(AnyExponent(Random));
		}
		Texts.push_back(Text);
	}
	EXPECT_EQ(FirstDisagreement(Texts), "");
}

TEST(DecimalText, ShortestTextsAreTheStandardLibrarysTexts)
{
	std::vector<double> Values = {0.0, -0.0, 1.0, -1.0, 0.1, 0.5, 100.0, 1e15, 1e16, 1e17, 1e21, 1e22, 1e23, 123456789.0, 0.001, 0.0001,
		1e-5, 1.5e-7, 3e-5, 9007199254740992.0, 9007199254740993.0, 123456789012345680000.0, 12345678901234567890.0,
		999999999999999999999.0, 5e-324, 1e-320, 2.2250738585072014e-308, 2.2250738585072009e-308, 1.7976931348623157e308,
		-1.7976931348623157e308, 1e100, 1e-100, 1.2345e-300, 0.30000000000000004, 2.5, 1234567.125, 4.35, 1e-99, 1e99,
		std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()};
	for (int Power = -1074; Power <= 1023; ++Power)
	{
		Values.push_back(std::ldexp(1.0, Power));
		Values.push_back(std::nextafter(std::ldexp(1.0, Power), 0.0));
	}
	for (int Power = -323; Power <= 308; ++Power)
	{
		Values.push_back(std::pow(10.0, Power));
	}
	std::mt19937_64 Random(7);
	for (int Index = 0; Index < 30000; ++Index)
	{
		Values.push_back(RandomFiniteDouble(Random));
	}
	// Short decimals and integers, whose digits the fixed form shows.
	for (int Index = 0; Index < 20000; ++Index)
	{
		const double Mantissa = static_cast<double>(Random() % 100000000);
		Values.push_back(Mantissa * std::pow(10.0, static_cast<int>(Random() % 50) - 30));
		Values.push_back(static_cast<double>(Random() >> (Random() % 64)));
	}
	EXPECT_EQ(FirstMisprint(Values), "");
	EXPECT_EQ(TavrixNumberText::FormatShortest(std::numeric_limits<double>::quiet_NaN()).ToUtf8(),
		ShortestWithToChars(std::numeric_limits<double>::quiet_NaN()));
}

TEST(DecimalText, ShortestTextsReadBackExactly)
{
	std::mt19937_64 Random(11);
	for (int Index = 0; Index < 20000; ++Index)
	{
		const double Value = RandomFiniteDouble(Random);
		const FString Text = TavrixNumberText::FormatShortest(Value);
		double Read = 0.0;
		ASSERT_TRUE(TavrixNumberText::ParseDecimal(*Text, Text.Len(), Read)) << Text.ToUtf8();
		ASSERT_EQ(BitsOfDouble(Read), BitsOfDouble(Value)) << Text.ToUtf8();
	}
}
