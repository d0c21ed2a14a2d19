#include "TavrixLiveLinkSource.h"

#include "Async/Async.h"
#include "Common/UdpSocketBuilder.h"
#include "HAL/PlatformTime.h"
#include "HAL/RunnableThread.h"
#include "ILiveLinkClient.h"
#include "Misc/Paths.h"
#include "Roles/LiveLinkCameraRole.h"
#include "Recorder/TakeRecorder.h"
#include "Recorder/TakeRecorderPanel.h"
#include "Roles/LiveLinkCameraTypes.h"
#include "SocketSubsystem.h"
#include "TakeMetaData.h"
#include "Recorder/TakeRecorderBlueprintLibrary.h"
#include "Sockets.h"
#include "TavrixConversions.h"
#include "TavrixFrameClock.h"
#include "TavrixLiveLinkLog.h"
#include "TavrixLiveLinkSourceSettings.h"
#include "TavrixMessageDecoder.h"
#include "UObject/UnrealType.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <limits>

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

// Each take start and stop saves assets in the editor: a sender that flips its record state on every datagram (a
// flaky tracker, a stray tool on the stage network) would otherwise fill the project with takes and stall the editor.
constexpr int64 MinStartIntervalMs = 1000;
// A recorder that keeps refusing (no sources, a take under review) writes an Error for every start it refuses: while
// it refuses, the source asks half as often each time, down to once in this long, so that the log stays readable.
constexpr int64 MaxRefusedStartIntervalMs = 30000;

int64 NowMonotonicMs()
{
	return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

/** The same clock as NowMonotonicMs, finer: arrival jitter is a matter of fractions of a millisecond. */
int64 NowMonotonicUs()
{
	return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

int32 SaturateCount(uint64 Count)
{
	return static_cast<int32>(std::min<uint64>(Count, static_cast<uint64>(std::numeric_limits<int32>::max())));
}

const TCHAR* const DefaultSubjectName = TEXT("Tavrix - Camera");

// The engine keeps a name's text in a buffer of this many characters, terminator included.
constexpr int32 MaxSubjectNameLength = 1023;

bool IsSpaceCharacter(TCHAR Character)
{
	return Character == TEXT(' ') || Character == TEXT('\t') || Character == TEXT('\r') || Character == TEXT('\n') ||
		Character == TEXT('\v') || Character == TEXT('\f');
}

FString TrimSpaces(const FString& Text)
{
	int32 Start = 0;
	int32 End = Text.Len();
	while (Start < End && IsSpaceCharacter(Text[Start]))
	{
		++Start;
	}
	while (End > Start && IsSpaceCharacter(Text[End - 1]))
	{
		--End;
	}
	return Start == 0 && End == Text.Len() ? Text : FString(End - Start, *Text + Start);
}

/** Why the (trimmed) text cannot name a subject; empty when it can. */
FString SubjectNameRefusal(const FString& Name)
{
	if (Name.Len() == 0)
	{
		return TEXT("a subject name cannot be empty or only spaces");
	}
	// The engine's name for "no name": a subject of that name could not be told from none.
	if (Name.Equals(TEXT("None"), ESearchCase::IgnoreCase))
	{
		return TEXT("\"None\" means no name to Live Link");
	}
	if (Name.Len() > MaxSubjectNameLength)
	{
		return FString::Printf(TEXT("a subject name cannot be longer than %d characters"), MaxSubjectNameLength);
	}
	return FString();
}

/** The pose, and with "Auto Lens Update" the lens, of the received state in a camera frame. */
void FillCameraFrame(FLiveLinkCameraFrameData& Frame, const FTavrixReceivedState& State, bool bWithLens)
{
	Frame.Transform.SetRotation(State.Rotation);
	Frame.Transform.SetTranslation(State.Location);
	Frame.Transform.SetScale3D(State.Scale);
	if (bWithLens)
	{
		Frame.FocalLength = TavrixConversions::ToFloat(State.Lens[0]);
		Frame.FocusDistance = TavrixConversions::ToFloat(State.Lens[1]);
		Frame.AspectRatio = TavrixConversions::ToFloat(State.Lens[2]);
		Frame.FieldOfView = TavrixConversions::ToFloat(State.Lens[3]);
	}
}

} // namespace

FTavrixLiveLinkSource::FTavrixLiveLinkSource(FIPv4Endpoint InEndpoint, bool bInAutoLens, bool bInAutoSceneTake, bool bInAutoRecord)
	: DeviceEndpoint(InEndpoint)
	, bAutoLens(bInAutoLens)
	, bAutoSceneTake(bInAutoSceneTake)
	, bAutoRecord(bInAutoRecord)
	, SubjectName(DefaultSubjectName)
	, SubjectNameText(DefaultSubjectName)
{
	SourceStatus = LOCTEXT("SourceStatus_DeviceNotFound", "Device Not Found");
	SourceType = LOCTEXT("TavrixLiveLinkSourceType", "Halvecor Tavrix LiveLink");
	SourceMachineName = LOCTEXT("TavrixLiveLinkSourceMachineName", "localhost");

	FUdpSocketBuilder SocketBuilder(TEXT("TVK"));
	SocketBuilder.AsNonBlocking().AsReusable().BoundToPort(DeviceEndpoint.Port).WithReceiveBufferSize(ReceiveBufferSize);
	if (DeviceEndpoint.Address.IsMulticastAddress())
	{
		// Windows cannot bind a socket to a group address: the port is bound on every address and the group joined,
		// and with address reuse every source and program on this machine that joins gets every datagram. Loopback
		// is asked for because on Windows it is the receiving socket that decides whether datagrams sent from this
		// machine (a sender beside the editor) reach it.
		SocketBuilder.BoundToAddress(FIPv4Address::Any).JoinedToGroup(DeviceEndpoint.Address).WithMulticastLoopback();
	}
	else
	{
		SocketBuilder.BoundToAddress(DeviceEndpoint.Address);
	}
	Socket = SocketBuilder.Build();

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
	// Without a shutdown request first (a client going away) the client may be gone by now: no push starts from
	// here on, and one in progress ends before the thread is joined below.
	ClosePushes();
	Stop();

	if (Thread != nullptr)
	{
		Thread->WaitForCompletion();
		delete Thread;
		Thread = nullptr;
	}

	// Nothing more can be received: the capture is closed with every datagram the thread handed it.
	CaptureWriter.Stop();

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
	TickDelegateHandle = Client->OnLiveLinkTicked().AddStatic(&FTavrixLiveLinkSource::OnLiveLinkTick, this);
}

void FTavrixLiveLinkSource::InitializeSettings(ULiveLinkSourceSettings* Settings)
{
	UTavrixLiveLinkSourceSettings* Details = Settings != nullptr && Settings->IsA(UTavrixLiveLinkSourceSettings::StaticClass())
		? static_cast<UTavrixLiveLinkSourceSettings*>(Settings)
		: nullptr;
	StreamDetails = Details;
	if (Details == nullptr)
	{
		return;
	}
	// A preset hands over the settings saved with the source: their list of senders is in force as it was when saved.
	ApplyAcceptedSenders(*Details);
	if (Details->bOptionsSaved)
	{
		// A preset's copy: the source is restored as the user left it, whatever the connection string or the panel
		// made it with. Nothing has been published yet, so the name is simply taken.
		TakeOptionsFrom(*Details);
		TakeSubjectNameFrom(*Details);
		return;
	}
	Details->SubjectName = SubjectNameText;
	Details->bAutoLens = bAutoLens.load();
	Details->bAutoSceneTake = bAutoSceneTake.load();
	Details->bAutoRecord = bAutoRecord.load();
	Details->bFramePerDatagram = bFramePerDatagram.load();
	Details->bOptionsSaved = true;
}

void FTavrixLiveLinkSource::TakeOptionsFrom(const UTavrixLiveLinkSourceSettings& Details)
{
	bAutoLens.store(Details.bAutoLens);
	bAutoSceneTake.store(Details.bAutoSceneTake);
	bAutoRecord.store(Details.bAutoRecord);
	bFramePerDatagram.store(Details.bFramePerDatagram);
}

FTavrixLiveLinkSource::FOptionsSnapshot FTavrixLiveLinkSource::ReadOptions() const
{
	return FOptionsSnapshot{bAutoLens.load(), bAutoSceneTake.load(), bAutoRecord.load()};
}

void FTavrixLiveLinkSource::TakeSubjectNameFrom(UTavrixLiveLinkSourceSettings& Details)
{
	const FString Typed = TrimSpaces(Details.SubjectName);
	const FString Refusal = SubjectNameRefusal(Typed);
	if (Refusal.Len() != 0)
	{
		Details.SubjectNameError = FString::Printf(TEXT("Refused: %s; the subject keeps the name '%s'"), *Refusal, *SubjectNameText);
		Details.SubjectName = SubjectNameText;
		return;
	}
	Details.SubjectNameError.Empty();
	Details.SubjectName = Typed;
	if (Typed.Equals(SubjectNameText, ESearchCase::CaseSensitive))
	{
		return;
	}
	const FName NewName(Typed);
	// Names that differ only in letter case are one name to the engine: the subject stays as it is.
	if (NewName != SubjectName)
	{
		// Static data pushed before now belong to the old subject; the new one gets its own on the next tick, then
		// frames. Before the client is known nothing has been published.
		// The receive thread stops pushing to the old subject at once, and pushes to the new one only after the
		// tick has pushed its static data: Live Link drops frames of a subject it has no static data for.
		PublishFrameKey(FLiveLinkSubjectKey(), false);
		if (Client != nullptr && !bPushStaticData)
		{
			// Live Link removes a subject at its next tick, before it applies the data queued meanwhile: static data
			// pushed on the last tick would bring the old subject back. It is removed once more from the next tick,
			// after that data has been applied.
			Client->RemoveSubject_AnyThread(FLiveLinkSubjectKey(SourceGuid, SubjectName));
			ReplacedSubjectName = SubjectName;
			bRemoveReplacedSubject = true;
		}
		SubjectName = NewName;
		bPushStaticData = true;
		ShownSubjectState = ESubjectState::Unknown;
		Details.SubjectStatus.Empty();
	}
	SubjectNameText = Typed;
}

void FTavrixLiveLinkSource::UpdateSubjectStatus()
{
	UTavrixLiveLinkSourceSettings* Details = StreamDetails.Get();
	if (Details == nullptr)
	{
		return;
	}
	ESubjectState State = ESubjectState::NotEnabled;
	if (Client->IsSubjectEnabled(FLiveLinkSubjectKey(SourceGuid, SubjectName), false))
	{
		State = ESubjectState::Enabled;
	}
	else if (Client->IsSubjectEnabled(FLiveLinkSubjectName(SubjectName)))
	{
		State = ESubjectState::DisabledByAnother;
	}
	if (State == ShownSubjectState)
	{
		return;
	}
	ShownSubjectState = State;
	switch (State)
	{
	case ESubjectState::Enabled:
		Details->SubjectStatus = TEXT("Enabled");
		break;
	case ESubjectState::DisabledByAnother:
		Details->SubjectStatus = FString::Printf(
			TEXT("Disabled: another source publishes an enabled subject named '%s'; this source's frames are not used"), *SubjectNameText);
		break;
	default:
		Details->SubjectStatus = TEXT("Not enabled in Live Link; this source's frames are not used");
		break;
	}
}

TSubclassOf<ULiveLinkSourceSettings> FTavrixLiveLinkSource::GetSettingsClass() const
{
	return UTavrixLiveLinkSourceSettings::StaticClass();
}

void FTavrixLiveLinkSource::OnSettingsChanged(ULiveLinkSourceSettings* Settings, const FPropertyChangedEvent& PropertyChangedEvent)
{
	ILiveLinkSource::OnSettingsChanged(Settings, PropertyChangedEvent);
	UTavrixLiveLinkSourceSettings* Details = StreamDetails.Get();
	if (Details == nullptr || Settings != Details)
	{
		return;
	}
	const FName PropertyName = PropertyChangedEvent.GetPropertyName();
	if (PropertyName == GET_MEMBER_NAME_CHECKED(UTavrixLiveLinkSourceSettings, bCaptureRawDatagrams))
	{
		// A capture that cannot start (a source that does not receive, an unwritable folder) leaves the box cleared,
		// so that the details never claim a capture that is not being written; the error says why.
		Details->bCaptureRawDatagrams = SetCaptureRawDatagrams(Details->bCaptureRawDatagrams);
		UpdateCaptureDetails(*Details);
	}
	else if (PropertyName == GET_MEMBER_NAME_CHECKED(UTavrixLiveLinkSourceSettings, AcceptedSenders))
	{
		ApplyAcceptedSenders(*Details);
	}
	else if (PropertyName == GET_MEMBER_NAME_CHECKED(UTavrixLiveLinkSourceSettings, SubjectName))
	{
		TakeSubjectNameFrom(*Details);
	}
	else if (PropertyName == GET_MEMBER_NAME_CHECKED(UTavrixLiveLinkSourceSettings, bAutoLens) ||
		PropertyName == GET_MEMBER_NAME_CHECKED(UTavrixLiveLinkSourceSettings, bAutoSceneTake) ||
		PropertyName == GET_MEMBER_NAME_CHECKED(UTavrixLiveLinkSourceSettings, bAutoRecord) ||
		PropertyName == GET_MEMBER_NAME_CHECKED(UTavrixLiveLinkSourceSettings, bFramePerDatagram))
	{
		TakeOptionsFrom(*Details);
	}
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
	// The client may be destroyed once the source agrees. A push in progress may be waiting for the client's lock,
	// which the caller may hold: waiting for it here could deadlock, so the client is asked to ask again.
	return ClosePushes();
}

bool FTavrixLiveLinkSource::ClosePushes()
{
	bPushesClosed.store(true);
	return PushesInFlight.load() == 0;
}

void FTavrixLiveLinkSource::PublishFrameKey(const FLiveLinkSubjectKey& Key, bool bValid)
{
	std::lock_guard Lock(FrameKeyMutex);
	PublishedFrameKey = Key;
	bPublishedFrameKeyValid = bValid;
	FrameKeyGeneration.store(FrameKeyGeneration.load(std::memory_order_relaxed) + 1, std::memory_order_release);
}

void FTavrixLiveLinkSource::PushDatagramFrame(FLiveLinkFrameDataStruct&& FrameData)
{
	// Renames are rare and datagrams many: the lock is taken only when the key has changed since the last push.
	if (FrameKeyGeneration.load(std::memory_order_acquire) != SeenFrameKeyGeneration)
	{
		std::lock_guard Lock(FrameKeyMutex);
		FrameKey = PublishedFrameKey;
		bFrameKeyValid = bPublishedFrameKeyValid;
		SeenFrameKeyGeneration = FrameKeyGeneration.load(std::memory_order_relaxed);
	}
	if (!bFrameKeyValid)
	{
		return;
	}
	PushesInFlight.fetch_add(1);
	if (!bPushesClosed.load())
	{
		// Client was set before the first key was published, and the key's lock carries it to this thread.
		Client->PushSubjectFrameData_AnyThread(FrameKey, MoveTemp(FrameData));
	}
	PushesInFlight.fetch_sub(1);
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
	LogUnwrittenForeignMembers(ForeignMemberLog.TakeUnwritten());

	// The tick subscription is the game thread's to remove (the client's notification takes no lock): the next
	// tick, or the destructor, sees this and removes it.
	bReceiveThreadEnded.store(true);
	return 0;
}

int32 FTavrixLiveLinkSource::ReceiveDatagram(FInternetAddr& SenderAddress)
{
	int32 BytesRead = 0;
	if (!Socket->RecvFrom(RecvBuffer.GetData(), RecvBuffer.Num(), BytesRead, SenderAddress))
	{
		return 0;
	}
	// An empty datagram is captured too: it was on the wire, though there is nothing to decode.
	if (CaptureWriter.IsCapturing())
	{
		CaptureDatagram(SenderAddress, BytesRead);
	}
	uint32 SenderIp = 0;
	SenderAddress.GetIp(SenderIp);
	const uint16 SenderPort = static_cast<uint16>(SenderAddress.GetPort());
	// Only counted: a sender that is not accepted must not reach the decoder, and cannot fill the log either.
	if (!SenderFilter.Current().Accepts(SenderIp))
	{
		StreamHealth.RecordOtherSender(SenderIp, SenderPort);
		return std::max(BytesRead, 0);
	}
	if (BytesRead <= 0)
	{
		return 0;
	}
	StreamHealth.RecordSender(SenderIp, SenderPort);

	TSharedPtr<TArray<uint8>, ESPMode::ThreadSafe> ReceivedData = MakeShared<TArray<uint8>, ESPMode::ThreadSafe>();
	ReceivedData->SetNumUninitialized(BytesRead);
	std::memcpy(ReceivedData->GetData(), RecvBuffer.GetData(), static_cast<size_t>(BytesRead));
	ProcessReceivedData(ReceivedData);
	ReceivedData.Reset();
	return BytesRead;
}

void FTavrixLiveLinkSource::CaptureDatagram(const FInternetAddr& SenderAddress, int32 BytesRead)
{
	const int64 ArrivalMicroseconds =
		std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::system_clock::now().time_since_epoch()).count();
	uint32 SenderIp = 0;
	SenderAddress.GetIp(SenderIp);
	CaptureWriter.Enqueue(ArrivalMicroseconds, SenderIp, static_cast<uint16>(SenderAddress.GetPort()), RecvBuffer.GetData(), BytesRead);
}

bool FTavrixLiveLinkSource::SetCaptureRawDatagrams(bool bInCapture)
{
	if (!bInCapture)
	{
		CaptureWriter.Stop();
		return false;
	}
	if (CaptureWriter.IsCapturing())
	{
		return true;
	}
	if (Thread == nullptr || Socket == nullptr || bStopping.load())
	{
		return false;
	}
	// The port actually bound, which differs from the endpoint's when that asked for any port (0).
	// The address datagrams were sent to: for a group that is the group, not the "any" address the socket is bound to.
	const FIPv4Endpoint LocalEndpoint(DeviceEndpoint.Address, static_cast<uint16>(Socket->GetPortNo()));
	// The editor's folders are relative to its binaries folder; the details show where the file really is.
	const FString Folder = FPaths::ConvertRelativePathToFull(FPaths::Combine(FPaths::ProjectSavedDir(), TEXT("TavrixCaptures")));
	return CaptureWriter.Start(Folder, LocalEndpoint);
}

FTavrixCaptureStatus FTavrixLiveLinkSource::GetCaptureStatus() const
{
	return CaptureWriter.GetStatus();
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
		Client->OnLiveLinkTicked().Remove(TickDelegateHandle);
		TickDelegateHandle.Reset();
	}
}

bool FTavrixLiveLinkSource::ProcessReceivedData(TSharedPtr<TArray<uint8>, ESPMode::ThreadSafe> InData)
{
	const int64 ArrivalUs = NowMonotonicUs();
	const int64 ArrivalMs = ArrivalUs / 1000;
	const bool bFramePerDatagramNow = bFramePerDatagram.load();
	// The engine's clock, read before decoding: the frame is timed by when the datagram reached the source.
	const double ArrivalSeconds = bFramePerDatagramNow ? FPlatformTime::Seconds() : 0.0;
	const bool bAutoLensNow = bAutoLens.load();
	TavrixMessageDecoder::FResult Decoded = TavrixMessageDecoder::Decode(
		InData->GetData(), InData->Num(), TavrixMessageDecoder::FOptions{bAutoLensNow, bAutoSceneTake.load(), bAutoRecord.load()});

	if (Decoded.ForeignMembers > 0)
	{
		LogForeignMembers(Decoded.ForeignMembers, ArrivalUs);
	}

	const FTavrixTimecode Timecode{Decoded.Camera.Values.Timecode[0], Decoded.Camera.Values.Timecode[1], Decoded.Camera.Values.Timecode[2]};
	StreamHealth.RecordDatagram(ArrivalUs, Decoded.Verdict != TavrixMessageDecoder::EVerdict::Message, Decoded.ForeignMembers,
		Decoded.bHasCamera ? &Timecode : nullptr);

	if (!Decoded.bHasCamera)
	{
		return false;
	}
	if (!bFramePerDatagramNow)
	{
		// Everything is converted already: the lock covers the copy into the received state alone.
		std::lock_guard Lock(DataMutex);
		Decoded.Camera.StoreInto(ReceivedState);
		++DecodedCameraCount;
		LatestArrivalMs = ArrivalMs;
		bHasReceivedData = true;
		return false;
	}

	FLiveLinkFrameDataStruct FrameData(FLiveLinkCameraFrameData::StaticStruct());
	FLiveLinkCameraFrameData& Frame = *FrameData.Cast<FLiveLinkCameraFrameData>();
	Frame.WorldTime = FLiveLinkWorldTime(ArrivalSeconds);
	// The sender's own frame, whole; a timecode without a usable rate leaves the scene time unset.
	const int32* const SenderTimecode = Decoded.Camera.Values.Timecode;
	if (SenderTimecode[1] > 0 && SenderTimecode[2] > 0)
	{
		Frame.MetaData.SceneTime =
			FQualifiedFrameTime(FFrameTime(FFrameNumber(SenderTimecode[0]), 0.0f), FFrameRate(SenderTimecode[1], SenderTimecode[2]));
	}
	{
		std::lock_guard Lock(DataMutex);
		Decoded.Camera.StoreInto(ReceivedState);
		++DecodedCameraCount;
		LatestArrivalMs = ArrivalMs;
		bHasReceivedData = true;
		// From the stored state, as the tick builds its frame: lens values a datagram left out stay the latest ones.
		FillCameraFrame(Frame, ReceivedState, bAutoLensNow);
	}
	PushDatagramFrame(MoveTemp(FrameData));
	return false;
}

void FTavrixLiveLinkSource::LogForeignMembers(int32 Count, int64 NowUs)
{
	// One line per foreign member would let a sender write millions of error lines a day into the editor's log.
	const FTavrixLogLimiter::FDecision Decision = ForeignMemberLog.Note(NowUs, Count);
	LogUnwrittenForeignMembers(Decision.UnwrittenToReport);
	for (int32 Index = 0; Index < Decision.LinesToWrite; ++Index)
	{
		UE_LOG(ModuleLog, Error, TEXT("Unknow data received"));
	}
}

void FTavrixLiveLinkSource::LogUnwrittenForeignMembers(uint64 Count)
{
	if (Count > 0)
	{
		UE_LOG(ModuleLog, Error, TEXT("Unknow data received: %llu more foreign members since the previous report, not logged one by one"),
			static_cast<unsigned long long>(Count));
	}
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

	UpdateStreamDetails();

	if (bRemoveReplacedSubject)
	{
		Client->RemoveSubject_AnyThread(FLiveLinkSubjectKey(SourceGuid, ReplacedSubjectName));
		bRemoveReplacedSubject = false;
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
		Client->PushSubjectStaticData_AnyThread(
			FLiveLinkSubjectKey(SourceGuid, SubjectName), ULiveLinkCameraRole::StaticClass(), MoveTemp(StaticData));
		bPushStaticData = false;
		// Frames the receive thread pushes from now on are queued behind this static data.
		PublishFrameKey(FLiveLinkSubjectKey(SourceGuid, SubjectName), true);
	}
	UpdateSubjectStatus();

	if (!bHasReceivedData)
	{
		return false;
	}

	const int64 NowMs = NowMonotonicMs();
	const FOptionsSnapshot Options = ReadOptions();

	if (bFramePerDatagram.load())
	{
		// The receive thread pushes the frames; Take Recorder is still followed from here, on the game thread.
		if (Options.bAutoSceneTake || Options.bAutoRecord)
		{
			FTakeRecorderRequest Request;
			{
				std::lock_guard Lock(DataMutex);
				Request = ReadTakeRecorderRequest(Options);
			}
			FollowTakeRecorder(Request, Options, NowMs);
		}
		return false;
	}

	FLiveLinkFrameDataStruct FrameData(FLiveLinkCameraFrameData::StaticStruct());
	FLiveLinkCameraFrameData& Frame = *FrameData.Cast<FLiveLinkCameraFrameData>();
	FTakeRecorderRequest TakeRecorderRequest;
	{
		std::lock_guard Lock(DataMutex);
		FillCameraFrame(Frame, ReceivedState, Options.bAutoLens);

		// The engine's clock, which Live Link evaluates world times against.
		const double FirstReading = FPlatformTime::Seconds();
		const double SecondReading = FPlatformTime::Seconds();
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

		// What the Take Recorder step needs is read here, under the same lock, so that it is one datagram's; Take
		// Recorder itself is driven after the lock is released.
		if (Options.bAutoSceneTake || Options.bAutoRecord)
		{
			TakeRecorderRequest = ReadTakeRecorderRequest(Options);
		}
	}

	Client->PushSubjectFrameData_AnyThread(FLiveLinkSubjectKey(SourceGuid, SubjectName), MoveTemp(FrameData));

	// Starting and stopping a take saves assets and may run a modal progress loop that ticks the engine, and so this
	// source, again: with DataMutex held that tick would deadlock, and the receive thread would wait for the save.
	if (Options.bAutoSceneTake || Options.bAutoRecord)
	{
		FollowTakeRecorder(TakeRecorderRequest, Options, NowMs);
	}
	return true;
}

FTavrixLiveLinkSource::FTakeRecorderRequest FTavrixLiveLinkSource::ReadTakeRecorderRequest(const FOptionsSnapshot& Options) const
{
	FTakeRecorderRequest Request;
	Request.RecordRequest = ReceivedState.State == 2 ? 1 : 0;
	// Case-sensitive: a slate that changes only in letter case is a new slate. The metadata only matter with
	// "Auto Scene/Take": without it they are never applied, and comparing them would make every tick a change.
	bool bMetadataChanged = false;
	for (int32 Index = 0; Index < 3 && Options.bAutoSceneTake && !bMetadataChanged; ++Index)
	{
		bMetadataChanged = !ReceivedState.Metadata[Index].Equals(AppliedMetadata[Index], ESearchCase::CaseSensitive);
	}
	Request.bChanged = bMetadataChanged || Request.RecordRequest != AppliedRecordRequest;
	if (Request.bChanged && Options.bAutoSceneTake)
	{
		for (int32 Index = 0; Index < 3; ++Index)
		{
			Request.Metadata[Index] = ReceivedState.Metadata[Index];
		}
	}
	return Request;
}

void FTavrixLiveLinkSource::FollowTakeRecorder(const FTakeRecorderRequest& Request, const FOptionsSnapshot& Options, int64 NowMs)
{
	// A start the recorder refused (no sources, a take under review), or one that came within a second of the previous
	// start, is asked again while the sender still asks for recording, once that second is up.
	const bool bStartRetryDue = Options.bAutoRecord && (bStartRequested || bStartDelayed) && Request.RecordRequest == 1 &&
		NowMs - LastStartRequestMs >= StartIntervalMs;
	if ((!Request.bChanged && !bStartRetryDue) || bDrivingTakeRecorder)
	{
		return;
	}

	// Without a panel nothing is stored, so the same change is seen again on the next tick.
	UTakeRecorderPanel* Panel = UTakeRecorderBlueprintLibrary::GetTakeRecorderPanel();
	if (Panel == nullptr)
	{
		return;
	}

	// Take Recorder may tick the engine from inside the calls below; the tick it runs publishes, but leaves Take
	// Recorder alone until these calls are done.
	bDrivingTakeRecorder = true;
	if (Request.bChanged && Options.bAutoSceneTake)
	{
		// A take being recorded, or one under review, is locked and ignores both setters: what the sender changed
		// meanwhile stays unapplied, and is applied once the editor has moved on to a new take.
		UTakeMetaData* MetaData = Panel->GetTakeMetaData();
		if (MetaData != nullptr && !MetaData->IsLocked())
		{
			for (int32 Index = 0; Index < 3; ++Index)
			{
				AppliedMetadata[Index] = Request.Metadata[Index];
			}
			MetaData->SetSlate(Request.Metadata[1], true);
			MetaData->SetTakeNumber(TavrixConversions::ParseTakeNumber(Request.Metadata[2]), true);
		}
	}
	if (Request.bChanged)
	{
		AppliedRecordRequest = Request.RecordRequest;
	}

	if (Options.bAutoRecord)
	{
		// A recorder counting down to a take counts as recording: a stop cancels the countdown, and a start waits
		// for it. A recording that is asked to go on goes on, whatever else changed: only a request to stop stops it.
		const bool bActive = UTakeRecorderBlueprintLibrary::IsRecording() || UTakeRecorder::GetActiveRecorder() != nullptr;
		if (Request.RecordRequest == 1 && !bActive && NowMs - LastStartRequestMs < StartIntervalMs)
		{
			// Counted once per request, however many ticks it waits.
			TakeStartsDelayed += bStartDelayed ? 0 : 1;
			bStartDelayed = true;
		}
		else if (Request.RecordRequest == 1 && !bActive)
		{
			// Still no take since the previous start: the recorder refused it.
			StartIntervalMs = bStartRequested ? std::min(StartIntervalMs * 2, MaxRefusedStartIntervalMs) : MinStartIntervalMs;
			bStartDelayed = false;
			bStartRequested = true;
			LastStartRequestMs = NowMs;
			Panel->StartRecording();
		}
		else if (Request.RecordRequest == 1)
		{
			bStartRequested = false;
			bStartDelayed = false;
			StartIntervalMs = MinStartIntervalMs;
		}
		else
		{
			bStartRequested = false;
			bStartDelayed = false;
			StartIntervalMs = MinStartIntervalMs;
			if (bActive)
			{
				Panel->StopRecording();
			}
		}
	}
	bDrivingTakeRecorder = false;
}

void FTavrixLiveLinkSource::UpdateStreamDetails()
{
	UTavrixLiveLinkSourceSettings* Details = StreamDetails.Get();
	if (Details == nullptr)
	{
		return;
	}
	const FTavrixStreamHealthSnapshot Health = StreamHealth.Read(NowMonotonicUs());
	const uint64 SenderKey = Health.bHasSender ? (uint64(1) << 48) | (uint64(Health.SenderAddress) << 16) | Health.SenderPort : 0;
	if (SenderKey != ShownSenderKey)
	{
		ShownSenderKey = SenderKey;
		Details->LastSender = FIPv4Endpoint(FIPv4Address(Health.SenderAddress), Health.SenderPort).ToString();
	}
	Details->LastDatagramAgeMs =
		Health.LastDatagramAgeUs < 0 ? -1.0f : static_cast<float>(static_cast<double>(Health.LastDatagramAgeUs) * 1e-3);
	Details->DatagramsPerSecond = static_cast<float>(Health.DatagramsPerSecond);
	Details->ArrivalJitterMs = static_cast<float>(Health.ArrivalJitterMs);
	Details->DatagramsReceived = SaturateCount(Health.DatagramsReceived);
	Details->DatagramsRejected = SaturateCount(Health.DatagramsRejected);
	Details->MessagesWithForeignMembers = SaturateCount(Health.MessagesWithForeignMembers);
	Details->TimecodeGaps = SaturateCount(Health.TimecodeGaps);
	Details->TimecodeFramesMissed = SaturateCount(Health.TimecodeFramesMissed);
	Details->TimecodeStepsBack = SaturateCount(Health.TimecodeStepsBack);
	Details->TimecodeJumps = SaturateCount(Health.TimecodeJumps);
	Details->TakeStartsDelayed = SaturateCount(TakeStartsDelayed);
	Details->DatagramsFromOtherSenders = SaturateCount(Health.DatagramsFromOtherSenders);
	const uint64 OtherSenderKey =
		Health.bHasOtherSender ? (uint64(1) << 48) | (uint64(Health.OtherSenderAddress) << 16) | Health.OtherSenderPort : 0;
	if (OtherSenderKey != ShownOtherSenderKey)
	{
		ShownOtherSenderKey = OtherSenderKey;
		Details->LastOtherSender = FIPv4Endpoint(FIPv4Address(Health.OtherSenderAddress), Health.OtherSenderPort).ToString();
	}

	UpdateCaptureDetails(*Details);
}

void FTavrixLiveLinkSource::ApplyAcceptedSenders(UTavrixLiveLinkSourceSettings& Details)
{
	FTavrixSenderFilter Filter;
	FString Reason;
	if (!FTavrixSenderFilter::Parse(Details.AcceptedSenders, Filter, Reason))
	{
		Details.AcceptedSenders = AppliedAcceptedSenders;
		Details.AcceptedSendersError = MoveTemp(Reason);
		return;
	}
	SenderFilter.Publish(Filter);
	AppliedAcceptedSenders = Details.AcceptedSenders;
	Details.AcceptedSendersError.Empty();
}

void FTavrixLiveLinkSource::UpdateCaptureDetails(UTavrixLiveLinkSourceSettings& Details)
{
	FTavrixCaptureStatus Capture = CaptureWriter.GetStatus();
	if (Capture.bCapturing && Capture.bFailed)
	{
		// A write error ended the writing; the writer thread is joined here and the box cleared, so that ticking it
		// again starts a new file.
		CaptureWriter.Stop();
		Details.bCaptureRawDatagrams = false;
		Capture = CaptureWriter.GetStatus();
	}
	if (Details.CaptureFile != Capture.FilePath)
	{
		Details.CaptureFile = MoveTemp(Capture.FilePath);
	}
	if (Details.CaptureError != Capture.Error)
	{
		Details.CaptureError = MoveTemp(Capture.Error);
	}
	Details.DatagramsCaptured = SaturateCount(Capture.CapturedDatagrams);
	Details.DatagramsDroppedFromCapture = SaturateCount(Capture.DroppedDatagrams);
}

#undef LOCTEXT_NAMESPACE
