#include "TavrixNumberText.h"

#include <cstring>

namespace TavrixNumberText
{
namespace
{
/**
 * More significant digits than any double's exact decimal expansion has (767): digits past these only matter as
 * "something non-zero follows", which one extra digit 1 keeps.
 */
constexpr int32 MaxDigits = 780;

/** A finite decimal number: Digits (most significant first, no leading zero) times ten to the Exponent. */
struct FDecimal
{
	uint8 Digits[MaxDigits + 1];
	int32 Count = 0;
	int32 Exponent = 0;
	bool bNegative = false;
};

/**
 * An unsigned integer, large enough for every product below: the exact expansion of any double (2,547 bits), and a
 * decimal of MaxDigits digits compared with a midpoint between doubles (under 3,800 bits).
 */
class FBigNumber
{
public:
	explicit FBigNumber(uint64 Value = 0)
	{
		if (Value != 0)
		{
			Push(static_cast<uint32>(Value));
			if ((Value >> 32) != 0)
			{
				Push(static_cast<uint32>(Value >> 32));
			}
		}
	}

	bool IsZero() const { return Count == 0; }

	void MultiplyAdd(uint32 Factor, uint32 Addend)
	{
		uint64 Carry = Addend;
		for (int32 Index = 0; Index < Count; ++Index)
		{
			const uint64 Product = static_cast<uint64>(Limbs[Index]) * Factor + Carry;
			Limbs[Index] = static_cast<uint32>(Product);
			Carry = Product >> 32;
		}
		if (Carry != 0)
		{
			Push(static_cast<uint32>(Carry));
		}
	}

	void MultiplyByPowerOf(uint32 Base, int32 Power)
	{
		// The largest power of the base that fits 32 bits, as many times as it goes, then the rest.
		uint32 Big = 1;
		int32 BigPower = 0;
		while (static_cast<uint64>(Big) * Base <= 0xFFFFFFFFull)
		{
			Big *= Base;
			++BigPower;
		}
		for (; Power >= BigPower; Power -= BigPower)
		{
			MultiplyAdd(Big, 0);
		}
		uint32 Rest = 1;
		for (; Power > 0; --Power)
		{
			Rest *= Base;
		}
		MultiplyAdd(Rest, 0);
	}

	void ShiftLeft(int32 Bits)
	{
		if (Count == 0 || Bits == 0)
		{
			return;
		}
		const int32 Words = Bits / 32;
		const int32 Rest = Bits % 32;
		if (Count + Words + 1 > Capacity)
		{
			return; // never reached: Capacity covers every product made here
		}
		Limbs[Count + Words] = 0;
		for (int32 Index = Count - 1; Index >= 0; --Index)
		{
			const uint64 Wide = static_cast<uint64>(Limbs[Index]) << Rest;
			Limbs[Index + Words + 1] |= static_cast<uint32>(Wide >> 32);
			Limbs[Index + Words] = static_cast<uint32>(Wide);
		}
		for (int32 Index = 0; Index < Words; ++Index)
		{
			Limbs[Index] = 0;
		}
		Count += Words + 1;
		Trim();
	}

	/** Divides in place; the remainder. */
	uint32 DivideSmall(uint32 Divisor)
	{
		uint64 Remainder = 0;
		for (int32 Index = Count - 1; Index >= 0; --Index)
		{
			const uint64 Wide = (Remainder << 32) | Limbs[Index];
			Limbs[Index] = static_cast<uint32>(Wide / Divisor);
			Remainder = Wide % Divisor;
		}
		Trim();
		return static_cast<uint32>(Remainder);
	}

	/** Negative, zero or positive as A is below, equal to or above B. */
	static int32 Compare(const FBigNumber& A, const FBigNumber& B)
	{
		if (A.Count != B.Count)
		{
			return A.Count < B.Count ? -1 : 1;
		}
		for (int32 Index = A.Count - 1; Index >= 0; --Index)
		{
			if (A.Limbs[Index] != B.Limbs[Index])
			{
				return A.Limbs[Index] < B.Limbs[Index] ? -1 : 1;
			}
		}
		return 0;
	}

private:
	static constexpr int32 Capacity = 128;

	void Push(uint32 Limb)
	{
		if (Count < Capacity)
		{
			Limbs[Count++] = Limb;
		}
	}

	void Trim()
	{
		while (Count > 0 && Limbs[Count - 1] == 0)
		{
			--Count;
		}
	}

	uint32 Limbs[Capacity];
	int32 Count = 0;
};

constexpr uint64 FractionMask = (uint64(1) << 52) - 1;
constexpr uint64 InfinityBits = uint64(0x7FF) << 52;
constexpr uint64 SignBit = uint64(1) << 63;

uint64 BitsOf(double Value)
{
	uint64 Bits = 0;
	std::memcpy(&Bits, &Value, sizeof(Bits));
	return Bits;
}

double FromBits(uint64 Bits)
{
	double Value = 0.0;
	std::memcpy(&Value, &Bits, sizeof(Value));
	return Value;
}

/** A positive finite double as Mantissa times two to the Power. */
void Decompose(uint64 Bits, uint64& OutMantissa, int32& OutPower)
{
	const int32 Field = static_cast<int32>((Bits >> 52) & 0x7FF);
	OutMantissa = Field == 0 ? (Bits & FractionMask) : ((Bits & FractionMask) | (uint64(1) << 52));
	OutPower = Field == 0 ? -1074 : Field - 1075;
}

/** The sign of (the decimal's magnitude) minus Numerator times two to the Power. */
int32 CompareWith(const FDecimal& Decimal, uint64 Numerator, int32 Power)
{
	FBigNumber Left;
	for (int32 Index = 0; Index < Decimal.Count; ++Index)
	{
		Left.MultiplyAdd(10, Decimal.Digits[Index]);
	}
	FBigNumber Right(Numerator);
	if (Decimal.Exponent > 0)
	{
		Left.MultiplyByPowerOf(10, Decimal.Exponent);
	}
	else
	{
		Right.MultiplyByPowerOf(10, -Decimal.Exponent);
	}
	if (Power > 0)
	{
		Right.ShiftLeft(Power);
	}
	else
	{
		Left.ShiftLeft(-Power);
	}
	return FBigNumber::Compare(Left, Right);
}

constexpr double ExactPowersOfTen[] = {
	1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr int32 MaxExactPower = 22;

/** The double nearest the decimal (ties to even); false when that is infinite, or zero for a non-zero decimal. */
bool ToDouble(const FDecimal& Decimal, double& OutValue)
{
	if (Decimal.Count == 0)
	{
		OutValue = Decimal.bNegative ? -0.0 : 0.0;
		return true;
	}
	// Beyond these orders of magnitude every decimal rounds to infinity (above 1e310) or to zero (below 1e-324).
	const int32 Order = Decimal.Count + Decimal.Exponent;
	if (Order > 310 || Order < -324)
	{
		return false;
	}

	const int32 Leading = Decimal.Count < 19 ? Decimal.Count : 19;
	uint64 LeadingDigits = 0;
	for (int32 Index = 0; Index < Leading; ++Index)
	{
		LeadingDigits = LeadingDigits * 10 + Decimal.Digits[Index];
	}
	int32 Power = Decimal.Exponent + (Decimal.Count - Leading);

	// Both factors exact, so the one rounding of the product or quotient is the correct one.
	constexpr uint64 ExactIntegers = uint64(1) << 53;
	if (Leading == Decimal.Count && LeadingDigits <= ExactIntegers && Power >= -MaxExactPower && Power <= MaxExactPower)
	{
		const double Magnitude = Power >= 0 ? static_cast<double>(LeadingDigits) * ExactPowersOfTen[Power]
											: static_cast<double>(LeadingDigits) / ExactPowersOfTen[-Power];
		OutValue = Decimal.bNegative ? -Magnitude : Magnitude;
		return true;
	}

	// Otherwise a guess a few units in the last place off, moved one double at a time until the decimal lies
	// within its rounding interval, decided by exact integer comparison with the midpoints to its neighbours.
	double Guess = static_cast<double>(LeadingDigits);
	while (Power > 0 && BitsOf(Guess) < InfinityBits)
	{
		const int32 Step = Power < MaxExactPower ? Power : MaxExactPower;
		Guess *= ExactPowersOfTen[Step];
		Power -= Step;
	}
	while (Power < 0 && Guess != 0.0)
	{
		const int32 Step = -Power < MaxExactPower ? -Power : MaxExactPower;
		Guess /= ExactPowersOfTen[Step];
		Power += Step;
	}
	uint64 Bits = BitsOf(Guess);
	Bits = Bits >= InfinityBits ? InfinityBits - 1 : (Bits == 0 ? 1 : Bits);
	for (;;)
	{
		uint64 Mantissa = 0;
		int32 TwoPower = 0;
		Decompose(Bits, Mantissa, TwoPower);
		const bool bOdd = (Mantissa & 1) != 0;
		const int32 AboveUpper = CompareWith(Decimal, 2 * Mantissa + 1, TwoPower - 1);
		if (AboveUpper > 0 || (AboveUpper == 0 && bOdd))
		{
			if (++Bits == InfinityBits)
			{
				return false;
			}
			continue;
		}
		// Just above a power of two the neighbour below is half as far away.
		const bool bNarrowBelow = (Bits & FractionMask) == 0 && (Bits >> 52) > 1;
		const int32 AboveLower =
			bNarrowBelow ? CompareWith(Decimal, 4 * Mantissa - 1, TwoPower - 2) : CompareWith(Decimal, 2 * Mantissa - 1, TwoPower - 1);
		if (AboveLower < 0 || (AboveLower == 0 && bOdd))
		{
			if (--Bits == 0)
			{
				return false;
			}
			continue;
		}
		break;
	}
	OutValue = FromBits(Bits | (Decimal.bNegative ? SignBit : 0));
	return true;
}

bool IsDigit(TCHAR Character)
{
	return Character >= TEXT('0') && Character <= TEXT('9');
}

/** The text's number as a decimal, exactly as far as it matters for rounding; false when it is not one. */
bool ReadDecimal(const TCHAR* Text, int32 Length, FDecimal& Out)
{
	int32 Pos = 0;
	Out.bNegative = Length > 0 && Text[0] == TEXT('-');
	Pos += Out.bNegative ? 1 : 0;

	int64 Exponent = 0;
	bool bAnyDigit = false;
	bool bPoint = false;
	bool bDroppedNonZero = false;
	for (; Pos < Length; ++Pos)
	{
		const TCHAR Character = Text[Pos];
		if (Character == TEXT('.') && !bPoint)
		{
			bPoint = true;
			continue;
		}
		if (!IsDigit(Character))
		{
			break;
		}
		bAnyDigit = true;
		const uint8 Digit = static_cast<uint8>(Character - TEXT('0'));
		if (Out.Count == 0 && Digit == 0)
		{
			Exponent -= bPoint ? 1 : 0;
		}
		else if (Out.Count < MaxDigits)
		{
			Out.Digits[Out.Count++] = Digit;
			Exponent -= bPoint ? 1 : 0;
		}
		else
		{
			Exponent += bPoint ? 0 : 1;
			bDroppedNonZero = bDroppedNonZero || Digit != 0;
		}
	}
	if (!bAnyDigit)
	{
		return false;
	}
	if (Pos < Length && (Text[Pos] == TEXT('e') || Text[Pos] == TEXT('E')))
	{
		++Pos;
		const bool bNegativeExponent = Pos < Length && Text[Pos] == TEXT('-');
		Pos += Pos < Length && (Text[Pos] == TEXT('-') || Text[Pos] == TEXT('+')) ? 1 : 0;
		if (Pos == Length || !IsDigit(Text[Pos]))
		{
			return false;
		}
		// Far beyond every range, and far from overflowing the sum below.
		constexpr int64 WrittenClamp = int64(1) << 40;
		int64 Written = 0;
		for (; Pos < Length && IsDigit(Text[Pos]); ++Pos)
		{
			Written = Written * 10 + (Text[Pos] - TEXT('0'));
			Written = Written > WrittenClamp ? WrittenClamp : Written;
		}
		Exponent += bNegativeExponent ? -Written : Written;
	}
	if (Pos != Length)
	{
		return false;
	}
	if (bDroppedNonZero)
	{
		Out.Digits[Out.Count++] = 1;
		--Exponent;
	}
	while (Out.Count > 0 && Out.Digits[Out.Count - 1] == 0)
	{
		--Out.Count;
		++Exponent;
	}
	// Only the order of magnitude matters beyond this: such numbers are out of range or zero.
	constexpr int64 Clamp = 1000000;
	Out.Exponent = static_cast<int32>(Exponent < -Clamp ? -Clamp : (Exponent > Clamp ? Clamp : Exponent));
	return true;
}

/** Adds one unit in the last of Count digits; a carry out of the first digit leaves one digit 1, Exponent raised. */
void RoundUp(FDecimal& Decimal)
{
	int32 Index = Decimal.Count - 1;
	while (Index >= 0 && Decimal.Digits[Index] == 9)
	{
		--Index;
	}
	if (Index < 0)
	{
		Decimal.Exponent += Decimal.Count;
		Decimal.Digits[0] = 1;
		Decimal.Count = 1;
		return;
	}
	++Decimal.Digits[Index];
	Decimal.Exponent += Decimal.Count - 1 - Index;
	Decimal.Count = Index + 1;
}

void StripTrailingZeros(FDecimal& Decimal)
{
	while (Decimal.Count > 1 && Decimal.Digits[Decimal.Count - 1] == 0)
	{
		--Decimal.Count;
		++Decimal.Exponent;
	}
}

bool ReadsBackAs(const FDecimal& Decimal, uint64 Bits)
{
	double Value = 0.0;
	return ToDouble(Decimal, Value) && BitsOf(Value) == Bits;
}

/** The shortest decimal that reads back as the positive finite double; the nearest one when several do. */
void ShortestDecimal(uint64 Bits, FDecimal& Out)
{
	uint64 Mantissa = 0;
	int32 TwoPower = 0;
	Decompose(Bits, Mantissa, TwoPower);
	// The exact value: Mantissa times 2^TwoPower, or Mantissa times 5^-TwoPower over 10^-TwoPower.
	FBigNumber Exact(Mantissa);
	FDecimal All;
	All.Exponent = 0;
	if (TwoPower >= 0)
	{
		Exact.ShiftLeft(TwoPower);
	}
	else
	{
		Exact.MultiplyByPowerOf(5, -TwoPower);
		All.Exponent = TwoPower;
	}
	// Nine digits a division: the expansion of a small double has over seven hundred.
	uint8 Reversed[MaxDigits + 9];
	int32 Count = 0;
	while (!Exact.IsZero() && Count < MaxDigits)
	{
		uint32 Chunk = Exact.DivideSmall(1000000000);
		for (int32 Digit = 0; Digit < 9; ++Digit, Chunk /= 10)
		{
			Reversed[Count++] = static_cast<uint8>(Chunk % 10);
		}
	}
	while (Count > 1 && Reversed[Count - 1] == 0)
	{
		--Count; // the last chunk's leading zeros
	}
	Count = Count < MaxDigits ? Count : MaxDigits; // never cuts: no double has that many digits
	for (int32 Index = 0; Index < Count; ++Index)
	{
		All.Digits[Index] = Reversed[Count - 1 - Index];
	}
	All.Count = Count;
	StripTrailingZeros(All);

	for (int32 Precision = 1; Precision < All.Count && Precision <= 17; ++Precision)
	{
		FDecimal Down;
		std::memcpy(Down.Digits, All.Digits, static_cast<size_t>(Precision));
		Down.Count = Precision;
		Down.Exponent = All.Exponent + (All.Count - Precision);
		FDecimal Up = Down;
		RoundUp(Up);
		StripTrailingZeros(Down);

		// What was cut off, against half a unit of the last digit kept; it is never zero (no trailing zeros).
		const uint8 FirstCut = All.Digits[Precision];
		const bool bMoreAfterFirst = All.Count > Precision + 1;
		const bool bAboveHalf = FirstCut > 5 || (FirstCut == 5 && bMoreAfterFirst);
		const bool bHalf = FirstCut == 5 && !bMoreAfterFirst;
		const bool bUpIsNearer = bAboveHalf || (bHalf && (All.Digits[Precision - 1] & 1) != 0);
		const FDecimal& Nearer = bUpIsNearer ? Up : Down;
		const FDecimal& Farther = bUpIsNearer ? Down : Up;
		if (ReadsBackAs(Nearer, Bits))
		{
			Out = Nearer;
			return;
		}
		if (ReadsBackAs(Farther, Bits))
		{
			Out = Farther;
			return;
		}
	}
	// No shorter decimal reads back: the exact value has at most seventeen digits (seventeen always suffice).
	Out = All;
}

void AppendDigits(FString& Text, const uint8* Digits, int32 Count)
{
	for (int32 Index = 0; Index < Count; ++Index)
	{
		Text.AppendChar(static_cast<TCHAR>(TEXT('0') + Digits[Index]));
	}
}

void AppendZeros(FString& Text, int32 Count)
{
	for (; Count > 0; --Count)
	{
		Text.AppendChar(TEXT('0'));
	}
}

/** The exact decimal digits of a double that is an integer, with no sign. */
void AppendInteger(FString& Text, uint64 Bits)
{
	uint64 Mantissa = 0;
	int32 TwoPower = 0;
	Decompose(Bits, Mantissa, TwoPower);
	FBigNumber Exact(Mantissa);
	if (TwoPower >= 0)
	{
		Exact.ShiftLeft(TwoPower);
	}
	else
	{
		Exact = FBigNumber(Mantissa >> -TwoPower);
	}
	uint8 Reversed[MaxDigits];
	int32 Count = 0;
	do
	{
		Reversed[Count++] = static_cast<uint8>(Exact.DivideSmall(10));
	} while (!Exact.IsZero() && Count < MaxDigits);
	for (int32 Index = Count - 1; Index >= 0; --Index)
	{
		Text.AppendChar(static_cast<TCHAR>(TEXT('0') + Reversed[Index]));
	}
}
} // namespace

bool ParseDecimal(const TCHAR* Text, int32 Length, double& OutValue)
{
	FDecimal Decimal;
	return ReadDecimal(Text, Length, Decimal) && ToDouble(Decimal, OutValue);
}

FString FormatShortest(double Value)
{
	const uint64 AllBits = BitsOf(Value);
	const bool bNegative = (AllBits & SignBit) != 0;
	const uint64 Bits = AllBits & ~SignBit;
	FString Text;
	if (bNegative)
	{
		Text.AppendChar(TEXT('-'));
	}
	if (Bits >= InfinityBits)
	{
		Text.AppendChars(Bits == InfinityBits ? TEXT("inf") : TEXT("nan"), 3);
		return Text;
	}
	if (Bits == 0)
	{
		Text.AppendChar(TEXT('0'));
		return Text;
	}

	FDecimal Shortest;
	ShortestDecimal(Bits, Shortest);
	const int32 Count = Shortest.Count;
	// Written d.ddd times ten to the Scientific.
	const int32 Scientific = Shortest.Exponent + Count - 1;
	const int32 ScientificDigits = Scientific >= 100 || Scientific <= -100 ? 3 : 2;
	const int32 ScientificLength = Count + (Count > 1 ? 1 : 0) + 2 + ScientificDigits;
	const int32 FixedLength = Scientific >= Count - 1 ? Scientific + 1 : (Scientific >= 0 ? Count + 1 : Count + 1 - Scientific);
	if (FixedLength <= ScientificLength)
	{
		if (Scientific >= Count - 1)
		{
			// An integer, written with all its digits as "%.0f" writes it, not padded with zeros.
			AppendInteger(Text, Bits);
		}
		else if (Scientific >= 0)
		{
			AppendDigits(Text, Shortest.Digits, Scientific + 1);
			Text.AppendChar(TEXT('.'));
			AppendDigits(Text, Shortest.Digits + Scientific + 1, Count - Scientific - 1);
		}
		else
		{
			Text.AppendChars(TEXT("0."), 2);
			AppendZeros(Text, -Scientific - 1);
			AppendDigits(Text, Shortest.Digits, Count);
		}
		return Text;
	}
	AppendDigits(Text, Shortest.Digits, 1);
	if (Count > 1)
	{
		Text.AppendChar(TEXT('.'));
		AppendDigits(Text, Shortest.Digits + 1, Count - 1);
	}
	Text.AppendChar(TEXT('e'));
	Text.AppendChar(Scientific < 0 ? TEXT('-') : TEXT('+'));
	const int32 Magnitude = Scientific < 0 ? -Scientific : Scientific;
	if (ScientificDigits == 3)
	{
		Text.AppendChar(static_cast<TCHAR>(TEXT('0') + Magnitude / 100));
	}
	Text.AppendChar(static_cast<TCHAR>(TEXT('0') + Magnitude / 10 % 10));
	Text.AppendChar(static_cast<TCHAR>(TEXT('0') + Magnitude % 10));
	return Text;
}
} // namespace TavrixNumberText
