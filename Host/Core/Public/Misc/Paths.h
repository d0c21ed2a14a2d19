// Stand-in for the engine's FPaths: the project's folders, set once by the host. No engine, plugin or platform folders.
// As in the editor, the project's folders below its root are relative to the process's base folder (here the current
// folder), so a path made from them is relative until converted to a full one.
#pragma once

#include "CoreTypes.h"
#include "Containers/UnrealString.h"

class CORE_API FPaths
{
public:
	/** The project's root folder, absolute and ending in '/'. The current folder until the host sets another. */
	static FString ProjectDir();
	/** Makes InDir (relative to the current folder, or absolute) the project folder; empty means the current folder. */
	static void SetProjectDir(const FString& InDir);
	/** <Project>/Config/: the project's default configuration files (DefaultGame.ini, ...). */
	static FString ProjectConfigDir();
	/** <Project>/Saved/: files the editor writes for this user and machine. Relative to the current folder
	 * ("../../Project/Saved/"), as the editor's is relative to its binaries folder. */
	static FString ProjectSavedDir();
	/** The full path of InPath: a relative one taken from the current folder, "." and ".." collapsed, '/' separators. */
	static FString ConvertRelativePathToFull(const FString& InPath);
	/** InPath and InName joined by exactly one '/'. */
	static FString Combine(const FString& InPath, const FString& InName);
};
