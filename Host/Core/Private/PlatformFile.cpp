#include "GenericPlatform/GenericPlatformFile.h"
#include "HAL/PlatformFilemanager.h"
#include "HAL/PosixFile.h"

#include "Containers/UnrealString.h"
#include "GenericPlatform/PlatformFileTesting.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
std::string ToPath(const TCHAR* InName)
{
	return FString(InName).ToUtf8();
}

/**
 * Files open for writing that another program may not read meanwhile: Windows' sharing modes, which POSIX lacks,
 * kept as a list so that tests can see what a network analyser on Windows would be refused.
 */
std::mutex UnreadableFilesMutex;
std::vector<std::string> UnreadableFiles;

class FPosixFileHandle final : public IFileHandle
{
public:
	FPosixFileHandle(int InDescriptor, std::string InUnreadablePath)
		: Descriptor(InDescriptor)
		, UnreadablePath(MoveTemp(InUnreadablePath))
	{
		if (!UnreadablePath.empty())
		{
			std::lock_guard Lock(UnreadableFilesMutex);
			UnreadableFiles.push_back(UnreadablePath);
		}
	}
	~FPosixFileHandle() override
	{
		::close(Descriptor);
		if (!UnreadablePath.empty())
		{
			std::lock_guard Lock(UnreadableFilesMutex);
			UnreadableFiles.erase(std::find(UnreadableFiles.begin(), UnreadableFiles.end(), UnreadablePath));
		}
	}

	int64 Tell() override { return static_cast<int64>(::lseek(Descriptor, 0, SEEK_CUR)); }

	bool Seek(int64 NewPosition) override
	{
		return NewPosition >= 0 && ::lseek(Descriptor, static_cast<off_t>(NewPosition), SEEK_SET) >= 0;
	}

	bool Write(const uint8* Source, int64 BytesToWrite) override
	{
		if (BytesToWrite < 0)
		{
			return false;
		}
		return FPosixFile::WriteAll(Descriptor, std::string_view(reinterpret_cast<const char*>(Source), static_cast<size_t>(BytesToWrite)));
	}

	bool Flush(const bool bFullFlush) override
	{
		// Nothing is buffered here: every write went to the system already.
		return !bFullFlush || ::fsync(Descriptor) == 0;
	}

	bool Truncate(int64 NewSize) override
	{
		int Result = 0;
		do
		{
			Result = ::ftruncate(Descriptor, static_cast<off_t>(NewSize));
		} while (Result != 0 && errno == EINTR);
		return NewSize >= 0 && Result == 0;
	}

	int64 Size() override
	{
		struct stat Status;
		return ::fstat(Descriptor, &Status) == 0 ? static_cast<int64>(Status.st_size) : -1;
	}

private:
	int Descriptor;
	/** The path while others may not read the file; empty when they may. */
	std::string UnreadablePath;
};

class FPosixPlatformFile final : public IPlatformFile
{
public:
	bool FileExists(const TCHAR* Filename) override
	{
		struct stat Status;
		return ::stat(ToPath(Filename).c_str(), &Status) == 0 && S_ISREG(Status.st_mode);
	}

	bool DirectoryExists(const TCHAR* Directory) override
	{
		struct stat Status;
		return ::stat(ToPath(Directory).c_str(), &Status) == 0 && S_ISDIR(Status.st_mode);
	}

	bool CreateDirectoryTree(const TCHAR* Directory) override
	{
		// Each level in turn, as the engine does: a level that exists already is fine, anything else in the way is not.
		const std::string Path = ToPath(Directory);
		for (size_t End = Path.find('/', 1);; End = Path.find('/', End + 1))
		{
			const std::string Level = Path.substr(0, End);
			if (!Level.empty() && ::mkdir(Level.c_str(), 0755) != 0 && errno != EEXIST)
			{
				return false;
			}
			if (End == std::string::npos)
			{
				break;
			}
		}
		return DirectoryExists(Directory);
	}

	bool DeleteFile(const TCHAR* Filename) override { return ::unlink(ToPath(Filename).c_str()) == 0; }

	IFileHandle* OpenWrite(const TCHAR* Filename, bool bAppend, bool bAllowRead) override
	{
		const int Flags = O_CREAT | O_CLOEXEC | (bAllowRead ? O_RDWR : O_WRONLY) | (bAppend ? O_APPEND : O_TRUNC);
		const int Descriptor = ::open(ToPath(Filename).c_str(), Flags, 0644);
		return Descriptor >= 0 ? new FPosixFileHandle(Descriptor, bAllowRead ? std::string() : ToPath(Filename)) : nullptr;
	}
};
} // namespace

FPlatformFileManager& FPlatformFileManager::Get()
{
	static FPlatformFileManager Manager;
	return Manager;
}

IPlatformFile& FPlatformFileManager::GetPlatformFile()
{
	static FPosixPlatformFile PlatformFile;
	return PlatformFile;
}

bool FPlatformFileTesting::CanBeReadWhileWritten(const TCHAR* Filename)
{
	const std::string Path = ToPath(Filename);
	std::lock_guard Lock(UnreadableFilesMutex);
	return std::find(UnreadableFiles.begin(), UnreadableFiles.end(), Path) == UnreadableFiles.end();
}
