#include "LiveLinkClient.h"
#include "LiveLinkClientTesting.h"
#include "UObject/UnrealType.h"

#include "Roles/LiveLinkCameraRole.h"

#include "Misc/App.h"
#include "Misc/EngineClockTesting.h"

#include <algorithm>
#include <cmath>
#include <optional>

DEFINE_LOG_CATEGORY_STATIC(LogLiveLink, Log, All);

namespace
{
/** The subject of that key in the client's list, as const as the list, or null. The caller holds the subject lock. */
template <typename SubjectListType> auto FindSubjectIn(SubjectListType& Subjects, const FLiveLinkSubjectKey& SubjectKey)
{
	const auto It = std::find_if(Subjects.begin(), Subjects.end(), [&](const auto& Subject) { return Subject.Key == SubjectKey; });
	return It != Subjects.end() ? &*It : nullptr;
}
} // namespace

FLiveLinkClient::FLiveLinkClient()
	: GameThreadId(std::this_thread::get_id())
{
}

FLiveLinkClient::~FLiveLinkClient()
{
	CheckGameThread();
	for (FSourceEntry& Entry : Sources)
	{
		Entry.Source->RequestSourceShutdown();
		checkf(Entry.Source.GetSharedReferenceCount() == 1, "a source outlives its Live Link client");
		ReleaseSource(Entry);
	}
	Sources.clear();
}

void FLiveLinkClient::CheckGameThread() const
{
	checkf(std::this_thread::get_id() == GameThreadId, "Live Link client used off its game thread");
}

FGuid FLiveLinkClient::AddSource(TSharedPtr<ILiveLinkSource> Source)
{
	CheckGameThread();
	check(Source.IsValid());
	const FGuid Guid = FGuid::NewGuid();
	AddSourceWithSettings(Source, Guid, CreateSettingsFor(*Source));
	return Guid;
}

std::unique_ptr<UObject> FLiveLinkClient::CreateSettingsFor(const ILiveLinkSource& Source)
{
	// As the engine does: the source names its class, the client owns the object.
	UClass* SettingsClass = Source.GetSettingsClass().Get();
	std::unique_ptr<UObject> Settings = SettingsClass != nullptr && SettingsClass->IsChildOf(ULiveLinkSourceSettings::StaticClass())
		? SettingsClass->CreateObject()
		: nullptr;
	if (Settings == nullptr)
	{
		if (SettingsClass != nullptr && SettingsClass != ULiveLinkSourceSettings::StaticClass())
		{
			UE_LOG(LogLiveLink, Warning, TEXT("Source settings class %s cannot be made; the source gets the base settings"),
				*SettingsClass->GetName());
		}
		Settings = ULiveLinkSourceSettings::StaticClass()->CreateObject();
	}
	return Settings;
}

void FLiveLinkClient::AddSourceWithSettings(TSharedPtr<ILiveLinkSource> Source, FGuid Guid, std::unique_ptr<UObject> Settings)
{
	CheckGameThread();
	check(Source.IsValid() && Settings != nullptr);
	ULiveLinkSourceSettings* SettingsObject = static_cast<ULiveLinkSourceSettings*>(Settings.get());
	Sources.push_back(FSourceEntry{Guid, Source, false, MoveTemp(Settings), {}, {}, false, 0.0, 0.0});
	Source->ReceiveClient(this, Guid);
	Source->InitializeSettings(SettingsObject);
}

template <typename PredicateType> void FLiveLinkClient::RequestRemoval(PredicateType IsRemoved)
{
	CheckGameThread();
	for (FSourceEntry& Entry : Sources)
	{
		if (IsRemoved(Entry))
		{
			Entry.bRemovalRequested = true;
		}
	}
	if (!bNotifying)
	{
		ProcessPendingRemovals();
	}
}

void FLiveLinkClient::RemoveSource(FGuid SourceGuid)
{
	RequestRemoval([&SourceGuid](const FSourceEntry& Entry) { return Entry.Guid == SourceGuid; });
}

void FLiveLinkClient::RemoveAllSources()
{
	RequestRemoval([](const FSourceEntry&) { return true; });
}

void FLiveLinkClient::ReleaseSource(FSourceEntry& Entry)
{
	const FGuid Guid = Entry.Guid;
	// The source's destructor may wait for its own thread; releasing here, outside the tick notification,
	// keeps that wait from ever blocking a removal the thread makes from the notification.
	Entry.Source.Reset();
	Entry.Settings.reset();
	{
		std::lock_guard Lock(SubjectMutex);
		std::erase_if(Subjects, [&](const FSubjectEntry& Subject) { return Subject.Key.Source == Guid; });
	}
}

void FLiveLinkClient::ProcessPendingRemovals()
{
	for (size_t Index = 0; Index < Sources.size();)
	{
		FSourceEntry& Entry = Sources[Index];
		if (Entry.bRemovalRequested && Entry.Source->RequestSourceShutdown())
		{
			FSourceEntry Removed = MoveTemp(Entry);
			Sources.erase(Sources.begin() + static_cast<std::ptrdiff_t>(Index));
			ReleaseSource(Removed);
			continue;
		}
		++Index;
	}
}

namespace
{
constexpr int32 MaxQueuedPerTick = 64;
constexpr double LargeClockError = 0.25;
constexpr double ClockStep = 0.0001;
constexpr int32 LargeErrorsBeforeJump = 5;

double SceneTimeSeconds(const FQualifiedFrameTime& SceneTime)
{
	return (static_cast<double>(SceneTime.Time.GetFrame().Value) + SceneTime.Time.GetSubFrame()) / SceneTime.Rate.AsDecimal();
}

/** The engine timecode of this frame in seconds, if the engine has one. */
std::optional<double> EngineTimecodeSeconds()
{
	if (!FEngineClockTesting::HasTimecode())
	{
		return std::nullopt;
	}
	const FFrameRate Rate = FApp::GetTimecodeFrameRate();
	return static_cast<double>(FApp::GetTimecode().ToFrameNumber(Rate).Value) / Rate.AsDecimal();
}

float Lerp(float A, float B, float Alpha)
{
	return A + (B - A) * Alpha;
}

FVector Lerp(const FVector& A, const FVector& B, float Alpha)
{
	return FVector(Lerp(A.X, B.X, Alpha), Lerp(A.Y, B.Y, Alpha), Lerp(A.Z, B.Z, Alpha));
}

/** Normalised linear blend along the shorter path, as the engine's FQuat::FastLerp followed by Normalize. */
FQuat NLerp(const FQuat& A, const FQuat& B, float Alpha)
{
	const float Dot = A.X * B.X + A.Y * B.Y + A.Z * B.Z + A.W * B.W;
	const float Bias = Dot >= 0.0f ? 1.0f : -1.0f;
	const float WeightB = Alpha * Bias;
	const float WeightA = 1.0f - Alpha;
	FQuat Result(
		B.X * WeightB + A.X * WeightA, B.Y * WeightB + A.Y * WeightA, B.Z * WeightB + A.Z * WeightA, B.W * WeightB + A.W * WeightA);
	const float SquareSum = Result.X * Result.X + Result.Y * Result.Y + Result.Z * Result.Z + Result.W * Result.W;
	if (SquareSum >= 1e-8f)
	{
		const float Scale = 1.0f / std::sqrt(SquareSum);
		Result = FQuat(Result.X * Scale, Result.Y * Scale, Result.Z * Scale, Result.W * Scale);
	}
	else
	{
		Result = FQuat::Identity();
	}
	return Result;
}
} // namespace

void FLiveLinkClient::FClockOffsetEstimator::Add(double Sample)
{
	const double Error = Sample - Offset;
	if (std::abs(Error) > LargeClockError)
	{
		// A lasting jump (a source restarted, a clock was set) is taken whole; a lone outlier is not.
		if (!bHasJumped || ++LargeErrorCount > LargeErrorsBeforeJump)
		{
			Offset = Sample;
			LargeErrorCount = 0;
			bHasJumped = true;
			return;
		}
	}
	else
	{
		LargeErrorCount = 0;
	}
	if (std::abs(Error) < ClockStep)
	{
		Offset = Sample;
	}
	else
	{
		Offset += Error > 0.0 ? ClockStep : -ClockStep;
	}
}

void FLiveLinkClient::Tick()
{
	CheckGameThread();
	const bool bWasNotifying = bNotifying;
	// Released sources may wait for their own threads, which may be waiting for the lock to push: sources go before
	// the lock is taken (and after it is let go below), which no pusher can tell from the engine's order.
	if (!bNotifying)
	{
		ProcessPendingRemovals();
	}
	std::unique_lock Lock(SubjectMutex);
	std::erase_if(Subjects, [](const FSubjectEntry& Subject) { return Subject.bPendingRemoval; });
	for (FSubjectEntry& Subject : Subjects)
	{
		Subject.bEnabled = Subject.bPendingEnabled;
	}

	// Taken whole: what a handler below pushes queues for the next tick.
	std::vector<FQueuedStaticData> StaticData = std::exchange(StaticDataQueue, {});
	std::vector<FQueuedFrame> Frames = std::exchange(FrameQueue, {});
	QueuedFramesTaken += Frames.size();
	MostQueuedFramesInOneTick = std::max<uint64>(MostQueuedFramesInOneTick, Frames.size());
	bStaticDataOverflowLogged = false;
	for (FQueuedStaticData& Queued : StaticData)
	{
		ApplyStaticData(Queued);
	}
	for (FQueuedFrame& Queued : Frames)
	{
		ApplyFrame(Queued);
	}

	bNotifying = true;
	for (size_t Index = 0; Index < Sources.size(); ++Index)
	{
		const TSharedPtr<ILiveLinkSource> Source = Sources[Index].Source;
		Source->Update();
	}
	bNotifying = bWasNotifying;

	for (FSubjectEntry& Subject : Subjects)
	{
		if (!Subject.bEnabled)
		{
			Subject.Frames.clear();
			Subject.Snapshot.Reset();
			continue;
		}
		const FSourceEntry* Source = FindSourceEntry(Subject.Key.Source);
		const ULiveLinkSourceSettings* Settings =
			Source != nullptr ? static_cast<const ULiveLinkSourceSettings*>(Source->Settings.get()) : nullptr;
		if (Settings != nullptr)
		{
			if (Settings->Mode != Subject.Mode)
			{
				Subject.Frames.clear();
			}
			Subject.Mode = Settings->Mode;
			Subject.BufferSettings = Settings->BufferSettings;
		}
		BuildSnapshot(Subject);
	}

	bNotifying = true;
	TickDelegate.Broadcast();
	bNotifying = bWasNotifying;
	++TickCount;
	Lock.unlock();
	if (!bNotifying)
	{
		ProcessPendingRemovals();
	}
}

void FLiveLinkClient::ApplyStaticData(FQueuedStaticData& Queued)
{
	const FSourceEntry* Source = FindSourceEntry(Queued.Key.Source);
	if (Source == nullptr || Source->bRemovalRequested)
	{
		return;
	}
	if (FSubjectEntry* Subject = FindSubjectIn(Subjects, Queued.Key))
	{
		if (Subject->bPendingRemoval)
		{
			return;
		}
		Subject->Role = Queued.Role;
		Subject->StaticData = MoveTemp(Queued.StaticData);
		Subject->LatestFrame.Reset();
		Subject->Frames.clear();
		Subject->Snapshot.Reset();
		return;
	}
	const bool bNameTaken = std::any_of(Subjects.begin(), Subjects.end(),
		[&](const FSubjectEntry& Other) { return Other.Key.SubjectName == Queued.Key.SubjectName && Other.bPendingEnabled; });
	FSubjectEntry Subject;
	Subject.Key = Queued.Key;
	Subject.Role = Queued.Role;
	Subject.StaticData = MoveTemp(Queued.StaticData);
	Subject.bEnabled = !bNameTaken;
	Subject.bPendingEnabled = !bNameTaken;
	Subjects.push_back(MoveTemp(Subject));
}

void FLiveLinkClient::ApplyFrame(FQueuedFrame& Queued)
{
	FSourceEntry* Source = FindSourceEntryMutable(Queued.Key.Source);
	FSubjectEntry* Subject = FindSubjectIn(Subjects, Queued.Key);
	if (Source == nullptr || Source->bRemovalRequested || Subject == nullptr || Subject->bPendingRemoval || !Subject->bEnabled ||
		!Subject->StaticData.IsValid())
	{
		return;
	}
	const ULiveLinkRole* RoleObject = static_cast<const ULiveLinkRole*>(Subject->Role.Get()->GetDefaultObject(true));
	if (Queued.FrameData.GetStruct() != RoleObject->GetFrameDataStruct() &&
		!Queued.FrameData.GetStruct()->IsChildOf(RoleObject->GetFrameDataStruct()))
	{
		return;
	}

	// Arrival, on the engine's clocks as this tick processes it.
	const double ArrivalSeconds = FPlatformTime::Seconds();
	const std::optional<double> ArrivalTimecode = EngineTimecodeSeconds();
	const FLiveLinkBaseFrameData* Base = Queued.FrameData.GetBaseData();
	const double SourceTime = Base->WorldTime.Time;
	const double SceneTime = SceneTimeSeconds(Base->MetaData.SceneTime);
	ULiveLinkSourceSettings* Settings = static_cast<ULiveLinkSourceSettings*>(Source->Settings.get());
	if (!Source->bHasLastTimes || SourceTime != Source->LastSourceTime)
	{
		Source->EngineTimeEstimator.Add(ArrivalSeconds - SourceTime);
		Settings->BufferSettings.EngineTimeClockOffset = Source->EngineTimeEstimator.Offset;
	}
	if (ArrivalTimecode.has_value() && (!Source->bHasLastTimes || SceneTime != Source->LastSceneTime))
	{
		Source->TimecodeEstimator.Add(*ArrivalTimecode - SceneTime);
		Settings->BufferSettings.TimecodeClockOffset = Source->TimecodeEstimator.Offset;
	}
	Source->bHasLastTimes = true;
	Source->LastSourceTime = SourceTime;
	Source->LastSceneTime = SceneTime;

	double Time = SourceTime;
	if (Subject->Mode == ELiveLinkSourceMode::Timecode)
	{
		if (Base->MetaData.SceneTime.Time.GetFrame().Value < 0)
		{
			return;
		}
		if (Base->MetaData.SceneTime.Rate != Subject->TimecodeRate)
		{
			Subject->Frames.clear();
			Subject->TimecodeRate = Base->MetaData.SceneTime.Rate;
		}
		Time = SceneTime;
	}

	Subject->LatestFrame = Queued.FrameData.Clone();
	++Subject->FrameCount;
	Subject->LastPushSeconds = ArrivalSeconds;
	const size_t MaxFrames = static_cast<size_t>(std::max(1, Subject->BufferSettings.MaxNumberOfFrameToBuffered));
	while (Subject->Frames.size() >= MaxFrames)
	{
		const auto Oldest = std::min_element(Subject->Frames.begin(), Subject->Frames.end(),
			[](const FBufferedFrame& A, const FBufferedFrame& B) { return A.Arrival < B.Arrival; });
		Subject->Frames.erase(Oldest);
	}
	const auto Place = std::upper_bound(
		Subject->Frames.begin(), Subject->Frames.end(), Time, [](double Value, const FBufferedFrame& Frame) { return Value < Frame.Time; });
	Subject->Frames.insert(Place, FBufferedFrame{MoveTemp(Queued.FrameData), Time, Subject->NextArrival++});
}

void FLiveLinkClient::BuildSnapshot(FSubjectEntry& Subject)
{
	Subject.Snapshot.Reset();
	const FLiveLinkSourceBufferManagementSettings& Buffer = Subject.BufferSettings;
	std::vector<FBufferedFrame>& Frames = Subject.Frames;
	const size_t MaxFrames = static_cast<size_t>(std::max(1, Buffer.MaxNumberOfFrameToBuffered));
	while (Frames.size() > MaxFrames)
	{
		const auto Oldest = std::min_element(
			Frames.begin(), Frames.end(), [](const FBufferedFrame& A, const FBufferedFrame& B) { return A.Arrival < B.Arrival; });
		Frames.erase(Oldest);
	}
	const std::optional<double> EngineTimecode = EngineTimecodeSeconds();
	const double SubjectRate = Subject.TimecodeRate.IsValid() ? Subject.TimecodeRate.AsDecimal() : 24.0;
	const auto DropOlderThan = [&](double Threshold) {
		size_t Keep = 0;
		while (Keep < Frames.size() && Frames[Keep].Time < Threshold)
		{
			++Keep;
		}
		if (Keep == Frames.size() && Buffer.bKeepAtLeastOneFrame && Keep > 0)
		{
			--Keep;
		}
		Frames.erase(Frames.begin(), Frames.begin() + static_cast<std::ptrdiff_t>(Keep));
	};
	if (Subject.Mode == ELiveLinkSourceMode::EngineTime && Buffer.bValidEngineTimeEnabled)
	{
		DropOlderThan(FApp::GetCurrentTime() - Buffer.EngineTimeOffset - Buffer.ValidEngineTime - Buffer.EngineTimeClockOffset);
	}
	else if (Subject.Mode == ELiveLinkSourceMode::Timecode && Buffer.bValidTimecodeFrameEnabled && EngineTimecode.has_value())
	{
		DropOlderThan(*EngineTimecode - Buffer.TimecodeFrameOffset / SubjectRate - Buffer.ValidTimecodeFrame / SubjectRate -
			(Buffer.bUseTimecodeSmoothLatest ? Buffer.TimecodeClockOffset : 0.0));
	}
	if (Frames.empty())
	{
		return;
	}

	if (Subject.Mode == ELiveLinkSourceMode::Latest)
	{
		const int32 Last = static_cast<int32>(Frames.size()) - 1;
		const int32 Index = std::clamp(Last - Buffer.LatestOffset, 0, Last);
		Subject.Snapshot = Frames[static_cast<size_t>(Index)].Frame.Clone();
		return;
	}

	double ReadTime = 0.0;
	if (Subject.Mode == ELiveLinkSourceMode::EngineTime)
	{
		ReadTime = FApp::GetCurrentTime() - Buffer.EngineTimeOffset - Buffer.EngineTimeClockOffset;
	}
	else
	{
		if (!EngineTimecode.has_value())
		{
			return;
		}
		// The offset counts frames of the subject's rate; the result is compared in seconds, whatever the engine's rate.
		ReadTime = *EngineTimecode - Buffer.TimecodeFrameOffset / SubjectRate -
			(Buffer.bUseTimecodeSmoothLatest ? Buffer.TimecodeClockOffset : 0.0);
	}

	// The newest frame at or before the read time; no extrapolation past the newest, the oldest when all are later.
	size_t Index = Frames.size();
	while (Index > 0 && Frames[Index - 1].Time > ReadTime)
	{
		--Index;
	}
	if (Index == Frames.size())
	{
		Subject.Snapshot = Frames.back().Frame.Clone();
		return;
	}
	if (Index == 0)
	{
		Subject.Snapshot = Frames.front().Frame.Clone();
		return;
	}
	const FBufferedFrame& FrameA = Frames[Index - 1];
	const FBufferedFrame& FrameB = Frames[Index];
	const double Span = FrameB.Time - FrameA.Time;
	const float Alpha = Span > 0.0 ? static_cast<float>((ReadTime - FrameA.Time) / Span) : 1.0f;
	Subject.Snapshot = BlendFrames(FrameA.Frame, FrameB.Frame, Alpha);
}

FLiveLinkFrameDataStruct FLiveLinkClientTesting::BlendFrames(
	const FLiveLinkFrameDataStruct& A, const FLiveLinkFrameDataStruct& B, float Alpha)
{
	return FLiveLinkClient::BlendFrames(A, B, Alpha);
}

FLiveLinkFrameDataStruct FLiveLinkClient::BlendFrames(const FLiveLinkFrameDataStruct& A, const FLiveLinkFrameDataStruct& B, float Alpha)
{
	constexpr float NearlyZero = 1e-4f;
	if (Alpha <= NearlyZero)
	{
		return A.Clone();
	}
	if (Alpha >= 1.0f - NearlyZero)
	{
		return B.Clone();
	}
	// Start from the closer frame: whatever is not blended (enums, metadata strings) comes from it.
	FLiveLinkFrameDataStruct Result = Alpha < 0.5f ? A.Clone() : B.Clone();
	const FLiveLinkBaseFrameData* BaseA = A.GetBaseData();
	const FLiveLinkBaseFrameData* BaseB = B.GetBaseData();
	FLiveLinkBaseFrameData* Out = Result.GetBaseData();
	Out->WorldTime = FLiveLinkWorldTime(BaseA->WorldTime.Time + (BaseB->WorldTime.Time - BaseA->WorldTime.Time) * Alpha,
		BaseA->WorldTime.Offset + (BaseB->WorldTime.Offset - BaseA->WorldTime.Offset) * Alpha);
	if (BaseA->MetaData.SceneTime.Rate == BaseB->MetaData.SceneTime.Rate)
	{
		const FQualifiedFrameTime& SceneA = BaseA->MetaData.SceneTime;
		const FQualifiedFrameTime& SceneB = BaseB->MetaData.SceneTime;
		const double FramesA = SceneA.Time.GetFrame().Value + static_cast<double>(SceneA.Time.GetSubFrame());
		const double FramesB = SceneB.Time.GetFrame().Value + static_cast<double>(SceneB.Time.GetSubFrame());
		const double Frames = FramesA + (FramesB - FramesA) * Alpha;
		const double Whole = std::floor(Frames);
		Out->MetaData.SceneTime = FQualifiedFrameTime(
			FFrameTime(FFrameNumber(static_cast<int32>(Whole)), std::min(FFrameTime::MaxSubframe, static_cast<float>(Frames - Whole))),
			SceneA.Rate);
	}
	if (BaseA->PropertyValues.Num() == BaseB->PropertyValues.Num())
	{
		for (int32 Index = 0; Index < BaseA->PropertyValues.Num(); ++Index)
		{
			Out->PropertyValues[Index] = Lerp(BaseA->PropertyValues[Index], BaseB->PropertyValues[Index], Alpha);
		}
	}
	const auto* TransformA = A.Cast<FLiveLinkTransformFrameData>();
	const auto* TransformB = B.Cast<FLiveLinkTransformFrameData>();
	if (auto* OutTransform = Result.Cast<FLiveLinkTransformFrameData>();
		OutTransform != nullptr && TransformA != nullptr && TransformB != nullptr)
	{
		const FTransform& TA = TransformA->Transform;
		const FTransform& TB = TransformB->Transform;
		OutTransform->Transform = FTransform(NLerp(TA.GetRotation(), TB.GetRotation(), Alpha),
			Lerp(TA.GetTranslation(), TB.GetTranslation(), Alpha), Lerp(TA.GetScale3D(), TB.GetScale3D(), Alpha));
	}
	const auto* CameraA = A.Cast<FLiveLinkCameraFrameData>();
	const auto* CameraB = B.Cast<FLiveLinkCameraFrameData>();
	if (auto* OutCamera = Result.Cast<FLiveLinkCameraFrameData>(); OutCamera != nullptr && CameraA != nullptr && CameraB != nullptr)
	{
		OutCamera->FieldOfView = Lerp(CameraA->FieldOfView, CameraB->FieldOfView, Alpha);
		OutCamera->AspectRatio = Lerp(CameraA->AspectRatio, CameraB->AspectRatio, Alpha);
		OutCamera->FocalLength = Lerp(CameraA->FocalLength, CameraB->FocalLength, Alpha);
		OutCamera->Aperture = Lerp(CameraA->Aperture, CameraB->Aperture, Alpha);
		OutCamera->FocusDistance = Lerp(CameraA->FocusDistance, CameraB->FocusDistance, Alpha);
	}
	return Result;
}

void FLiveLinkClient::PushSubjectStaticData_AnyThread(
	const FLiveLinkSubjectKey& SubjectKey, TSubclassOf<ULiveLinkRole> Role, FLiveLinkStaticDataStruct&& StaticData)
{
	ULiveLinkRole* RoleObject = Role.Get() != nullptr ? static_cast<ULiveLinkRole*>(Role.Get()->GetDefaultObject(true)) : nullptr;
	if (RoleObject == nullptr || !StaticData.IsValid() || !StaticData.GetStruct()->IsChildOf(RoleObject->GetStaticDataStruct()))
	{
		UE_LOG(LogLiveLink, Warning, TEXT("Static data for subject %s dropped: it does not match its role"),
			*SubjectKey.SubjectName.ToString());
		return;
	}
	// Observers get their own copy; made only when somebody listens, so the push stays cheap otherwise.
	const bool bObserved = StaticDataObservers.IsBound();
	FLiveLinkStaticDataStruct Copy = bObserved ? StaticData.Clone() : FLiveLinkStaticDataStruct();
	{
		std::lock_guard Lock(SubjectMutex);
		if (static_cast<int32>(StaticDataQueue.size()) >= MaxQueuedPerTick)
		{
			if (!bStaticDataOverflowLogged)
			{
				UE_LOG(LogLiveLink, Error, TEXT("More than %d static data queued in one tick; subject %s dropped"), MaxQueuedPerTick,
					*SubjectKey.SubjectName.ToString());
				bStaticDataOverflowLogged = true;
			}
			return;
		}
		StaticDataQueue.push_back(FQueuedStaticData{SubjectKey, Role, MoveTemp(StaticData)});
	}
	if (bObserved)
	{
		StaticDataObservers.Broadcast(SubjectKey, Copy);
	}
}

void FLiveLinkClient::PushSubjectFrameData_AnyThread(const FLiveLinkSubjectKey& SubjectKey, FLiveLinkFrameDataStruct&& FrameData)
{
	if (!FrameData.IsValid())
	{
		return;
	}
	const bool bObserved = FrameDataObservers.IsBound();
	FLiveLinkFrameDataStruct Copy;
	{
		std::lock_guard Lock(SubjectMutex);
		if (static_cast<int32>(FrameQueue.size()) > MaxQueuedPerTick)
		{
			QueuedFramesDropped += FrameQueue.size() - MaxQueuedPerTick + 1;
			FrameQueue.erase(FrameQueue.begin(), FrameQueue.end() - MaxQueuedPerTick);
			return;
		}
		if (bObserved)
		{
			// Observed at the push, as a recorder of what the source sent: only when the subject (or its queued
			// static data) takes frames of this type.
			TSubclassOf<ULiveLinkRole> Role;
			if (const auto* Subject = FindSubjectIn(Subjects, SubjectKey);
				Subject != nullptr && !Subject->bPendingRemoval && Subject->StaticData.IsValid())
			{
				Role = Subject->Role;
			}
			for (const FQueuedStaticData& Queued : StaticDataQueue)
			{
				if (Queued.Key == SubjectKey)
				{
					Role = Queued.Role;
				}
			}
			const ULiveLinkRole* RoleObject =
				Role.Get() != nullptr ? static_cast<const ULiveLinkRole*>(Role.Get()->GetDefaultObject(true)) : nullptr;
			if (RoleObject != nullptr && FrameData.GetStruct()->IsChildOf(RoleObject->GetFrameDataStruct()))
			{
				Copy = FrameData.Clone();
			}
		}
		FrameQueue.push_back(FQueuedFrame{SubjectKey, MoveTemp(FrameData)});
	}
	if (Copy.IsValid())
	{
		FrameDataObservers.Broadcast(SubjectKey, Copy);
	}
}

void FLiveLinkClient::RemoveSubject_AnyThread(const FLiveLinkSubjectKey& SubjectName)
{
	std::lock_guard Lock(SubjectMutex);
	if (FSubjectEntry* Subject = FindSubjectIn(Subjects, SubjectName))
	{
		Subject->bPendingRemoval = true;
	}
}

bool FLiveLinkClient::IsSubjectEnabled(const FLiveLinkSubjectKey& SubjectKey, bool bForThisFrame) const
{
	CheckGameThread();
	std::lock_guard Lock(SubjectMutex);
	const FSubjectEntry* Subject = FindSubjectIn(Subjects, SubjectKey);
	return Subject != nullptr && (bForThisFrame ? Subject->bEnabled : Subject->bPendingEnabled);
}

bool FLiveLinkClient::IsSubjectEnabled(FLiveLinkSubjectName SubjectName) const
{
	CheckGameThread();
	std::lock_guard Lock(SubjectMutex);
	return std::any_of(Subjects.begin(), Subjects.end(),
		[&](const FSubjectEntry& Subject) { return Subject.Key.SubjectName == SubjectName.Name && Subject.bEnabled; });
}

void FLiveLinkClient::SetSubjectEnabled(const FLiveLinkSubjectKey& SubjectKey, bool bEnabled)
{
	CheckGameThread();
	std::lock_guard Lock(SubjectMutex);
	FSubjectEntry* Subject = FindSubjectIn(Subjects, SubjectKey);
	if (Subject == nullptr)
	{
		return;
	}
	if (bEnabled)
	{
		for (FSubjectEntry& Other : Subjects)
		{
			if (Other.Key.SubjectName == SubjectKey.SubjectName)
			{
				Other.bPendingEnabled = false;
			}
		}
	}
	Subject->bPendingEnabled = bEnabled;
}

bool FLiveLinkClient::EvaluateFrame_AnyThread(
	FLiveLinkSubjectName SubjectName, TSubclassOf<ULiveLinkRole> Role, FLiveLinkSubjectFrameData& OutFrame) const
{
	std::lock_guard Lock(SubjectMutex);
	for (const FSubjectEntry& Subject : Subjects)
	{
		if (Subject.Key.SubjectName == SubjectName.Name && Subject.bEnabled)
		{
			if (!Subject.Snapshot.IsValid() || Role.Get() == nullptr || !Subject.Role.Get()->IsChildOf(Role.Get()))
			{
				return false;
			}
			OutFrame.StaticData = Subject.StaticData.Clone();
			OutFrame.FrameData = Subject.Snapshot.Clone();
			return true;
		}
	}
	return false;
}

TArray<FGuid> FLiveLinkClient::GetSources(bool bEvenIfPendingKill) const
{
	TArray<FGuid> Guids;
	for (const FSourceEntry& Entry : Sources)
	{
		if (bEvenIfPendingKill || !Entry.bRemovalRequested)
		{
			Guids.Add(Entry.Guid);
		}
	}
	return Guids;
}

TSharedPtr<ILiveLinkSource> FLiveLinkClientTesting::GetSource(const FLiveLinkClient& Client, FGuid SourceGuid)
{
	for (const FLiveLinkClient::FSourceEntry& Entry : Client.Sources)
	{
		if (Entry.Guid == SourceGuid)
		{
			return Entry.Source;
		}
	}
	return nullptr;
}

const FLiveLinkClient::FSourceEntry* FLiveLinkClient::FindSourceEntry(FGuid SourceGuid) const
{
	const auto It = std::find_if(Sources.begin(), Sources.end(), [&](const FSourceEntry& Entry) { return Entry.Guid == SourceGuid; });
	return It != Sources.end() ? &*It : nullptr;
}

FLiveLinkClient::FSourceEntry* FLiveLinkClient::FindSourceEntryMutable(FGuid SourceGuid)
{
	return const_cast<FSourceEntry*>(FindSourceEntry(SourceGuid));
}

ULiveLinkSourceSettings* FLiveLinkClient::GetSourceSettings(const FGuid& SourceGuid) const
{
	CheckGameThread();
	const FSourceEntry* Entry = FindSourceEntry(SourceGuid);
	return Entry != nullptr ? static_cast<ULiveLinkSourceSettings*>(Entry->Settings.get()) : nullptr;
}

bool FLiveLinkClient::SetSourceSettingsProperty(FGuid SourceGuid, FName PropertyName, const FString& ValueText, FString* OutError)
{
	CheckGameThread();
	const auto Refuse = [OutError](const FString& Why) {
		if (OutError != nullptr)
		{
			*OutError = Why;
		}
		return false;
	};
	const FSourceEntry* Entry = FindSourceEntry(SourceGuid);
	if (Entry == nullptr)
	{
		return Refuse(TEXT("No source has that identifier."));
	}
	ULiveLinkSourceSettings* Settings = static_cast<ULiveLinkSourceSettings*>(Entry->Settings.get());
	const FProperty* Property = Settings->GetClass()->FindPropertyByName(PropertyName);
	if (Property == nullptr || !Property->HasAnyPropertyFlags(CPF_Edit))
	{
		return Refuse(FString::Printf(TEXT("The source's settings have no property named %s."), *PropertyName.ToString()));
	}
	if (Property->HasAnyPropertyFlags(CPF_EditConst))
	{
		return Refuse(FString::Printf(TEXT("%s is read-only."), *PropertyName.ToString()));
	}
	if (Property->IdenticalToText(Settings, ValueText))
	{
		return true;
	}
	FString ParseError;
	if (!Property->ImportText(ValueText, Settings, &ParseError))
	{
		return Refuse(FString::Printf(TEXT("%s was not changed: %s"), *PropertyName.ToString(), *ParseError));
	}
	// A removal the hook asks for waits until it returns, as one asked inside the tick does: neither the source nor
	// its settings object may go while the hook runs.
	const bool bWasNotifying = bNotifying;
	bNotifying = true;
	{
		const TSharedPtr<ILiveLinkSource> Source = Entry->Source;
		Source->OnSettingsChanged(Settings, FPropertyChangedEvent(const_cast<FProperty*>(Property)));
	}
	bNotifying = bWasNotifying;
	if (!bNotifying)
	{
		ProcessPendingRemovals();
	}
	return true;
}

template <typename ResultType, typename ReaderType>
ResultType FLiveLinkClient::ReadSubject(const FLiveLinkSubjectKey& SubjectKey, ReaderType Read) const
{
	std::lock_guard Lock(SubjectMutex);
	const auto* Subject = FindSubjectIn(Subjects, SubjectKey);
	return Subject != nullptr ? Read(*Subject) : ResultType();
}

TArray<FLiveLinkSubjectKey> FLiveLinkClient::GetSubjects(bool bIncludeDisabledSubject, bool bIncludeVirtualSubject) const
{
	// No subject here is virtual.
	(void)bIncludeVirtualSubject;
	std::lock_guard Lock(SubjectMutex);
	TArray<FLiveLinkSubjectKey> Keys;
	for (const FSubjectEntry& Subject : Subjects)
	{
		if (bIncludeDisabledSubject || Subject.bEnabled)
		{
			Keys.Add(Subject.Key);
		}
	}
	return Keys;
}

bool FLiveLinkClientTesting::HasSubject(const FLiveLinkClient& Client, const FLiveLinkSubjectKey& SubjectKey)
{
	std::lock_guard Lock(Client.SubjectMutex);
	return FindSubjectIn(Client.Subjects, SubjectKey) != nullptr;
}

TSubclassOf<ULiveLinkRole> FLiveLinkClient::GetSubjectRole(const FLiveLinkSubjectKey& SubjectKey) const
{
	return ReadSubject<TSubclassOf<ULiveLinkRole>>(SubjectKey, [](const FLiveLinkClient::FSubjectEntry& Subject) { return Subject.Role; });
}

FLiveLinkStaticDataStruct FLiveLinkClientTesting::GetStaticData(const FLiveLinkClient& Client, const FLiveLinkSubjectKey& SubjectKey)
{
	return Client.ReadSubject<FLiveLinkStaticDataStruct>(
		SubjectKey, [](const FLiveLinkClient::FSubjectEntry& Subject) { return Subject.StaticData.Clone(); });
}

FLiveLinkFrameDataStruct FLiveLinkClientTesting::GetLatestFrame(const FLiveLinkClient& Client, const FLiveLinkSubjectKey& SubjectKey)
{
	return Client.ReadSubject<FLiveLinkFrameDataStruct>(
		SubjectKey, [](const FLiveLinkClient::FSubjectEntry& Subject) { return Subject.LatestFrame.Clone(); });
}

uint64 FLiveLinkClientTesting::GetFrameCount(const FLiveLinkClient& Client, const FLiveLinkSubjectKey& SubjectKey)
{
	return Client.ReadSubject<uint64>(SubjectKey, [](const FLiveLinkClient::FSubjectEntry& Subject) { return Subject.FrameCount; });
}

uint64 FLiveLinkClientTesting::GetTickCount(const FLiveLinkClient& Client)
{
	return Client.TickCount;
}

FLiveLinkClientTesting::FFrameQueueCounts FLiveLinkClientTesting::GetFrameQueueCounts(const FLiveLinkClient& Client)
{
	std::lock_guard Lock(Client.SubjectMutex);
	return FFrameQueueCounts{Client.QueuedFramesTaken, Client.MostQueuedFramesInOneTick, Client.QueuedFramesDropped};
}

TLiveLinkObservers<void(const FLiveLinkSubjectKey&, const FLiveLinkStaticDataStruct&)>& FLiveLinkClientTesting::OnStaticDataReceived(
	FLiveLinkClient& Client)
{
	return Client.StaticDataObservers;
}

TLiveLinkObservers<void(const FLiveLinkSubjectKey&, const FLiveLinkFrameDataStruct&)>& FLiveLinkClientTesting::OnFrameDataReceived(
	FLiveLinkClient& Client)
{
	return Client.FrameDataObservers;
}

bool FLiveLinkClientTesting::SetSourceSettingsProperty(
	FLiveLinkClient& Client, FGuid SourceGuid, FName PropertyName, const FString& ValueText, FString* OutError)
{
	return Client.SetSourceSettingsProperty(SourceGuid, PropertyName, ValueText, OutError);
}

TArray<FLiveLinkFrameDataStruct> FLiveLinkClientTesting::GetBufferedFrames(
	const FLiveLinkClient& Client, const FLiveLinkSubjectKey& SubjectKey)
{
	return Client.ReadSubject<TArray<FLiveLinkFrameDataStruct>>(SubjectKey, [](const FLiveLinkClient::FSubjectEntry& Subject) {
		TArray<FLiveLinkFrameDataStruct> Frames;
		for (const FLiveLinkClient::FBufferedFrame& Frame : Subject.Frames)
		{
			Frames.Add(Frame.Frame.Clone());
		}
		return Frames;
	});
}

bool FLiveLinkClientTesting::IsSubjectValid(const FLiveLinkClient& Client, const FLiveLinkSubjectKey& SubjectKey)
{
	return Client.ReadSubject<bool>(SubjectKey, [](const FLiveLinkClient::FSubjectEntry& Subject) {
		return Subject.FrameCount > 0 && FPlatformTime::Seconds() - Subject.LastPushSeconds < 0.5;
	});
}
