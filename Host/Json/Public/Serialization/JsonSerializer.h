// Stand-in for the engine's FJsonSerializer: reading only, over RapidJSON's reader. No writing.
#pragma once

#include "CoreMinimal.h"
#include "Dom/JsonObject.h"
#include "Serialization/JsonReader.h"

class JSON_API FJsonSerializer
{
public:
	/**
	 * True with the object when the reader's text is exactly one RFC 8259 JSON text whose top-level value is an
	 * object, with nothing but white space around it; false with a null object otherwise. Never logs.
	 */
	static bool Deserialize(const TSharedRef<TJsonReader<TCHAR>>& Reader, TSharedPtr<FJsonObject>& OutObject);
};
