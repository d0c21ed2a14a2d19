#pragma once

#include "CoreMinimal.h"
#include "Interfaces/IPv4/IPv4Endpoint.h"
#include "TavrixPcapFormat.h"

#include <atomic>
#include <condition_variable>
#include <mutex>

class FRunnableThread;
class IFileHandle;

/** What a capture writer has done, read on the game thread. */
struct FTavrixCaptureStatus
{
	/** The file of the current or latest capture; empty before the first file was made. */
	FString FilePath;
	/** From a successful Start to Stop, including after a write error ended the writing. */
	bool bCapturing = false;
	/** Datagrams of the current or latest capture that are in its file. */
	uint64 CapturedDatagrams = 0;
	/** Datagrams offered while capturing that will never be in the file: the queue was full, or the writing failed. */
	uint64 DroppedDatagrams = 0;
	/** The latest Start failed, or a write error ended the latest capture; Error says which. */
	bool bFailed = false;
	FString Error;
};

/**
 * Writes every datagram it is handed, with its arrival time and sender, to a classic pcap file, as the packet that
 * carried it (IPv4 and UDP headers from the sender and the local endpoint), so that network tools read the file as a
 * capture taken on the wire.
 *
 * Threads: Start, Stop, GetStatus and destruction on one thread (the game thread); Enqueue on one other thread (the
 * receive thread), at any time, also while Start or Stop runs. The file is written only on the writer's own thread.
 *
 * Enqueue copies the datagram, already formatted as a record, into a queue of at most QueueByteBudget bytes under a
 * short lock, and never touches the file. The writer thread swaps that queue for an empty one and writes it as one
 * block whenever it holds WakeThresholdBytes, and at least every FlushInterval otherwise, so the file trails the
 * traffic by that much at most. A datagram that does not fit in the queue is counted as dropped from the capture.
 */
class FTavrixCaptureWriter
{
public:
	/** Bytes of records waiting for the writer thread, besides the block it is writing: at 10,000 datagrams of 300
	 *  bytes a second, over a second of a stalled disk. */
	static constexpr int32 QueueByteBudget = 4 * 1024 * 1024;

	FTavrixCaptureWriter();
	/** Stops: the file is complete once the object is gone. */
	~FTavrixCaptureWriter();
	FTavrixCaptureWriter(const FTavrixCaptureWriter&) = delete;
	FTavrixCaptureWriter& operator=(const FTavrixCaptureWriter&) = delete;

	/**
	 * Ends the current capture, if any, then makes InFolder (and its parents) if missing and a new file in it,
	 * "Tavrix-YYYYMMDD-HHMMSS.pcap" from the UTC time, with "-2", "-3", ... when that name is taken (an existing file
	 * is never replaced), writes the file header and starts the writer thread. InLocalEndpoint is the receiving end
	 * written into every packet. False, with one error logged and the status saying why, when that fails; nothing is
	 * left open then.
	 */
	bool Start(const FString& InFolder, const FIPv4Endpoint& InLocalEndpoint);

	/** Writes everything queued, closes the file and ends the writer thread; returns once all that is done. */
	void Stop();

	/** The receive thread's test before it looks at the sender and the clock: one relaxed load. */
	bool IsCapturing() const { return bCapturing.load(std::memory_order_relaxed); }

	/**
	 * Queues one datagram (InSize bytes, 0 to TavrixPcapFormat::MaxPayloadSize) that arrived at
	 * InArrivalMicroseconds since the Unix epoch (UTC) from InSenderAddress (host order) and InSenderPort. Never
	 * blocks on the file. True when queued; false when not capturing, or when the datagram was dropped from the
	 * capture (counted).
	 */
	bool Enqueue(int64 InArrivalMicroseconds, uint32 InSenderAddress, uint16 InSenderPort, const uint8* InData, int32 InSize);

	FTavrixCaptureStatus GetStatus() const;

private:
	friend class FTavrixCaptureWriterInspector;
	class FWriterRunnable;

	/** The writer thread's loop: writes each swapped-out block, then closes the file. */
	uint32 RunWriter();
	/** Writes one block (writer thread); on a write error, keeps the whole records that reached the file, cuts
	 *  the rest, ends the capture and logs why. False after a write error. */
	bool WriteBlock(int32 InBlock);
	/** Records why Start failed and logs it; always false. */
	bool FailStart(const FString& InError);
	/** Closes and forgets the file (game thread when no writer thread runs, else the writer thread). */
	void CloseFile();

	/** The queue is handed to the writer thread once it holds this much, rather than at the next FlushInterval. */
	static constexpr int32 WakeThresholdBytes = QueueByteBudget / 4;

	// Game thread only.
	FRunnableThread* Thread = nullptr;
	/** The writer thread's body; lives exactly as long as Thread. */
	FWriterRunnable* Runnable = nullptr;

	// The game thread's while no writer thread runs, the writer thread's while it does.
	IFileHandle* File = nullptr;
	/** Bytes of the file that hold only whole records (and the file header). */
	int64 FileBytesWritten = 0;

	/** Guards everything below up to the atomics. Held by Enqueue for one record's copy, by the writer for a swap. */
	mutable std::mutex QueueMutex;
	std::condition_variable WriterWake;
	/** Two blocks of formatted records: Enqueue appends to Blocks[FillingBlock], the writer writes the other. */
	TArray<uint8> Blocks[2];
	int32 BlockRecords[2] = {0, 0};
	int32 FillingBlock = 0;
	bool bFinishRequested = false;
	bool bWakeRequested = false;
	/** A write error ended the capture: Enqueue only counts drops until Stop. */
	bool bWriteFailed = false;
	bool bFailed = false;
	FString FilePath;
	FString Error;
	TavrixPcapFormat::FEndpoint Receiver;
	uint16 NextIdentification = 0;

	/** Written under QueueMutex; read without it by IsCapturing. */
	std::atomic<bool> bCapturing{false};
	std::atomic<uint64> CapturedDatagrams{0};
	std::atomic<uint64> DroppedDatagrams{0};
};
