#include "Containers/UnrealString.h"

#include "AsciiCase.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

FString::FString(const ANSICHAR* Text)
{
	if (Text)
	{
		for (const unsigned char* It = reinterpret_cast<const unsigned char*>(Text); *It; ++It)
		{
			Data.push_back(static_cast<TCHAR>(*It));
		}
	}
}

TCHAR& FString::operator[](int32 Index)
{
	check(Index >= 0 && Index < Len());
	return Data[static_cast<size_t>(Index)];
}

TCHAR FString::operator[](int32 Index) const
{
	check(Index >= 0 && Index < Len());
	return Data[static_cast<size_t>(Index)];
}

void FString::Empty(int32 Slack)
{
	std::u16string().swap(Data);
	Data.reserve(static_cast<size_t>(Slack));
}

void FString::Reset(int32 NewReservedSize)
{
	Data.clear();
	Data.reserve(static_cast<size_t>(NewReservedSize));
}

FString& FString::AppendChars(const TCHAR* Text, int32 Count)
{
	Data.append(Text, static_cast<size_t>(Count));
	return *this;
}

void FString::AppendInt(int32 Value)
{
	*this += FromInt(Value);
}

FString& FString::operator+=(const FString& Other)
{
	Data += Other.Data;
	return *this;
}

FString& FString::operator+=(const TCHAR* Text)
{
	Data += Text;
	return *this;
}

FString& FString::operator+=(TCHAR Character)
{
	Data.push_back(Character);
	return *this;
}

FString operator+(const FString& Lhs, const FString& Rhs)
{
	return FString(Lhs.Data + Rhs.Data);
}

FString operator+(const FString& Lhs, const TCHAR* Rhs)
{
	return FString(Lhs.Data + Rhs);
}

FString operator+(const TCHAR* Lhs, const FString& Rhs)
{
	return FString(Lhs + Rhs.Data);
}

bool FString::EqualsSameLength(const FString& Other, ESearchCase::Type SearchCase) const
{
	return SearchCase == ESearchCase::CaseSensitive ? Data == Other.Data : AsciiCase::Equals(Data, Other.Data);
}

bool operator==(const FString& Lhs, const FString& Rhs)
{
	return AsciiCase::Equals(Lhs.Data, Rhs.Data);
}

bool operator==(const FString& Lhs, const TCHAR* Rhs)
{
	return AsciiCase::Equals(Lhs.Data, Rhs);
}

bool FString::StartsWith(const FString& Prefix, ESearchCase::Type SearchCase) const
{
	if (Prefix.Len() > Len())
	{
		return false;
	}
	const std::u16string_view Head(Data.data(), Prefix.Data.size());
	return SearchCase == ESearchCase::CaseSensitive ? Head == Prefix.Data : AsciiCase::Equals(Head, Prefix.Data);
}

bool FString::Contains(const FString& Needle, ESearchCase::Type SearchCase) const
{
	if (SearchCase == ESearchCase::CaseSensitive)
	{
		return Data.find(Needle.Data) != std::u16string::npos;
	}
	const auto It = std::search(Data.begin(), Data.end(), Needle.Data.begin(), Needle.Data.end(), AsciiCase::CharsEqual<TCHAR>);
	return It != Data.end() || Needle.IsEmpty();
}

FString FString::Left(int32 Count) const
{
	return FString(Data.substr(0, static_cast<size_t>(std::clamp(Count, 0, Len()))));
}

FString FString::Mid(int32 Start, int32 Count) const
{
	const int32 First = std::clamp(Start, 0, Len());
	const int64 Last = std::clamp<int64>(static_cast<int64>(First) + std::max(Count, 0), First, Len());
	return FString(Data.substr(static_cast<size_t>(First), static_cast<size_t>(Last - First)));
}

FString FString::TrimStartAndEnd() const
{
	size_t First = 0;
	size_t Last = Data.size();
	while (First < Last && FChar::IsWhitespace(Data[First]))
	{
		++First;
	}
	while (Last > First && FChar::IsWhitespace(Data[Last - 1]))
	{
		--Last;
	}
	return FString(Data.substr(First, Last - First));
}

FString FString::FromInt(int32 Value)
{
	char Buffer[16];
	const int Written = std::snprintf(Buffer, sizeof(Buffer), "%d", Value);
	return FromUtf8(std::string_view(Buffer, static_cast<size_t>(Written)));
}

FString FString::Printf(const TCHAR* Format, ...)
{
	va_list Args;
	va_start(Args, Format);
	FString Result = VPrintf(Format, Args);
	va_end(Args);
	return Result;
}

FString FString::VPrintf(const TCHAR* Format, va_list Args)
{
	// A small printf: the engine's format strings are TCHAR, so %s takes a TCHAR string;
	// every numeric conversion is handed to the C library one specifier at a time.
	std::u16string Out;
	for (const TCHAR* It = Format; *It; ++It)
	{
		if (*It != u'%')
		{
			Out.push_back(*It);
			continue;
		}
		std::string FormatPiece = "%";
		++It;
		while (*It && std::u16string_view(u"-+ #0123456789.").find(*It) != std::u16string_view::npos)
		{
			FormatPiece.push_back(static_cast<char>(*It++));
		}
		int LongCount = 0;
		while (*It == u'l' || *It == u'h' || *It == u'z')
		{
			LongCount += (*It == u'l' || *It == u'z') ? 1 : 0;
			FormatPiece.push_back(static_cast<char>(*It++));
		}
		const TCHAR Conversion = *It;
		if (Conversion == 0)
		{
			break;
		}
		char Buffer[128];
		int Written = 0;
		switch (Conversion)
		{
		case u'%':
			Out.push_back(u'%');
			continue;
		case u's':
		{
			const TCHAR* Text = va_arg(Args, const TCHAR*);
			Out += Text ? Text : u"(null)";
			continue;
		}
		case u'c':
			Out.push_back(static_cast<TCHAR>(va_arg(Args, int)));
			continue;
		case u'd':
		case u'i':
		case u'u':
		case u'x':
		case u'X':
			FormatPiece.push_back(static_cast<char>(Conversion));
			Written = LongCount > 0 ? std::snprintf(Buffer, sizeof(Buffer), FormatPiece.c_str(), va_arg(Args, long long))
									: std::snprintf(Buffer, sizeof(Buffer), FormatPiece.c_str(), va_arg(Args, int));
			break;
		case u'f':
		case u'g':
		case u'e':
			FormatPiece.push_back(static_cast<char>(Conversion));
			Written = std::snprintf(Buffer, sizeof(Buffer), FormatPiece.c_str(), va_arg(Args, double));
			break;
		default:
			Out.push_back(u'%');
			Out.push_back(Conversion);
			continue;
		}
		for (int Index = 0; Index < Written && Index < static_cast<int>(sizeof(Buffer)) - 1; ++Index)
		{
			Out.push_back(static_cast<TCHAR>(static_cast<unsigned char>(Buffer[Index])));
		}
	}
	return FString(MoveTemp(Out));
}

std::string FString::ToUtf8() const
{
	std::string Out;
	Out.reserve(Data.size());
	for (size_t Index = 0; Index < Data.size(); ++Index)
	{
		uint32 Code = Data[Index];
		if (Code >= 0xD800 && Code <= 0xDBFF && Index + 1 < Data.size() && Data[Index + 1] >= 0xDC00 && Data[Index + 1] <= 0xDFFF)
		{
			Code = 0x10000 + ((Code - 0xD800) << 10) + (Data[Index + 1] - 0xDC00);
			++Index;
		}
		else if (Code >= 0xD800 && Code <= 0xDFFF)
		{
			Code = 0xFFFD; // a lone surrogate has no UTF-8 form
		}
		if (Code < 0x80)
		{
			Out.push_back(static_cast<char>(Code));
		}
		else if (Code < 0x800)
		{
			Out.push_back(static_cast<char>(0xC0 | (Code >> 6)));
			Out.push_back(static_cast<char>(0x80 | (Code & 0x3F)));
		}
		else if (Code < 0x10000)
		{
			Out.push_back(static_cast<char>(0xE0 | (Code >> 12)));
			Out.push_back(static_cast<char>(0x80 | ((Code >> 6) & 0x3F)));
			Out.push_back(static_cast<char>(0x80 | (Code & 0x3F)));
		}
		else
		{
			Out.push_back(static_cast<char>(0xF0 | (Code >> 18)));
			Out.push_back(static_cast<char>(0x80 | ((Code >> 12) & 0x3F)));
			Out.push_back(static_cast<char>(0x80 | ((Code >> 6) & 0x3F)));
			Out.push_back(static_cast<char>(0x80 | (Code & 0x3F)));
		}
	}
	return Out;
}

FString FString::FromUtf8(std::string_view Utf8)
{
	std::u16string Out;
	Out.reserve(Utf8.size());
	size_t Index = 0;
	while (Index < Utf8.size())
	{
		const unsigned char Lead = static_cast<unsigned char>(Utf8[Index]);
		int Extra = Lead < 0x80 ? 0 : (Lead >> 5) == 0x6 ? 1 : (Lead >> 4) == 0xE ? 2 : (Lead >> 3) == 0x1E ? 3 : -1;
		uint32 Code = Extra == 0 ? Lead : Extra == 1 ? (Lead & 0x1F) : Extra == 2 ? (Lead & 0x0F) : (Lead & 0x07);
		bool bValid = Extra >= 0 && Index + static_cast<size_t>(Extra) < Utf8.size() + (Extra == 0 ? 1 : 0);
		for (int Follow = 1; bValid && Follow <= Extra; ++Follow)
		{
			const unsigned char Next = static_cast<unsigned char>(Utf8[Index + static_cast<size_t>(Follow)]);
			bValid = (Next & 0xC0) == 0x80;
			Code = (Code << 6) | (Next & 0x3F);
		}
		if (!bValid || Code > 0x10FFFF)
		{
			Out.push_back(0xFFFD);
			++Index;
			continue;
		}
		Index += static_cast<size_t>(Extra) + 1;
		if (Code >= 0x10000)
		{
			Code -= 0x10000;
			Out.push_back(static_cast<TCHAR>(0xD800 + (Code >> 10)));
			Out.push_back(static_cast<TCHAR>(0xDC00 + (Code & 0x3FF)));
		}
		else
		{
			Out.push_back(static_cast<TCHAR>(Code));
		}
	}
	return FString(MoveTemp(Out));
}

uint32 GetTypeHash(const FString& Text)
{
	// FNV-1a over ASCII-lowered code units, consistent with the case-insensitive equality.
	uint32 Hash = 2166136261u;
	for (TCHAR C : Text.GetStdString())
	{
		Hash = (Hash ^ FChar::ToLowerAscii(C)) * 16777619u;
	}
	return Hash;
}

FTCHARToUTF8::FTCHARToUTF8(const TCHAR* Text)
	: Converted(FString(Text).ToUtf8())
{
}
