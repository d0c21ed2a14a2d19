// Stand-in for the engine's IPlatformFile and IFileHandle: the low-level file layer under IFileManager. Only what the
// plug-in writes with: folders made, a file opened for writing, written, flushed, truncated and closed. No reading,
// no iteration, no wrapper layers (pak, sandbox, cache).
#pragma once

#include "CoreTypes.h"

/** An open file. Deleting the handle closes the file. One thread at a time. */
class CORE_API IFileHandle
{
public:
	virtual ~IFileHandle() = default;

	/** The position of the next write, in bytes from the start; -1 when unknown. */
	virtual int64 Tell() = 0;
	/** Moves the position of the next write; false when it cannot. */
	virtual bool Seek(int64 NewPosition) = 0;
	/**
	 * Writes BytesToWrite bytes at the position. False when the system refuses (disk full, file too large): how much
	 * of the data reached the file before is then unknown, and the position with it.
	 */
	virtual bool Write(const uint8* Source, int64 BytesToWrite) = 0;
	/** Hands what is written to the system; with bFullFlush, waits for it to reach the storage too. */
	virtual bool Flush(const bool bFullFlush = false) = 0;
	/** Cuts the file (or extends it with zeros) to NewSize bytes; the position is not moved. */
	virtual bool Truncate(int64 NewSize) = 0;
	/** The file's size in bytes; -1 when unknown. */
	virtual int64 Size() = 0;
};

class CORE_API IPlatformFile
{
public:
	virtual ~IPlatformFile() = default;

	/** True for an existing regular file, false for a folder or nothing. */
	virtual bool FileExists(const TCHAR* Filename) = 0;
	virtual bool DirectoryExists(const TCHAR* Directory) = 0;
	/** Makes the folder and each missing parent; true when the folder exists afterwards. */
	virtual bool CreateDirectoryTree(const TCHAR* Directory) = 0;
	virtual bool DeleteFile(const TCHAR* Filename) = 0;
	/**
	 * Opens a file for writing, creating it, emptied unless bAppend (writes then go to its end). An existing file is
	 * replaced, never refused: the caller checks first. The folder is not made. Null when the file cannot be opened.
	 */
	virtual IFileHandle* OpenWrite(const TCHAR* Filename, bool bAppend = false, bool bAllowRead = false) = 0;
};
