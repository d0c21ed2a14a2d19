#include "TavrixLiveLinkSource.h"

#include "Async/Async.h"
#include "Common/UdpSocketBuilder.h"
#include "HAL/PlatformTime.h"
#include "HAL/RunnableThread.h"
#include "ILiveLinkClient.h"
#include "Roles/LiveLinkCameraRole.h"
#include "Recorder/TakeRecorderPanel.h"
#include "Roles/LiveLinkCameraTypes.h"
#include "SocketSubsystem.h"
#include "TakeMetaData.h"
#include "TakeRecorderBlueprintLibrary.h"
#include "Sockets.h"
#include "TavrixConversions.h"
#include "TavrixFrameClock.h"
#include "TavrixLiveLinkLog.h"
#include "TavrixMessageDecoder.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#define LOCTEXT_NAMESPACE "TavrixLiveLinkSource"

namespace
{
constexpr int32 ReceiveBufferSize = 1024 * 1024;
constexpr uint32 ReceiveThreadStackSize = 128 * 1024;

// Once a stop is seen, the loop decodes what was queued at that moment and then ends. The queue cannot hold more
// than the socket's receive buffer, which a system may grant at twice the size asked (Linux does), and each queued
// datagram costs the buffer its payload plus the system's bookkeeping (about 800 bytes on Linux: a 2 MiB buffer
// holds some 1,600 datagrams of 200 bytes). Charging each datagram its payload plus QueuedDatagramOverhead stops
// the drain no earlier than the queue that was there runs dry, and a sender that keeps flooding cannot hold the
// thread, or the destructor, for long.
constexpr int64 DrainBudgetAfterStop = 2 * int64(ReceiveBufferSize);
constexpr int64 QueuedDatagramOverhead = 768;

int64 NowMonotonicMs()
{
	return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

/** The host clock in seconds, with the engine's bias, from the high-resolution counter. */
double ReadHostClockSeconds()
{
	return static_cast<double>(FPlatformTime::Cycles64()) * FGenericPlatformTime::GetSecondsPerCycle() + 16777216.0;
}

const FName& CameraSubjectName()
{
	static const FName Name("Tavrix - Camera");
	return Name;
}

} // namespace

FTavrixLiveLinkSource::FTavrixLiveLinkSource(FIPv4Endpoint InEndpoint, bool bInAutoLens, bool bInAutoSceneTake, bool bInAutoRecord)
	: DeviceEndpoint(InEndpoint)
	, bAutoLens(bInAutoLens)
	, bAutoSceneTake(bInAutoSceneTake)
	, bAutoRecord(bInAutoRecord)
{
	SourceStatus = LOCTEXT("SourceStatus_DeviceNotFound", "Device Not Found");
	SourceType = LOCTEXT("TavrixLiveLinkSourceType", "Halvecor Tavrix LiveLink");
	SourceMachineName = LOCTEXT("TavrixLiveLinkSourceMachineName", "localhost");

	Socket = FUdpSocketBuilder(TEXT("TVK"))
				 .AsNonBlocking()
				 .AsReusable()
				 .BoundToAddress(DeviceEndpoint.Address)
				 .BoundToPort(DeviceEndpoint.Port)
				 .WithReceiveBufferSize(ReceiveBufferSize)
				 .Build();

	RecvBuffer.SetNumUninitialized(ReceiveBufferSize);

	if (Socket != nullptr && Socket->GetSocketType() == SOCKTYPE_Datagram)
	{
		SocketSubsystem = ISocketSubsystem::Get(TEXT("WINDOWS"));
		if (SocketSubsystem == nullptr)
		{
			// No subsystem of that name (the engine outside Windows): nothing could receive, so nothing stays bound.
			DestroySocket();
		}
		else
		{
			Start();
			// Only a running receive thread makes the source receive: without one it stays "Device Not Found".
			if (Thread != nullptr)
			{
				SourceStatus = LOCTEXT("SourceStatus_Receiving", "Receiving");
			}
		}
	}

	FrameClock = FTavrixFrameClock(NowMonotonicMs());
}

FTavrixLiveLinkSource::~FTavrixLiveLinkSource()
{
	Stop();

	if (Thread != nullptr)
	{
		Thread->WaitForCompletion();
		delete Thread;
		Thread = nullptr;
	}

	// A tick after the thread ended has removed the subscription already; a source without a thread, or whose
	// thread ended after the last tick, still holds it. After this no tick can reach the object.
	EndTickSubscription();

	DestroySocket();
}

void FTavrixLiveLinkSource::DestroySocket()
{
	if (Socket == nullptr)
	{
		return;
	}
	Socket->Close();
	// A socket that is not used (no subsystem of the platform's name, or not a datagram socket) goes back to the
	// subsystem that made it: the builder's, the platform's default.
	if (ISocketSubsystem* Owner = SocketSubsystem != nullptr ? SocketSubsystem : ISocketSubsystem::Get())
	{
		Owner->DestroySocket(Socket);
	}
	Socket = nullptr;
}

void FTavrixLiveLinkSource::ReceiveClient(ILiveLinkClient* InClient, FGuid InSourceGuid)
{
	Client = InClient;
	SourceGuid = InSourceGuid;
	TickDelegateHandle = Client->TickNotification().AddStatic(&FTavrixLiveLinkSource::OnLiveLinkTick, this);
}

bool FTavrixLiveLinkSource::IsSourceStillValid() const
{
	if (bStopping.load())
	{
		return false;
	}
	if (Thread == nullptr)
	{
		return false;
	}
	return Socket != nullptr;
}

bool FTavrixLiveLinkSource::RequestSourceShutdown()
{
	Stop();
	return true;
}

FText FTavrixLiveLinkSource::GetSourceType() const
{
	return SourceType;
}

FText FTavrixLiveLinkSource::GetSourceMachineName() const
{
	return SourceMachineName;
}

FText FTavrixLiveLinkSource::GetSourceStatus() const
{
	return SourceStatus;
}

void FTavrixLiveLinkSource::Start()
{
	ThreadName = TEXT("Halvecor Tavrix Link");
	ThreadName.AppendInt(FAsyncThreadIndex::GetNext());
	Thread = FRunnableThread::Create(this, *ThreadName, ReceiveThreadStackSize, TPri_AboveNormal, FPlatformAffinity::GetPoolThreadMask());
}

bool FTavrixLiveLinkSource::Init()
{
	return true;
}

uint32 FTavrixLiveLinkSource::Run()
{
	TSharedRef<FInternetAddr> SenderAddress = SocketSubsystem->CreateInternetAddr();

	while (!bStopping.load())
	{
		if (!Socket->Wait(ESocketWaitConditions::WaitForRead, WaitTime))
		{
			continue;
		}

		uint32 PendingDataSize = 0;
		if (!Socket->HasPendingData(PendingDataSize))
		{
			// Readable with nothing counted: an empty datagram (the system counts its 0 bytes) or a pending error.
			// One receive takes it off the queue; without it every wait would return at once and nothing queued
			// behind it would ever be read.
			ReceiveDatagram(*SenderAddress);
			continue;
		}
		// The stop is tested before every receive too: a sender that floods the port faster than it is decoded
		// must not keep this loop alive; what is queued then is decoded below.
		do
		{
			ReceiveDatagram(*SenderAddress);
		} while (!bStopping.load() && Socket->HasPendingData(PendingDataSize));
	}

	int64 DrainBudget = DrainBudgetAfterStop;
	while (DrainBudget > 0 && Socket->Wait(ESocketWaitConditions::WaitForRead, FTimespan::Zero()))
	{
		DrainBudget -= ReceiveDatagram(*SenderAddress) + QueuedDatagramOverhead;
	}

	// The tick subscription is the game thread's to remove (the client's notification takes no lock): the next
	// tick, or the destructor, sees this and removes it.
	bReceiveThreadEnded.store(true);
	return 0;
}

int32 FTavrixLiveLinkSource::ReceiveDatagram(FInternetAddr& SenderAddress)
{
	int32 BytesRead = 0;
	if (!Socket->RecvFrom(RecvBuffer.GetData(), RecvBuffer.Num(), BytesRead, SenderAddress) || BytesRead <= 0)
	{
		return 0;
	}

	TSharedPtr<TArray<uint8>, ESPMode::ThreadSafe> ReceivedData = MakeShared<TArray<uint8>, ESPMode::ThreadSafe>();
	ReceivedData->SetNumUninitialized(BytesRead);
	std::memcpy(ReceivedData->GetData(), RecvBuffer.GetData(), static_cast<size_t>(BytesRead));
	ProcessReceivedData(ReceivedData);
	ReceivedData.Reset();
	return BytesRead;
}

void FTavrixLiveLinkSource::Stop()
{
	bStopping.exchange(1);
}

void FTavrixLiveLinkSource::Exit() {}

void FTavrixLiveLinkSource::HandleReceivedData(TSharedPtr<TArray<uint8>, ESPMode::ThreadSafe> InData)
{
	InData.Reset();
}

void FTavrixLiveLinkSource::OnLiveLinkTick(FTavrixLiveLinkSource* InSource)
{
	InSource->LiveLinkTick();
}

void FTavrixLiveLinkSource::EndTickSubscription()
{
	if (Client != nullptr && TickDelegateHandle.IsValid())
	{
		Client->TickNotification().Remove(TickDelegateHandle);
		TickDelegateHandle.Reset();
	}
}

bool FTavrixLiveLinkSource::ProcessReceivedData(TSharedPtr<TArray<uint8>, ESPMode::ThreadSafe> InData)
{
	const int64 ArrivalMs = NowMonotonicMs();
	TavrixMessageDecoder::FResult Decoded = TavrixMessageDecoder::Decode(
		InData->GetData(), InData->Num(), TavrixMessageDecoder::FOptions{bAutoLens, bAutoSceneTake, bAutoRecord});

	for (int32 Index = 0; Index < Decoded.ForeignMembers; ++Index)
	{
		UE_LOG(ModuleLog, Error, TEXT("Unknow data received"));
	}

	// Everything is converted already: the lock covers the copy into the received state alone.
	if (Decoded.bHasCamera)
	{
		std::lock_guard Lock(DataMutex);
		Decoded.Camera.StoreInto(ReceivedState);
		++DecodedCameraCount;
		LatestArrivalMs = ArrivalMs;
		bHasReceivedData = true;
	}
	return false;
}

bool FTavrixLiveLinkSource::LiveLinkTick()
{
	// Nothing is published once the receive thread has ended; the subscription goes here, on the thread that
	// raises the notification (removing itself from inside the raise is allowed).
	if (bReceiveThreadEnded.load())
	{
		EndTickSubscription();
		return false;
	}

	if (bPushStaticData)
	{
		FLiveLinkStaticDataStruct StaticData(FLiveLinkCameraStaticData::StaticStruct());
		FLiveLinkCameraStaticData* CameraStaticData = StaticData.Cast<FLiveLinkCameraStaticData>();
		CameraStaticData->bIsFieldOfViewSupported = true;
		CameraStaticData->bIsAspectRatioSupported = true;
		CameraStaticData->bIsFocalLengthSupported = true;
		CameraStaticData->bIsProjectionModeSupported = false;
		CameraStaticData->bIsApertureSupported = false;
		CameraStaticData->bIsFocusDistanceSupported = true;
		Client->PushStaticData(
			FLiveLinkSubjectKey(SourceGuid, CameraSubjectName()), ULiveLinkCameraRole::StaticClass(), MoveTemp(StaticData));
		bPushStaticData = false;
	}

	if (!bHasReceivedData)
	{
		return false;
	}

	const int64 NowMs = NowMonotonicMs();

	FLiveLinkFrameDataStruct FrameData(FLiveLinkCameraFrameData::StaticStruct());
	FLiveLinkCameraFrameData& Frame = *FrameData.Cast<FLiveLinkCameraFrameData>();
	{
		std::lock_guard Lock(DataMutex);
		Frame.Transform.SetRotation(ReceivedState.Rotation);
		Frame.Transform.SetTranslation(ReceivedState.Location);
		Frame.Transform.SetScale3D(ReceivedState.Scale);

		const double FirstReading = ReadHostClockSeconds();
		const double SecondReading = ReadHostClockSeconds();
		Frame.WorldTime = FLiveLinkWorldTime(FirstReading, SecondReading - FirstReading);

		// Only a timecode that arrived since the last tick may re-synchronise the clock; between datagrams the
		// scene time runs on the local count.
		const bool bTimecodeIsFresh = DecodedCameraCount != TickedCameraCount;
		TickedCameraCount = DecodedCameraCount;
		const FTavrixTimecode Timecode{ReceivedState.Timecode[0], ReceivedState.Timecode[1], ReceivedState.Timecode[2]};
		FQualifiedFrameTime SceneTime;
		if (FrameClock.Tick(NowMs, Timecode, bTimecodeIsFresh, LatestArrivalMs, SceneTime))
		{
			Frame.MetaData.SceneTime = SceneTime;
		}

		if (bAutoLens)
		{
			Frame.FocalLength = TavrixConversions::ToFloat(ReceivedState.Lens[0]);
			Frame.FocusDistance = TavrixConversions::ToFloat(ReceivedState.Lens[1]);
			Frame.AspectRatio = TavrixConversions::ToFloat(ReceivedState.Lens[2]);
			Frame.FieldOfView = TavrixConversions::ToFloat(ReceivedState.Lens[3]);
		}

		// Under the same lock: the receive thread cannot change the metadata between the change test and the copy.
		if (bAutoSceneTake || bAutoRecord)
		{
			ApplyTakeRecorderState();
		}
	}

	Client->PushFrameData(FLiveLinkSubjectKey(SourceGuid, CameraSubjectName()), MoveTemp(FrameData));
	return true;
}

void FTavrixLiveLinkSource::ApplyTakeRecorderState()
{
	const int32 RecordRequest = ReceivedState.State == 2 ? 1 : 0;

	// Case-sensitive: a slate that changes only in letter case is a new slate.
	bool bUnchanged = AppliedRecordRequest == RecordRequest;
	for (int32 Index = 0; Index < 3 && bUnchanged; ++Index)
	{
		bUnchanged = ReceivedState.Metadata[Index].Equals(AppliedMetadata[Index], ESearchCase::CaseSensitive);
	}
	if (bUnchanged)
	{
		return;
	}

	// Without a panel nothing is stored, so the same change is seen again on the next tick.
	UTakeRecorderPanel* Panel = UTakeRecorderBlueprintLibrary::GetTakeRecorderPanel();
	if (Panel == nullptr)
	{
		return;
	}

	if (bAutoSceneTake)
	{
		if (UTakeMetaData* MetaData = Panel->GetTakeMetaData())
		{
			MetaData->SetSlate(ReceivedState.Metadata[1], true);
			MetaData->SetTakeNumber(TavrixConversions::ParseTakeNumber(ReceivedState.Metadata[2]), true);
			for (int32 Index = 0; Index < 3; ++Index)
			{
				AppliedMetadata[Index] = ReceivedState.Metadata[Index];
			}
		}
	}

	if (bAutoRecord)
	{
		// A recording that is asked to go on goes on, whatever else changed: only a request to stop stops it.
		const bool bRecording = UTakeRecorderBlueprintLibrary::IsRecording();
		if (RecordRequest == 1 && !bRecording)
		{
			Panel->StartRecording();
		}
		else if (RecordRequest == 0 && bRecording)
		{
			Panel->StopRecording();
		}
	}

	AppliedRecordRequest = RecordRequest;
}

#undef LOCTEXT_NAMESPACE
