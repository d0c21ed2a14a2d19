#pragma once

#include "Serialization/JsonSerializer.h"

#include <string_view>

/** Turns bytes into text exactly as the datagram decoder does (one byte, one character; zero bytes dropped) and parses. */
inline TSharedPtr<FJsonObject> ParseDatagramBytes(std::string_view Bytes)
{
	FString Text;
	Text.Reserve(static_cast<int32>(Bytes.size()));
	for (const char Byte : Bytes)
	{
		if (Byte != 0)
		{
			Text.AppendChar(static_cast<TCHAR>(static_cast<unsigned char>(Byte)));
		}
	}
	TSharedPtr<FJsonObject> Object;
	FJsonSerializer::Deserialize(TJsonReaderFactory<TCHAR>::Create(MoveTemp(Text)), Object);
	return Object;
}
