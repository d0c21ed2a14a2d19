// Stand-in for the engine's TJsonReader: holds the text to be deserialised. No token-by-token reading API.
#pragma once

#include "CoreMinimal.h"

#ifndef JSON_API
#define JSON_API DLLEXPORT
#endif

template <class CharType = TCHAR> class TJsonReader
{
	static_assert(std::is_same_v<CharType, TCHAR>, "the stand-in reads UTF-16 text only");

public:
	explicit TJsonReader(FString InText)
		: Text(MoveTemp(InText))
	{
	}
	const FString& GetText() const { return Text; }
	/** Hands the text over to whoever reads it; the reader is then at its end, with nothing left to read. */
	FString TakeText() { return MoveTemp(Text); }

private:
	FString Text;
};

template <class CharType = TCHAR> class TJsonReaderFactory
{
public:
	static TSharedRef<TJsonReader<CharType>> Create(const FString& JsonString) { return MakeShared<TJsonReader<CharType>>(JsonString); }
	static TSharedRef<TJsonReader<CharType>> Create(FString&& JsonString)
	{
		return MakeShared<TJsonReader<CharType>>(MoveTemp(JsonString));
	}
};
