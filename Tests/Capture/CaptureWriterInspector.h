#pragma once

#include "TavrixCaptureWriter.h"

#include <mutex>

/** Reaches a capture writer's queue for tests; the writer names it as its friend. */
class FTavrixCaptureWriterInspector
{
public:
	explicit FTavrixCaptureWriterInspector(FTavrixCaptureWriter& InWriter)
		: Writer(InWriter)
	{
	}

	/**
	 * Lets Enqueue take records as during a capture, but with no file and no writer thread: nothing ever drains the
	 * queue, as if the disk had stalled for good. The writer must not be capturing.
	 */
	void OpenQueueWithoutWriter() const
	{
		std::lock_guard Lock(Writer.QueueMutex);
		Writer.bCapturing.store(true);
	}
	/** Ends that state and empties the queue, leaving the writer as Stop would. */
	void CloseQueueWithoutWriter() const
	{
		std::lock_guard Lock(Writer.QueueMutex);
		Writer.bCapturing.store(false);
		for (int32 Block = 0; Block < 2; ++Block)
		{
			Writer.Blocks[Block].Reset();
			Writer.BlockRecords[Block] = 0;
		}
	}
	/** Bytes of records waiting in the queue Enqueue fills. */
	int32 GetQueuedBytes() const
	{
		std::lock_guard Lock(Writer.QueueMutex);
		return Writer.Blocks[Writer.FillingBlock].Num();
	}
	int32 GetQueuedRecords() const
	{
		std::lock_guard Lock(Writer.QueueMutex);
		return Writer.BlockRecords[Writer.FillingBlock];
	}

private:
	FTavrixCaptureWriter& Writer;
};
