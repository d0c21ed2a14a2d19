// Stand-in for the engine's FString: UTF-16 code units with the engine's names. No printf-style %ls, no locale rules.
#pragma once

#include "CoreTypes.h"

#include <cstdarg>
#include <string>
#include <string_view>

namespace ESearchCase
{
enum Type
{
	CaseSensitive,
	IgnoreCase,
};
} // namespace ESearchCase

class CORE_API FString
{
public:
	FString() = default;
	FString(const TCHAR* Text)
		: Data(Text ? Text : u"")
	{
	}
	/** Widens each byte to one character (ISO 8859-1), as the engine does for ANSI literals. */
	FString(const ANSICHAR* Text);
	FString(int32 Count, const TCHAR* Text)
		: Data(Text, static_cast<size_t>(Count))
	{
	}
	explicit FString(std::u16string Text)
		: Data(MoveTemp(Text))
	{
	}
	explicit FString(std::u16string_view Text)
		: Data(Text)
	{
	}

	/** Always a valid, zero-terminated buffer, also for an empty string. */
	const TCHAR* operator*() const { return Data.c_str(); }
	int32 Len() const { return static_cast<int32>(Data.size()); }
	bool IsEmpty() const { return Data.empty(); }
	TCHAR& operator[](int32 Index);
	TCHAR operator[](int32 Index) const;

	/** Empties the string and releases its storage, keeping room for Slack characters. */
	void Empty(int32 Slack = 0);
	/** Empties the string and keeps its storage. */
	void Reset(int32 NewReservedSize = 0);
	void Reserve(int32 CharacterCount) { Data.reserve(static_cast<size_t>(CharacterCount)); }
	void AppendChar(TCHAR Character) { Data.push_back(Character); }
	FString& AppendChars(const TCHAR* Text, int32 Count);
	void AppendInt(int32 Value);

	FString& operator+=(const FString& Other);
	FString& operator+=(const TCHAR* Text);
	FString& operator+=(TCHAR Character);
	friend CORE_API FString operator+(const FString& Lhs, const FString& Rhs);
	friend CORE_API FString operator+(const FString& Lhs, const TCHAR* Rhs);
	friend CORE_API FString operator+(const TCHAR* Lhs, const FString& Rhs);

	bool Equals(const FString& Other, ESearchCase::Type SearchCase = ESearchCase::CaseSensitive) const
	{
		// Inline for the common answer: looking a member up by name compares against names of other lengths.
		return Data.size() == Other.Data.size() && EqualsSameLength(Other, SearchCase);
	}
	/** Ignores ASCII letter case, as the engine's FString equality does. */
	friend CORE_API bool operator==(const FString& Lhs, const FString& Rhs);
	friend CORE_API bool operator==(const FString& Lhs, const TCHAR* Rhs);
	friend bool operator!=(const FString& Lhs, const FString& Rhs) { return !(Lhs == Rhs); }
	bool StartsWith(const FString& Prefix, ESearchCase::Type SearchCase = ESearchCase::IgnoreCase) const;
	bool Contains(const FString& Needle, ESearchCase::Type SearchCase = ESearchCase::IgnoreCase) const;
	FString Left(int32 Count) const;
	FString Mid(int32 Start, int32 Count = 0x7fffffff) const;
	FString TrimStartAndEnd() const;

	/** printf-style formatting: %s takes a const TCHAR*, numbers as in C. */
	static FString Printf(const TCHAR* Format, ...);
	static FString VPrintf(const TCHAR* Format, va_list Args);
	static FString FromInt(int32 Value);

	/** Stand-in conversions at the boundary to the operating system and the terminal. */
	std::string ToUtf8() const;
	static FString FromUtf8(std::string_view Utf8);
	const std::u16string& GetStdString() const { return Data; }

private:
	bool EqualsSameLength(const FString& Other, ESearchCase::Type SearchCase) const;

	std::u16string Data;
};

CORE_API uint32 GetTypeHash(const FString& Text);

/** Engine-style scoped conversion: TCHAR_TO_UTF8(*Text) yields a const char* valid for the full expression. */
class CORE_API FTCHARToUTF8
{
public:
	explicit FTCHARToUTF8(const TCHAR* Text);
	const char* Get() const { return Converted.c_str(); }
	int32 Length() const { return static_cast<int32>(Converted.size()); }

private:
	std::string Converted;
};
#define TCHAR_TO_UTF8(Text) FTCHARToUTF8(Text).Get()
#define UTF8_TO_TCHAR(Text) (*FString::FromUtf8(Text))

namespace FChar
{
inline bool IsWhitespace(TCHAR C)
{
	return C == u' ' || C == u'\t' || C == u'\n' || C == u'\r' || C == u'\v' || C == u'\f';
}
/**
 * As the engine's on Windows (iswdigit): besides '0'-'9' the classification takes other characters Unicode or
 * Windows counts as digits, among them the superscripts one to three, the Arabic-Indic, Devanagari and full-width digits.
 * Code that means ASCII digits must test for them itself.
 */
inline bool IsDigit(TCHAR C)
{
	return (C >= u'0' && C <= u'9') || C == u'\u00B2' || C == u'\u00B3' || C == u'\u00B9' || (C >= u'\u0660' && C <= u'\u0669') ||
		(C >= u'\u06F0' && C <= u'\u06F9') || (C >= u'\u0966' && C <= u'\u096F') || (C >= u'\uFF10' && C <= u'\uFF19');
}
inline TCHAR ToLowerAscii(TCHAR C)
{
	return (C >= u'A' && C <= u'Z') ? static_cast<TCHAR>(C + 32) : C;
}
} // namespace FChar
