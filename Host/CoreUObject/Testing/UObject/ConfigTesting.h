// Stand-in only, for tests, tools and the stand-in's settings editor: saving an object's config with a result. The
// engine's UObject saves without telling whether the file was written. Not part of the engine's API.
#pragma once

#include "UObject/Object.h"

struct COREUOBJECT_API FConfigTesting
{
	/** UObject::UpdateDefaultConfigFile, true when the file holds the values afterwards. */
	static bool TryUpdateDefaultConfigFile(UObject& Object);
	/** UObject::SaveConfig, true when the file holds the values afterwards. */
	static bool TrySaveConfig(UObject& Object);
};
