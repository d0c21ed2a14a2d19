#include "CameraMessageModel.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <utility>
#include <vector>

namespace CameraMessageModel
{
namespace
{
enum class EKind
{
	Null,
	Boolean,
	Number,
	String,
	Array,
	Object,
};

struct FMember;

/** One JSON value. Members keep document order, each name once (see FTreeBuilder::Attach). */
struct FValue
{
	EKind Kind = EKind::Null;
	bool bBoolean = false;
	double Number = 0.0;
	std::u16string Text;
	std::vector<FValue> Elements;
	std::vector<FMember> Members;
};

struct FMember
{
	std::u16string Name;
	FValue Value;
};

FValue MakeValue(EKind Kind)
{
	FValue Value;
	Value.Kind = Kind;
	return Value;
}

/** Where escaped lone low surrogates were moved to for nlohmann's sake (see MoveLoneLowSurrogates). */
constexpr uint32_t LoneLowSurrogateStandIn = 0xF0000;
constexpr uint32_t LowSurrogateFirst = 0xDC00;
constexpr uint32_t LowSurrogateLast = 0xDFFF;

/** nlohmann's strings are valid UTF-8; the host holds UTF-16. */
std::u16string Utf8ToUtf16(const std::string& Utf8, bool bRestoreLoneLowSurrogates)
{
	std::u16string Out;
	size_t Index = 0;
	while (Index < Utf8.size())
	{
		const unsigned char Lead = static_cast<unsigned char>(Utf8[Index]);
		const int Extra = Lead < 0x80 ? 0 : Lead < 0xE0 ? 1 : Lead < 0xF0 ? 2 : 3;
		uint32_t Code = Extra == 0 ? Lead : Lead & (0x3F >> Extra);
		for (int Follow = 1; Follow <= Extra; ++Follow)
		{
			Code = (Code << 6) | (static_cast<unsigned char>(Utf8[Index + static_cast<size_t>(Follow)]) & 0x3F);
		}
		Index += static_cast<size_t>(Extra) + 1;
		if (bRestoreLoneLowSurrogates && Code >= LoneLowSurrogateStandIn &&
			Code <= LoneLowSurrogateStandIn + (LowSurrogateLast - LowSurrogateFirst))
		{
			Out.push_back(static_cast<char16_t>(LowSurrogateFirst + (Code - LoneLowSurrogateStandIn)));
		}
		else if (Code >= 0x10000)
		{
			Out.push_back(static_cast<char16_t>(0xD800 + ((Code - 0x10000) >> 10)));
			Out.push_back(static_cast<char16_t>(0xDC00 + ((Code - 0x10000) & 0x3FF)));
		}
		else
		{
			Out.push_back(static_cast<char16_t>(Code));
		}
	}
	return Out;
}

/** The datagram's characters (byte values, zero bytes dropped) written as UTF-8 for nlohmann's reader. */
std::string Latin1ToUtf8(std::string_view Bytes)
{
	std::string Out;
	Out.reserve(Bytes.size() * 2);
	for (const char Byte : Bytes)
	{
		const unsigned char Code = static_cast<unsigned char>(Byte);
		if (Code == 0)
		{
			continue;
		}
		if (Code < 0x80)
		{
			Out.push_back(static_cast<char>(Code));
		}
		else
		{
			Out.push_back(static_cast<char>(0xC0 | (Code >> 6)));
			Out.push_back(static_cast<char>(0x80 | (Code & 0x3F)));
		}
	}
	return Out;
}

bool EqualsIgnoringAsciiCase(const std::u16string& A, std::u16string_view B)
{
	if (A.size() != B.size())
	{
		return false;
	}
	const auto Lower = [](char16_t C) { return C >= u'A' && C <= u'Z' ? static_cast<char16_t>(C - u'A' + u'a') : C; };
	for (size_t Index = 0; Index < A.size(); ++Index)
	{
		if (Lower(A[Index]) != Lower(B[Index]))
		{
			return false;
		}
	}
	return true;
}

/**
 * The host's reader refuses a number whose positive exponent exceeds 308 plus the count of fraction digits written
 * before it, deciding before it knows the value. Every non-zero number refused that way lies beyond the double range,
 * which nlohmann refuses too; what is left is a zero written with a large exponent (0e400, -0.00e311), which is in
 * range and valid JSON, yet refused by the host. The model follows the host here.
 */
bool IsBeyondExponentLimit(const std::string& NumberText)
{
	size_t Pos = 0;
	const auto IsDigitAt = [&NumberText](size_t At) { return At < NumberText.size() && NumberText[At] >= '0' && NumberText[At] <= '9'; };
	if (Pos < NumberText.size() && NumberText[Pos] == '-')
	{
		++Pos;
	}
	while (IsDigitAt(Pos))
	{
		++Pos;
	}
	int64_t FractionDigits = 0;
	if (Pos < NumberText.size() && NumberText[Pos] != 'e' && NumberText[Pos] != 'E')
	{
		++Pos; // the decimal point
		while (IsDigitAt(Pos))
		{
			++Pos;
			++FractionDigits;
		}
	}
	if (Pos >= NumberText.size())
	{
		return false;
	}
	++Pos; // 'e' or 'E'
	if (NumberText[Pos] == '-')
	{
		return false;
	}
	if (NumberText[Pos] == '+')
	{
		++Pos;
	}
	int64_t Exponent = 0;
	while (IsDigitAt(Pos))
	{
		Exponent = std::min<int64_t>(Exponent * 10 + (NumberText[Pos] - '0'), int64_t(1) << 40);
		++Pos;
	}
	return Exponent > 308 + FractionDigits;
}

int HexDigitValue(char Digit)
{
	if (Digit >= '0' && Digit <= '9')
	{
		return Digit - '0';
	}
	if (Digit >= 'a' && Digit <= 'f')
	{
		return Digit - 'a' + 10;
	}
	if (Digit >= 'A' && Digit <= 'F')
	{
		return Digit - 'A' + 10;
	}
	return -1;
}

/** The code unit of a \uXXXX escape at At, if one stands there. */
std::optional<uint32_t> ReadHexEscape(const std::string& Text, size_t At)
{
	if (At + 6 > Text.size() || Text[At] != '\\' || Text[At + 1] != 'u')
	{
		return std::nullopt;
	}
	uint32_t Code = 0;
	for (size_t Pos = At + 2; Pos < At + 6; ++Pos)
	{
		const int Value = HexDigitValue(Text[Pos]);
		if (Value < 0)
		{
			return std::nullopt;
		}
		Code = Code * 16 + static_cast<uint32_t>(Value);
	}
	return Code;
}

/**
 * The host's reader keeps an escaped low surrogate that follows no high one (\uDC00 alone) as that one code unit,
 * where nlohmann refuses the text. So that nlohmann reads such a text too, each of those escapes is replaced by the
 * escaped surrogate pair of a code point in plane 15 that stands in for it, and the strings map it back. When the
 * text escapes plane 15's first code points itself, the stand-ins would be ambiguous: no reading (nullopt).
 */
std::optional<std::string> MoveLoneLowSurrogates(const std::string& Text, bool& bOutMoved)
{
	constexpr uint32_t StandInHighSurrogate = 0xD800 + ((LoneLowSurrogateStandIn - 0x10000) >> 10);
	std::string Out;
	Out.reserve(Text.size());
	bool bStandInsEscaped = false;
	bOutMoved = false;
	size_t Pos = 0;
	while (Pos < Text.size())
	{
		if (Text[Pos] != '\\')
		{
			Out.push_back(Text[Pos++]);
			continue;
		}
		const std::optional<uint32_t> Code = ReadHexEscape(Text, Pos);
		if (!Code)
		{
			// Any other escape is two characters; a backslash outside a string makes both readers refuse the text.
			Out.append(Text, Pos, 2);
			Pos += 2;
			continue;
		}
		const bool bHigh = *Code >= 0xD800 && *Code < LowSurrogateFirst;
		const std::optional<uint32_t> Next = bHigh ? ReadHexEscape(Text, Pos + 6) : std::nullopt;
		if (bHigh && Next && *Next >= LowSurrogateFirst && *Next <= LowSurrogateLast)
		{
			bStandInsEscaped = bStandInsEscaped || *Code == StandInHighSurrogate;
			Out.append(Text, Pos, 12);
			Pos += 12;
			continue;
		}
		if (*Code >= LowSurrogateFirst && *Code <= LowSurrogateLast)
		{
			char Escaped[16];
			std::snprintf(Escaped, sizeof(Escaped), "\\u%04X\\u%04X", StandInHighSurrogate, *Code);
			Out += Escaped;
			bOutMoved = true;
		}
		else
		{
			Out.append(Text, Pos, 6);
		}
		Pos += 6;
	}
	if (bOutMoved && bStandInsEscaped)
	{
		return std::nullopt;
	}
	return Out;
}

/** Builds the value tree and refuses what the receiver refuses: a top that is not an object, and excessive depth. */
class FTreeBuilder final : public nlohmann::json_sax<nlohmann::json>
{
public:
	explicit FTreeBuilder(bool bInRestoreLoneLowSurrogates)
		: bRestoreLoneLowSurrogates(bInRestoreLoneLowSurrogates)
	{
	}

	FValue Root;

	bool null() override { return AddScalar(MakeValue(EKind::Null)); }
	bool boolean(bool bValue) override
	{
		FValue Value = MakeValue(EKind::Boolean);
		Value.bBoolean = bValue;
		return AddScalar(std::move(Value));
	}
	bool number_integer(number_integer_t Number) override { return AddNumber(static_cast<double>(Number)); }
	bool number_unsigned(number_unsigned_t Number) override { return AddNumber(static_cast<double>(Number)); }
	bool number_float(number_float_t Number, const string_t& Text) override { return !IsBeyondExponentLimit(Text) && AddNumber(Number); }
	bool string(string_t& Utf8) override
	{
		FValue Value = MakeValue(EKind::String);
		Value.Text = Utf8ToUtf16(Utf8, bRestoreLoneLowSurrogates);
		return AddScalar(std::move(Value));
	}
	bool binary(binary_t&) override { return false; }
	bool key(string_t& Utf8) override
	{
		PendingName = Utf8ToUtf16(Utf8, bRestoreLoneLowSurrogates);
		return true;
	}
	bool start_object(std::size_t) override
	{
		if (Open.size() >= static_cast<size_t>(MaxDepth))
		{
			return false;
		}
		if (Open.empty())
		{
			Root = MakeValue(EKind::Object);
			Open.push_back(&Root);
			return true;
		}
		Open.push_back(Attach(MakeValue(EKind::Object)));
		return true;
	}
	bool end_object() override
	{
		Open.pop_back();
		return true;
	}
	bool start_array(std::size_t) override
	{
		if (Open.empty() || Open.size() >= static_cast<size_t>(MaxDepth))
		{
			return false;
		}
		Open.push_back(Attach(MakeValue(EKind::Array)));
		return true;
	}
	bool end_array() override
	{
		Open.pop_back();
		return true;
	}
	bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override { return false; }

private:
	bool AddNumber(double Number)
	{
		FValue Value = MakeValue(EKind::Number);
		Value.Number = Number;
		return AddScalar(std::move(Value));
	}
	bool AddScalar(FValue&& Value)
	{
		if (Open.empty())
		{
			return false;
		}
		Attach(std::move(Value));
		return true;
	}
	/** The new child's address stays valid while it is open: its parent gets no other child until it closes. */
	FValue* Attach(FValue&& Value)
	{
		FValue& Parent = *Open.back();
		if (Parent.Kind == EKind::Object)
		{
			// Names are keys, ignoring ASCII case: a later member replaces the earlier one, name and value, where the
			// earlier one stood.
			for (FMember& Member : Parent.Members)
			{
				if (EqualsIgnoringAsciiCase(Member.Name, PendingName))
				{
					Member = FMember{std::move(PendingName), std::move(Value)};
					return &Member.Value;
				}
			}
			Parent.Members.push_back(FMember{std::move(PendingName), std::move(Value)});
			return &Parent.Members.back().Value;
		}
		Parent.Elements.push_back(std::move(Value));
		return &Parent.Elements.back();
	}

	bool bRestoreLoneLowSurrogates;
	std::vector<FValue*> Open;
	std::u16string PendingName;
};

bool IsStrictJsonNumber(std::string_view Text)
{
	size_t Pos = 0;
	const auto Digits = [&Text, &Pos]() {
		const size_t Start = Pos;
		while (Pos < Text.size() && Text[Pos] >= '0' && Text[Pos] <= '9')
		{
			++Pos;
		}
		return Pos - Start;
	};
	if (Pos < Text.size() && Text[Pos] == '-')
	{
		++Pos;
	}
	const size_t IntegerStart = Pos;
	const size_t IntegerDigits = Digits();
	if (IntegerDigits == 0 || (IntegerDigits > 1 && Text[IntegerStart] == '0'))
	{
		return false;
	}
	if (Pos < Text.size() && Text[Pos] == '.')
	{
		++Pos;
		if (Digits() == 0)
		{
			return false;
		}
	}
	if (Pos < Text.size() && (Text[Pos] == 'e' || Text[Pos] == 'E'))
	{
		++Pos;
		if (Pos < Text.size() && (Text[Pos] == '+' || Text[Pos] == '-'))
		{
			++Pos;
		}
		if (Digits() == 0)
		{
			return false;
		}
	}
	return Pos == Text.size();
}

/**
 * A text read as a number. The JSON layer documents: a text that is wholly a decimal number reads as its value (0
 * when that lies beyond the double range), any other text reads as 0. A text in JSON's own number form of at most
 * 64 characters is surely such a number, a text with a character that no number has surely is not; for the texts
 * in between (a plus sign, leading zeros, a bare point, a long spelling) the two readings are both allowed.
 */
FNumberExpectation ReadTextAsNumber(const std::u16string& Text)
{
	std::string Ascii;
	bool bHasDigit = false;
	for (const char16_t Character : Text)
	{
		const bool bDigit = Character >= u'0' && Character <= u'9';
		if (!bDigit && Character != u'+' && Character != u'-' && Character != u'.' && Character != u'e' && Character != u'E')
		{
			return FNumberExpectation{};
		}
		bHasDigit = bHasDigit || bDigit;
		Ascii.push_back(static_cast<char>(Character));
	}
	if (!bHasDigit)
	{
		return FNumberExpectation{};
	}
	char* End = nullptr;
	const double Value = std::strtod(Ascii.c_str(), &End);
	if (End != Ascii.c_str() + Ascii.size())
	{
		return FNumberExpectation{};
	}
	const double Finite = std::isfinite(Value) ? Value : 0.0;
	if (IsStrictJsonNumber(Ascii) && Ascii.size() <= 64)
	{
		return FNumberExpectation{Finite, std::nullopt};
	}
	return FNumberExpectation{0.0, Finite};
}

FNumberExpectation ReadAsNumber(const FValue& Value)
{
	switch (Value.Kind)
	{
	case EKind::Number:
		return FNumberExpectation{Value.Number, std::nullopt};
	case EKind::Boolean:
		return FNumberExpectation{Value.bBoolean ? 1.0 : 0.0, std::nullopt};
	case EKind::String:
		return ReadTextAsNumber(Value.Text);
	default:
		return FNumberExpectation{};
	}
}

FTextExpectation ReadAsText(const FValue& Value)
{
	switch (Value.Kind)
	{
	case EKind::String:
		return FTextExpectation{Value.Text, std::nullopt};
	case EKind::Number:
		return FTextExpectation{std::u16string(), Value.Number};
	case EKind::Boolean:
		return FTextExpectation{Value.bBoolean ? u"true" : u"false", std::nullopt};
	default:
		return FTextExpectation{};
	}
}

const FValue* FindMember(const FValue& Object, std::u16string_view Name)
{
	for (const FMember& Member : Object.Members)
	{
		if (EqualsIgnoringAsciiCase(Member.Name, Name))
		{
			return &Member.Value;
		}
	}
	return nullptr;
}

/** The member's elements when it is an array of at least MinCount; a shorter array counts as missing. */
const std::vector<FValue>* FindArray(const FValue& Object, std::u16string_view Name, size_t MinCount)
{
	const FValue* Member = FindMember(Object, Name);
	return Member != nullptr && Member->Kind == EKind::Array && Member->Elements.size() >= MinCount ? &Member->Elements : nullptr;
}

template <size_t Count> void ReadNumbers(const FValue& Camera, std::u16string_view Name, double Default, FNumberExpectation (&Out)[Count])
{
	const std::vector<FValue>* Elements = FindArray(Camera, Name, Count);
	for (size_t Index = 0; Index < Count; ++Index)
	{
		Out[Index] = Elements != nullptr ? ReadAsNumber((*Elements)[Index]) : FNumberExpectation{Default, std::nullopt};
	}
}

FCameraExpectation ReadCamera(const FValue& Camera)
{
	FCameraExpectation Expected;
	ReadNumbers(Camera, u"Location", 0.0, Expected.Location);
	ReadNumbers(Camera, u"Rotation", 0.0, Expected.Rotation);
	ReadNumbers(Camera, u"Scale", 1.0, Expected.Scale);
	ReadNumbers(Camera, u"Lens", 0.0, Expected.Lens);
	ReadNumbers(Camera, u"Timecode", 0.0, Expected.Timecode);
	const std::vector<FValue>* Metadata = FindArray(Camera, u"Metadata", 3);
	for (size_t Index = 0; Index < 3; ++Index)
	{
		Expected.Metadata[Index] = Metadata != nullptr ? ReadAsText((*Metadata)[Index]) : FTextExpectation{};
	}
	// Only a JSON number is a state; a number written as text is not.
	const FValue* State = FindMember(Camera, u"State");
	Expected.State = State != nullptr && State->Kind == EKind::Number ? TruncateSaturated(State->Number) : 0;
	return Expected;
}
} // namespace

FMessageExpectation Read(std::string_view Bytes)
{
	FMessageExpectation Expected;
	bool bMoved = false;
	const std::optional<std::string> Text = MoveLoneLowSurrogates(Latin1ToUtf8(Bytes), bMoved);
	if (!Text)
	{
		Expected.bDetermined = false;
		return Expected;
	}
	FTreeBuilder Builder(bMoved);
	if (!nlohmann::json::sax_parse(*Text, &Builder))
	{
		return Expected;
	}
	Expected.bAccepted = true;
	for (const FMember& Member : Builder.Root.Members)
	{
		if (!EqualsIgnoringAsciiCase(Member.Name, u"TVKCamera"))
		{
			++Expected.OtherMemberCount;
			continue;
		}
		// Anything but a non-empty array whose first element is an object is passed over.
		if (Member.Value.Kind != EKind::Array || Member.Value.Elements.empty() || Member.Value.Elements[0].Kind != EKind::Object)
		{
			continue;
		}
		++Expected.CameraCount;
		Expected.LastCamera = ReadCamera(Member.Value.Elements[0]);
	}
	return Expected;
}

float ToNearestFloat(double Value)
{
	const double Largest = std::numeric_limits<float>::max();
	if (std::isnan(Value) || std::fabs(Value) <= Largest)
	{
		return static_cast<float>(Value);
	}
	// Between the largest float and the midpoint to 2^128 the nearest float is the largest; from the midpoint on
	// (a tie goes to the even neighbour, 2^128) it is infinity.
	const double Midpoint = std::ldexp(1.0, 128) - std::ldexp(1.0, 103);
	const float Magnitude = std::fabs(Value) < Midpoint ? std::numeric_limits<float>::max() : std::numeric_limits<float>::infinity();
	return Value < 0.0 ? -Magnitude : Magnitude;
}

int32_t TruncateSaturated(double Value)
{
	if (std::isnan(Value))
	{
		return 0;
	}
	const double Truncated = std::trunc(Value);
	if (Truncated >= static_cast<double>(std::numeric_limits<int32_t>::max()))
	{
		return std::numeric_limits<int32_t>::max();
	}
	if (Truncated <= static_cast<double>(std::numeric_limits<int32_t>::min()))
	{
		return std::numeric_limits<int32_t>::min();
	}
	return static_cast<int32_t>(Truncated);
}

bool IsDecimalFormOf(const std::u16string& Text, double Value)
{
	// No double needs more than 24 characters in its shortest form ("-2.2250738585072014e-308").
	if (Text.empty() || Text.size() > 24)
	{
		return false;
	}
	std::string Ascii;
	for (const char16_t Character : Text)
	{
		if (!((Character >= u'0' && Character <= u'9') || Character == u'-' || Character == u'+' || Character == u'.' || Character == u'e'))
		{
			return false;
		}
		Ascii.push_back(static_cast<char>(Character));
	}
	char* End = nullptr;
	const double Parsed = std::strtod(Ascii.c_str(), &End);
	// Compared as numbers: nlohmann reads "-0" as the integer 0, so the sign of a zero is not the model's to judge.
	return End == Ascii.c_str() + Ascii.size() && Parsed == Value;
}
} // namespace CameraMessageModel
