// Stand-in only, for tests and tools: the stand-in reader's own nesting limit. Not part of the engine's API.
#pragma once

#include "Serialization/JsonSerializer.h"

struct JSON_API FJsonReaderTesting
{
	/**
	 * The deepest nesting of arrays and objects the stand-in accepts, 64 unless set otherwise; deeper texts are
	 * rejected before any of them is built. The engine's reader has no such limit: 0 lifts it, and then a deep
	 * enough text overflows the reading thread's stack, as it does in the editor. Code that must hold in the editor
	 * cannot rely on it, and its tests lift it.
	 */
	static int32 GetMaxDepth();
	static void SetMaxDepth(int32 InMaxDepth);
};
