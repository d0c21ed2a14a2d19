// Stand-in only, for tests: what Windows' sharing modes would allow of a file open for writing. Not part of the
// engine's API.
#pragma once

#include "CoreTypes.h"

struct CORE_API FPlatformFileTesting
{
	/**
	 * False while the file is open for writing through IPlatformFile::OpenWrite without bAllowRead: on Windows no
	 * other program (a network analyser following a capture) could open it then. Compares the path as given.
	 */
	static bool CanBeReadWhileWritten(const TCHAR* Filename);
};
