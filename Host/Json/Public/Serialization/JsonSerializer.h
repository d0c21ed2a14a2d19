// Stand-in for the engine's FJsonSerializer: reading only, over RapidJSON's reader. No writing.
#pragma once

#include "CoreMinimal.h"
#include "Dom/JsonObject.h"
#include "Serialization/JsonReader.h"

class JSON_API FJsonSerializer
{
public:
	/**
	 * The deepest nesting of arrays and objects the stand-in accepts, 64 unless set otherwise; deeper texts are
	 * rejected before any of them is built. The engine's reader has no such limit: 0 lifts it, and then a deep
	 * enough text overflows the reading thread's stack, as it does in the editor. Code that must hold in the editor
	 * cannot rely on it, and its tests lift it.
	 */
	static int32 GetMaxDepth();
	static void SetMaxDepth(int32 InMaxDepth);

	/**
	 * True with the object when the reader's text is exactly one RFC 8259 JSON text whose top-level value is an
	 * object, with nothing but white space around it; false with a null object otherwise. Never logs.
	 */
	static bool Deserialize(const TSharedRef<TJsonReader<TCHAR>>& Reader, TSharedPtr<FJsonObject>& OutObject);
};
