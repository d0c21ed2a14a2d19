#pragma once

#include "CoreMinimal.h"
#include "LiveLinkTypes.h"

#include <atomic>
#include <memory>
#include <mutex>

struct FLiveLinkCameraFrameData;

/**
 * One take file, open for appending from its creation until Close. Every line goes to the file with one write
 * before the call returns, so a process that dies loses at most the line it was writing. Thread-safe.
 */
class FTakeFile
{
public:
	/**
	 * Creates InDirectory when needed and a new file in it named after the slate and take number, never reusing an
	 * existing name, and writes the header line. Null with the reason in OutError on failure; nothing is left behind.
	 */
	static std::shared_ptr<FTakeFile> Create(const FString& InDirectory, const FString& InSlate, int32 InTakeNumber, FString& OutError);

	/**
	 * "<slate>_<take>": characters outside [A-Za-z0-9-] become '_', runs of '_' shrink to one, '_' and '-' are trimmed
	 * from both ends, the slate part is capped; an empty slate part becomes "Take". The take has at least 3 digits.
	 */
	static FString MakeBaseName(const FString& InSlate, int32 InTakeNumber);

	FTakeFile(const FTakeFile&) = delete;
	FTakeFile& operator=(const FTakeFile&) = delete;
	~FTakeFile();

	/** Appends one frame line; ignored after a failed write. Any thread, but never after Close: that fails a check. */
	void WriteFrame(const FLiveLinkSubjectKey& InSubjectKey, const FLiveLinkCameraFrameData& InFrame);
	/**
	 * Appends the closing line, flushes the file to disk and closes it. False with the reason in OutError when the
	 * take could not be finished; the lines before stay. Later calls do nothing and return true.
	 */
	bool Close(FString& OutError);

	const FString& GetPath() const { return Path; }
	int64 GetFramesWritten() const { return FramesWritten.load(std::memory_order_relaxed); }

private:
	FTakeFile(int InDescriptor, FString InPath)
		: Descriptor(InDescriptor)
		, Path(MoveTemp(InPath))
	{
	}

	/** Called with Mutex held. */
	bool WriteLine(const std::string& InLine);

	std::mutex Mutex;
	int Descriptor = -1;
	bool bWriteFailed = false;
	const FString Path;
	std::atomic<int64> FramesWritten{0};
};
