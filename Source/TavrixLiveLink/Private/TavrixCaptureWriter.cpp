#include "TavrixCaptureWriter.h"

#include "Async/Async.h"
#include "GenericPlatform/GenericPlatformFile.h"
#include "HAL/PlatformFilemanager.h"
#include "HAL/Runnable.h"
#include "HAL/RunnableThread.h"
#include "Misc/Paths.h"
#include "TavrixLiveLinkLog.h"

#include <chrono>

namespace
{
constexpr uint32 WriterThreadStackSize = 64 * 1024;
constexpr auto FlushInterval = std::chrono::milliseconds(50);

/** Year, month, day, hour, minute and second of a time in seconds since the Unix epoch, in UTC. */
struct FCivilTime
{
	int64 Year;
	int32 Month;
	int32 Day;
	int32 Hour;
	int32 Minute;
	int32 Second;
};

FCivilTime ToCivilTime(int64 InSeconds)
{
	// Days to a proleptic Gregorian date, in 400-year eras counted from 0000-03-01 (H. Hinnant's algorithm): pure
	// arithmetic, so no C library time zone state is touched from the editor's threads.
	int64 Days = InSeconds / 86400;
	int64 SecondOfDay = InSeconds % 86400;
	if (SecondOfDay < 0)
	{
		SecondOfDay += 86400;
		--Days;
	}
	const int64 Shifted = Days + 719468;
	const int64 Era = (Shifted >= 0 ? Shifted : Shifted - 146096) / 146097;
	const int64 DayOfEra = Shifted - Era * 146097;
	const int64 YearOfEra = (DayOfEra - DayOfEra / 1460 + DayOfEra / 36524 - DayOfEra / 146096) / 365;
	const int64 DayOfYear = DayOfEra - (365 * YearOfEra + YearOfEra / 4 - YearOfEra / 100);
	const int64 MonthFromMarch = (5 * DayOfYear + 2) / 153;
	const int32 Month = static_cast<int32>(MonthFromMarch < 10 ? MonthFromMarch + 3 : MonthFromMarch - 9);
	FCivilTime Civil;
	Civil.Year = YearOfEra + Era * 400 + (Month <= 2 ? 1 : 0);
	Civil.Month = Month;
	Civil.Day = static_cast<int32>(DayOfYear - (153 * MonthFromMarch + 2) / 5 + 1);
	Civil.Hour = static_cast<int32>(SecondOfDay / 3600);
	Civil.Minute = static_cast<int32>(SecondOfDay / 60 % 60);
	Civil.Second = static_cast<int32>(SecondOfDay % 60);
	return Civil;
}

/**
 * Opens a new file in InFolder whose name no file there has. The engine's file layer has no exclusive create, so the
 * look and the open are made under one lock: two captures of this process never get the same name. Remembering the
 * last suffix keeps a thousand starts within one second from testing every earlier name again.
 */
IFileHandle* OpenNewCaptureFile(IPlatformFile& PlatformFile, const FString& InFolder, FString& OutPath)
{
	static std::mutex NameMutex;
	static FString LastStem;
	static int32 LastSuffix = 0;

	const int64 Now = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
	const FCivilTime Civil = ToCivilTime(Now);
	const FString Stem = FPaths::Combine(InFolder,
		FString::Printf(TEXT("Tavrix-%04lld%02d%02d-%02d%02d%02d"), static_cast<long long>(Civil.Year), Civil.Month, Civil.Day, Civil.Hour,
			Civil.Minute, Civil.Second));

	std::lock_guard Lock(NameMutex);
	int32 Suffix = Stem == LastStem ? LastSuffix + 1 : 1;
	for (int32 Attempt = 0; Attempt < 100000; ++Attempt, ++Suffix)
	{
		FString Path = Stem;
		if (Suffix > 1)
		{
			Path += TEXT("-");
			Path.AppendInt(Suffix);
		}
		Path += TEXT(".pcap");
		if (PlatformFile.FileExists(*Path) || PlatformFile.DirectoryExists(*Path))
		{
			continue;
		}
		// Readable by others while it is written, so that a network analyser can follow the capture live.
		IFileHandle* File = PlatformFile.OpenWrite(*Path, false, true);
		if (File != nullptr)
		{
			LastStem = Stem;
			LastSuffix = Suffix;
			OutPath = MoveTemp(Path);
		}
		return File;
	}
	return nullptr;
}
} // namespace

/** The writer thread's body: the writer object itself cannot be the runnable, its Stop means something else. */
class FTavrixCaptureWriter::FWriterRunnable : public FRunnable
{
public:
	explicit FWriterRunnable(FTavrixCaptureWriter& InWriter)
		: Writer(InWriter)
	{
	}

	virtual uint32 Run() override { return Writer.RunWriter(); }

private:
	FTavrixCaptureWriter& Writer;
};

FTavrixCaptureWriter::FTavrixCaptureWriter() = default;

FTavrixCaptureWriter::~FTavrixCaptureWriter()
{
	Stop();
}

bool FTavrixCaptureWriter::Start(const FString& InFolder, const FIPv4Endpoint& InLocalEndpoint)
{
	Stop();

	{
		std::lock_guard Lock(QueueMutex);
		for (int32 Block = 0; Block < 2; ++Block)
		{
			Blocks[Block].Reset();
			BlockRecords[Block] = 0;
		}
		FillingBlock = 0;
		bFinishRequested = false;
		bWakeRequested = false;
		bWriteFailed = false;
		bFailed = false;
		FilePath.Empty();
		Error.Empty();
		Receiver = TavrixPcapFormat::FEndpoint{InLocalEndpoint.Address.Value, InLocalEndpoint.Port};
		NextIdentification = 0;
		CapturedDatagrams.store(0);
		DroppedDatagrams.store(0);
	}

	IPlatformFile& PlatformFile = FPlatformFileManager::Get().GetPlatformFile();
	if (!PlatformFile.CreateDirectoryTree(*InFolder))
	{
		return FailStart(FString::Printf(TEXT("cannot make the folder %s"), *InFolder));
	}
	FString NewPath;
	File = OpenNewCaptureFile(PlatformFile, InFolder, NewPath);
	if (File == nullptr)
	{
		return FailStart(FString::Printf(TEXT("cannot create a file in %s"), *InFolder));
	}
	uint8 FileHeader[TavrixPcapFormat::FileHeaderSize];
	TavrixPcapFormat::WriteFileHeader(FileHeader);
	if (!File->Write(FileHeader, sizeof(FileHeader)))
	{
		CloseFile();
		PlatformFile.DeleteFile(*NewPath);
		return FailStart(FString::Printf(TEXT("cannot write to %s"), *NewPath));
	}
	FileBytesWritten = sizeof(FileHeader);

	// Both blocks get their full size once, here, so that Enqueue never allocates.
	for (int32 Block = 0; Block < 2; ++Block)
	{
		Blocks[Block].Reserve(QueueByteBudget);
	}

	{
		std::lock_guard Lock(QueueMutex);
		FilePath = NewPath;
		bCapturing.store(true);
	}
	FString ThreadName = TEXT("Tavrix Capture Writer");
	ThreadName.AppendInt(FAsyncThreadIndex::GetNext());
	Runnable = new FWriterRunnable(*this);
	Thread = FRunnableThread::Create(Runnable, *ThreadName, WriterThreadStackSize, TPri_BelowNormal);
	if (Thread == nullptr)
	{
		{
			std::lock_guard Lock(QueueMutex);
			bCapturing.store(false);
		}
		delete Runnable;
		Runnable = nullptr;
		CloseFile();
		PlatformFile.DeleteFile(*NewPath);
		return FailStart(FString::Printf(TEXT("no thread could be started to write %s"), *NewPath));
	}
	return true;
}

bool FTavrixCaptureWriter::FailStart(const FString& InError)
{
	UE_LOG(ModuleLog, Error, TEXT("Raw datagram capture not started: %s"), *InError);
	std::lock_guard Lock(QueueMutex);
	bFailed = true;
	Error = InError;
	return false;
}

void FTavrixCaptureWriter::Stop()
{
	if (Thread == nullptr)
	{
		return;
	}
	{
		std::lock_guard Lock(QueueMutex);
		bCapturing.store(false);
		bFinishRequested = true;
	}
	WriterWake.notify_one();
	Thread->WaitForCompletion();
	delete Thread;
	Thread = nullptr;
	delete Runnable;
	Runnable = nullptr;
}

bool FTavrixCaptureWriter::Enqueue(
	int64 InArrivalMicroseconds, uint32 InSenderAddress, uint16 InSenderPort, const uint8* InData, int32 InSize)
{
	if (!IsCapturing())
	{
		return false;
	}
	const int32 RecordSize = TavrixPcapFormat::RecordOverhead + InSize;
	bool bWakeWriter = false;
	{
		std::lock_guard Lock(QueueMutex);
		if (!bCapturing.load(std::memory_order_relaxed))
		{
			return false;
		}
		TArray<uint8>& Block = Blocks[FillingBlock];
		if (bWriteFailed || InSize < 0 || InSize > TavrixPcapFormat::MaxPayloadSize || Block.Num() + RecordSize > QueueByteBudget)
		{
			DroppedDatagrams.fetch_add(1, std::memory_order_relaxed);
			return false;
		}
		uint8 Headers[TavrixPcapFormat::RecordOverhead];
		TavrixPcapFormat::WriteRecordHeaders(Headers, InArrivalMicroseconds, TavrixPcapFormat::FEndpoint{InSenderAddress, InSenderPort},
			Receiver, NextIdentification++, InSize);
		Block.Append(Headers, TavrixPcapFormat::RecordOverhead);
		Block.Append(InData, InSize);
		++BlockRecords[FillingBlock];
		if (!bWakeRequested && Block.Num() >= WakeThresholdBytes)
		{
			bWakeRequested = true;
			bWakeWriter = true;
		}
	}
	// Only a filling queue wakes the writer early: a wake per datagram would cost the receive thread a system call.
	if (bWakeWriter)
	{
		WriterWake.notify_one();
	}
	return true;
}

uint32 FTavrixCaptureWriter::RunWriter()
{
	bool bFinished = false;
	while (!bFinished)
	{
		int32 WritingBlock = 0;
		{
			std::unique_lock Lock(QueueMutex);
			WriterWake.wait_for(Lock, FlushInterval, [this] { return bFinishRequested || bWakeRequested; });
			// A finish seen here comes after the last datagram Enqueue accepted: the block swapped out now holds
			// everything still queued.
			bFinished = bFinishRequested;
			bWakeRequested = false;
			WritingBlock = FillingBlock;
			FillingBlock = 1 - FillingBlock;
		}
		if (!WriteBlock(WritingBlock))
		{
			break;
		}
	}

	// Nothing is buffered between the writes and the system; Flush is for a file layer that does buffer.
	if (File != nullptr && !File->Flush())
	{
		UE_LOG(ModuleLog, Error, TEXT("Raw datagram capture: flushing %s failed"), *GetStatus().FilePath);
	}
	CloseFile();
	return 0;
}

bool FTavrixCaptureWriter::WriteBlock(int32 InBlock)
{
	TArray<uint8>& Block = Blocks[InBlock];
	const int32 Records = BlockRecords[InBlock];
	if (Records == 0)
	{
		return true;
	}
	const bool bWritten = File->Write(Block.GetData(), Block.Num());
	int64 KeptBytes = Block.Num();
	int32 KeptRecords = Records;
	bool bTruncated = true;
	if (!bWritten)
	{
		// How much reached the file is unknown: its size tells. Whole records stay, a piece of one is cut off, so
		// that every reader sees a file that ends cleanly.
		const int64 Landed = File->Size() - FileBytesWritten;
		KeptBytes = 0;
		KeptRecords = 0;
		while (KeptRecords < Records)
		{
			const int64 RecordSize = TavrixPcapFormat::ReadRecordSize(Block.GetData() + KeptBytes);
			if (KeptBytes + RecordSize > Landed)
			{
				break;
			}
			KeptBytes += RecordSize;
			++KeptRecords;
		}
		bTruncated = File->Truncate(FileBytesWritten + KeptBytes);
	}
	FileBytesWritten += KeptBytes;
	CapturedDatagrams.fetch_add(static_cast<uint64>(KeptRecords));
	Block.Reset();
	BlockRecords[InBlock] = 0;
	if (bWritten)
	{
		return true;
	}

	FString Message;
	{
		std::lock_guard Lock(QueueMutex);
		// Everything not written is dropped from the capture, and so is whatever comes until Stop.
		bWriteFailed = true;
		bFailed = true;
		const int32 Filling = FillingBlock;
		DroppedDatagrams.fetch_add(static_cast<uint64>(Records - KeptRecords + BlockRecords[Filling]));
		Blocks[Filling].Reset();
		BlockRecords[Filling] = 0;
		Error = FString::Printf(TEXT("writing %s failed (is the disk full?); it holds the first %llu datagrams%s"), *FilePath,
			static_cast<unsigned long long>(CapturedDatagrams.load()), bTruncated ? TEXT("") : TEXT(", the last one cut short"));
		Message = Error;
	}
	UE_LOG(ModuleLog, Error, TEXT("Raw datagram capture ended: %s"), *Message);
	return false;
}

void FTavrixCaptureWriter::CloseFile()
{
	delete File;
	File = nullptr;
}

FTavrixCaptureStatus FTavrixCaptureWriter::GetStatus() const
{
	std::lock_guard Lock(QueueMutex);
	FTavrixCaptureStatus Status;
	Status.FilePath = FilePath;
	Status.bCapturing = bCapturing.load();
	Status.CapturedDatagrams = CapturedDatagrams.load();
	Status.DroppedDatagrams = DroppedDatagrams.load();
	Status.bFailed = bFailed;
	Status.Error = Error;
	return Status;
}
