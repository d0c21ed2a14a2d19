// Private to Core: its one comparison that ignores letter case, for FString's UTF-16 and for the UTF-8 of config files.
#pragma once

#include "Containers/UnrealString.h"

#include <algorithm>
#include <string_view>
#include <type_traits>

namespace AsciiCase
{
/** Only A-Z and a-z fold, as in the engine's string and config comparisons; every other code unit must match. */
template <typename CharType> bool CharsEqual(CharType A, CharType B)
{
	// Widened without sign, so that no UTF-8 byte can land on an ASCII letter.
	const auto Lower = [](CharType C) { return FChar::ToLowerAscii(static_cast<TCHAR>(static_cast<std::make_unsigned_t<CharType>>(C))); };
	return Lower(A) == Lower(B);
}

template <typename CharType> bool TextsEqual(std::basic_string_view<CharType> A, std::basic_string_view<CharType> B)
{
	return A.size() == B.size() && std::equal(A.begin(), A.end(), B.begin(), CharsEqual<CharType>);
}

inline bool Equals(std::u16string_view A, std::u16string_view B)
{
	return TextsEqual(A, B);
}

inline bool Equals(std::string_view A, std::string_view B)
{
	return TextsEqual(A, B);
}
} // namespace AsciiCase
