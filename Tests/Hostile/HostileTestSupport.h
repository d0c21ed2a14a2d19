#pragma once

#include "SourceTestSupport.h"

#include "HAL/RunnableThread.h"
#include "Roles/LiveLinkCameraRole.h"
#include "SocketSubsystem.h"
#include "HAL/RunnableThreadTesting.h"
#include "LiveLinkClientTesting.h"

#include <malloc.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define TAVRIX_SANITIZED_ALLOCATOR 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define TAVRIX_SANITIZED_ALLOCATOR 1
#endif
#endif

#if defined(__SANITIZE_ADDRESS__)
#define TAVRIX_ALLOCATOR_QUARANTINE 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TAVRIX_ALLOCATOR_QUARANTINE 1
#endif
#endif

#if defined(__SANITIZE_THREAD__)
#define TAVRIX_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define TAVRIX_THREAD_SANITIZER 1
#endif
#endif

#if defined(TAVRIX_SANITIZED_ALLOCATOR)
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace HostileTest
{
using namespace std::chrono_literals;

/** ThreadSanitizer makes every memory access of the decoder several times dearer: long loops are scaled down. */
#if defined(TAVRIX_THREAD_SANITIZER)
constexpr bool bThreadSanitizer = true;
#else
constexpr bool bThreadSanitizer = false;
#endif
/** Either sanitizer: what must end promptly gets a bound that a sanitized build on a busy machine keeps. */
#if defined(TAVRIX_SANITIZED_ALLOCATOR)
constexpr bool bSanitizer = true;
#else
constexpr bool bSanitizer = false;
#endif

/** The largest payload one UDP datagram over IPv4 can carry. */
constexpr size_t MaxDatagramSize = 65507;

/**
 * Counts the decoder's error lines without keeping them, so that millions of them cost no memory; while it lives,
 * nothing of the log reaches the console either.
 */
class FErrorLineCounter : public FOutputDevice
{
public:
	FErrorLineCounter()
		: ModuleLogName("ModuleLog")
	{
		GLog->AddOutputDevice(this);
	}
	~FErrorLineCounter() override { GLog->RemoveOutputDevice(this); }
	FErrorLineCounter(const FErrorLineCounter&) = delete;
	FErrorLineCounter& operator=(const FErrorLineCounter&) = delete;

	void Serialize(const TCHAR* Text, ELogVerbosity::Type Verbosity, const FName& Category) override
	{
		if (Category == ModuleLogName && Verbosity == ELogVerbosity::Error && std::u16string_view(Text) == u"Unknow data received")
		{
			Count.fetch_add(1);
		}
	}

	int64_t Get() const { return Count.load(); }

private:
	FName ModuleLogName;
	std::atomic<int64_t> Count{0};
};

/** A complete camera message whose location X identifies it. */
inline std::string CameraMessage(int Marker)
{
	return "{\"TVKCamera\":[{\"Location\":[" + std::to_string(Marker) +
		",2,3],\"Rotation\":[0,0,0,1],\"Scale\":[1,1,1],\"Lens\":[35,300,1.5,60],\"Timecode\":[250,25,1],"
		"\"Metadata\":[\"\",\"Scene\",\"1\"],\"State\":0}]}";
}

/**
 * A receiving source on 127.0.0.1 (port of the system's choosing), added to a Live Link client that the test ticks,
 * and a loopback socket that sends it datagrams. Datagrams from one socket to one loopback port arrive in order, so a
 * datagram sent after others tells when those have been handled.
 */
class FLoopbackRig
{
public:
	explicit FLoopbackRig(bool bAutoLens = true, bool bAutoSceneTake = true)
	{
		TSharedPtr<FTavrixLiveLinkSource> Shared = MakeSharedLoopbackSource(bAutoLens, bAutoSceneTake, false);
		Source = Shared.Get();
		Port = static_cast<uint16_t>(FTavrixLiveLinkSourceInspector(*Source).GetBoundPort());
		Guid = Client.AddSource(Shared);
	}
	~FLoopbackRig() { Client.RemoveAllSources(); }
	FLoopbackRig(const FLoopbackRig&) = delete;
	FLoopbackRig& operator=(const FLoopbackRig&) = delete;

	FTavrixLiveLinkSourceInspector Inspector() const { return FTavrixLiveLinkSourceInspector(*Source); }
	FLiveLinkSubjectKey Key() const { return FLiveLinkSubjectKey(Guid, FName("Tavrix - Camera")); }

	bool Send(std::string_view Payload) const { return Sender.SendTo(Port, Payload); }

	/**
	 * Sends a message with one foreign member and nothing else, and waits until the source has counted it. Every
	 * datagram sent before it has then been handled. Only for traffic that has no foreign member itself.
	 */
	bool Settle()
	{
		const int64_t Before = ForeignMembers();
		return Send("{\"Fence\":0}") && WaitUntil([&] { return ForeignMembers() > Before; }, 30s);
	}
	/**
	 * Foreign top-level members the source decoded, each counted: what the log would show one line each for, were it
	 * not bounded to a burst a second.
	 */
	int64_t ForeignMembers() const { return static_cast<int64_t>(Inspector().GetForeignMembersDecoded()); }

	/** Sends a camera message marked Marker and ticks the client until a frame with that marker is published. */
	bool SendMarkerAndAwaitPublication(int Marker) { return Send(CameraMessage(Marker)) && AwaitPublication(Marker); }

	/** Ticks the client until it holds a frame whose location X is Marker. */
	bool AwaitPublication(int Marker)
	{
		return WaitUntil(
			[&] {
				Client.Tick();
				const std::optional<FLiveLinkCameraFrameData> Frame = LatestFrame();
				return Frame.has_value() && Frame->Transform.GetTranslation().X == static_cast<float>(Marker);
			},
			30s);
	}

	/** The frame the client holds for the camera subject, if any. */
	std::optional<FLiveLinkCameraFrameData> LatestFrame() const
	{
		const FLiveLinkFrameDataStruct Frame = FLiveLinkClientTesting::GetLatestFrame(Client, Key());
		const FLiveLinkCameraFrameData* Camera = Frame.Cast<FLiveLinkCameraFrameData>();
		return Camera != nullptr ? std::optional<FLiveLinkCameraFrameData>(*Camera) : std::nullopt;
	}

	FErrorLineCounter Errors;
	FLiveLinkClient Client;
	FTavrixLiveLinkSource* Source = nullptr;
	FGuid Guid;
	uint16_t Port = 0;
	FLoopbackUdp Sender;
};

/**
 * Sends camera messages marked 1, 2, 3, ... to a loopback port as fast as it can, from a thread of its own, until it
 * is stopped or its time is up: a source that never lets go of a flood fails the test instead of hanging it. Each
 * message carries thousands of numbers, so that decoding one takes far longer than sending it and the socket's queue
 * never runs dry while the flood lasts.
 */
class FFlooder
{
public:
	explicit FFlooder(uint16_t Port, std::chrono::seconds MaxDuration = 20s)
		: Thread([this, Port, MaxDuration] {
			FLoopbackUdp Sender;
			std::string Message = MakeTemplate();
			const auto Deadline = std::chrono::steady_clock::now() + MaxDuration;
			for (int Marker = 1; bFlooding.load() && std::chrono::steady_clock::now() < Deadline; ++Marker)
			{
				// Right-aligned in its slot: white space may stand before a number, leading zeros may not.
				char Digits[MarkerWidth + 1];
				std::snprintf(Digits, sizeof(Digits), "%*d", MarkerWidth, Marker);
				Message.replace(MarkerOffset, MarkerWidth, Digits);
				LastSent.store(Marker);
				Sender.SendTo(Port, Message);
			}
		})
	{
	}
	~FFlooder() { Stop(); }
	FFlooder(const FFlooder&) = delete;
	FFlooder& operator=(const FFlooder&) = delete;

	void Stop()
	{
		bFlooding.store(false);
		if (Thread.joinable())
		{
			Thread.join();
		}
	}
	/** The marker of the datagram being sent or last sent: no datagram with a higher one has been sent yet. */
	int GetLastSent() const { return LastSent.load(); }

private:
	static constexpr std::string_view Head = "{\"TVKCamera\":[{\"Location\":[";
	static constexpr size_t MarkerOffset = Head.size();
	static constexpr int MarkerWidth = 10;

	/** {"TVKCamera":[{"Location":[<marker>,2,3,0,0,...]}]}, 16 KiB long. */
	static std::string MakeTemplate()
	{
		std::string Message = std::string(Head) + std::string(MarkerWidth, ' ') + ",2,3";
		const std::string Tail = "]}]}";
		while (Message.size() + 2 + Tail.size() <= 16384)
		{
			Message += ",0";
		}
		return Message + Tail;
	}

	std::atomic<bool> bFlooding{true};
	std::atomic<int> LastSent{0};
	std::thread Thread;
};

/** Bytes queued for the UDP socket bound to 127.0.0.1:Port, from /proc/net/udp; -1 when no socket is bound there. */
inline int64_t QueuedBytes(uint16_t Port)
{
	char LocalAddress[32];
	std::snprintf(LocalAddress, sizeof(LocalAddress), "0100007F:%04X", static_cast<unsigned>(Port));
	std::ifstream Table("/proc/net/udp");
	std::string Line;
	std::getline(Table, Line);
	while (std::getline(Table, Line))
	{
		std::istringstream Fields(Line);
		std::string Slot, Local, Remote, SocketState, Queues;
		Fields >> Slot >> Local >> Remote >> SocketState >> Queues;
		const size_t Colon = Queues.find(':');
		if (Local == LocalAddress && Colon != std::string::npos)
		{
			return static_cast<int64_t>(std::stoull(Queues.substr(Colon + 1), nullptr, 16));
		}
	}
	return -1;
}

/** Resident set size of this process, from /proc/self/statm. */
inline int64_t ResidentBytes()
{
	std::ifstream Statm("/proc/self/statm");
	int64_t SizePages = 0;
	int64_t ResidentPages = 0;
	Statm >> SizePages >> ResidentPages;
	return ResidentPages * static_cast<int64_t>(::sysconf(_SC_PAGESIZE));
}

/**
 * AddressSanitizer parks freed blocks in a quarantine of up to 256 MiB before it reuses them, so the resident set
 * grows until that is full even when nothing leaks. Memory tests then measure a second run after an identical first
 * one; with other allocators a short first run is enough to bring caches and pools to their working size.
 */
#if defined(TAVRIX_ALLOCATOR_QUARANTINE)
constexpr bool bAllocatorQuarantinesFreedBlocks = true;
#else
constexpr bool bAllocatorQuarantinesFreedBlocks = false;
#endif

/** Bytes the program holds allocated on the heap right now, quarantines and caches of freed blocks excluded. */
inline int64_t LiveHeapBytes()
{
#if defined(TAVRIX_SANITIZED_ALLOCATOR)
	return static_cast<int64_t>(__sanitizer_get_current_allocated_bytes());
#else
	const struct mallinfo2 Info = ::mallinfo2();
	return static_cast<int64_t>(Info.uordblks + Info.hblkhd);
#endif
}

/** Entries of a /proc directory such as /proc/self/fd or /proc/self/task. */
inline int CountEntries(const char* Directory)
{
	int Count = 0;
	for (std::filesystem::directory_iterator It(Directory); It != std::filesystem::directory_iterator(); ++It)
	{
		++Count;
	}
	return Count;
}

/** What a process holds of the things a source takes: descriptors, threads, sockets and memory. */
struct FProcessResources
{
	int Descriptors = 0;
	int Tasks = 0;
	int32 LiveThreads = 0;
	int32 LiveSockets = 0;
	int64_t Resident = 0;
	int64_t LiveHeap = 0;

	static FProcessResources Take()
	{
		FProcessResources Resources;
		Resources.Descriptors = CountEntries("/proc/self/fd");
		Resources.Tasks = CountEntries("/proc/self/task");
		Resources.LiveThreads = FRunnableThreadTesting::GetLiveThreadCount();
		Resources.LiveSockets = ISocketSubsystem::GetLiveSocketCount();
		Resources.Resident = ResidentBytes();
		Resources.LiveHeap = LiveHeapBytes();
		return Resources;
	}
};
} // namespace HostileTest
