// Stand-in for the engine's FPlatformFileManager: hands out the platform's file layer. No wrapper chain.
#pragma once

#include "CoreTypes.h"

class IPlatformFile;

class CORE_API FPlatformFileManager
{
public:
	static FPlatformFileManager& Get();

	/** The file layer of this platform; lives as long as the process. */
	IPlatformFile& GetPlatformFile();

private:
	FPlatformFileManager() = default;
};
