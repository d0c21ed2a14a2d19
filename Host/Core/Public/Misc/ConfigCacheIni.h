// Stand-in for the engine's config files (FConfigFile): one UTF-8 ini file rewritten in place. No GConfig, no layers.
#pragma once

#include "CoreTypes.h"
#include "Containers/UnrealString.h"
#include "Logging/LogMacros.h"
#include "Templates/UniquePtr.h"

DECLARE_LOG_CATEGORY_EXTERN(LogConfig, Log, All);

/**
 * The text of one ini file, kept as the lines it was read with (bytes, spacing, comments, line endings) so that
 * writing it back changes only the lines whose values were set. Section and key names compare ignoring ASCII case.
 * Lines starting with ';' or '#' are comments. A value written in double quotes is read without them, with the
 * escapes \\ \" \n \r \t undone; any other value is read as the plain text between '=' and the end of the line,
 * surrounding spaces and tabs removed. Keys starting with +, - or ! (the engine's array forms) are plain keys here.
 * Not thread-safe: one owner at a time.
 */
class CORE_API FConfigFile
{
public:
	FConfigFile();
	~FConfigFile();
	FConfigFile(FConfigFile&& Other) noexcept;
	FConfigFile& operator=(FConfigFile&& Other) noexcept;
	FConfigFile(const FConfigFile&) = delete;
	FConfigFile& operator=(const FConfigFile&) = delete;

	/**
	 * Replaces the contents with the file at Filename. A missing file reads as empty and succeeds. A file that exists
	 * but cannot be read, or is UTF-16, fails with a warning and marks this object NoSave: Write then refuses, so a
	 * file that was never read is never overwritten.
	 */
	bool Read(const FString& Filename);

	/**
	 * Replaces Filename atomically: the contents go to "<Filename>.tmp" in the same folder, are flushed to disk and
	 * renamed over the old file, whose permissions they keep (a symbolic link stays a link to the replaced file).
	 * Missing folders are created. On failure the old file is untouched, the reason is logged as an error and the
	 * result is false.
	 */
	bool Write(const FString& Filename) const;

	/** The value of Key in Section; the first occurrence wins when a key or section is repeated. */
	bool GetString(const TCHAR* Section, const TCHAR* Key, FString& OutValue) const;

	/**
	 * Sets Key in Section to Value. The key's line is rewritten in place (key spelling, spacing up to the value and
	 * line ending kept), a missing key is added after the last key of the section's first occurrence, a missing
	 * section is added at the end of the file. Setting the value a key already holds changes nothing. A value with
	 * leading or trailing white space, a line break or a leading double quote is written quoted and escaped, so every
	 * value reads back as it was set. False, and nothing changed, for a section or key name that cannot stand in an
	 * ini line (empty, line breaks, '=' or ']' in it, surrounding white space).
	 */
	bool SetString(const TCHAR* Section, const TCHAR* Key, const FString& Value);

	bool DoesSectionExist(const TCHAR* Section) const;
	/** True when SetString changed the text since the last Read. */
	bool IsDirty() const;
	/** True when the last Read failed: Write refuses so as not to replace a file whose contents are unknown. */
	bool IsNoSave() const;

private:
	struct FImpl;
	TUniquePtr<FImpl> Impl;
};
