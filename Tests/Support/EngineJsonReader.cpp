// Linked into every test of the plug-in: the engine's JSON reader has no nesting limit, so these tests run without
// the stand-in's. Whatever keeps deep nesting away from the reader is then the plug-in's own, as it must be in the
// editor.
#include "Serialization/JsonSerializer.h"
#include "Serialization/JsonReaderTesting.h"

namespace
{
const bool bNestingLimitLifted = (FJsonReaderTesting::SetMaxDepth(0), true);
} // namespace
