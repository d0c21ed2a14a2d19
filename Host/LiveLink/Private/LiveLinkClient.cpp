#include "LiveLinkClient.h"
#include "LiveLinkClientTesting.h"
#include "UObject/UnrealType.h"

#include "Roles/LiveLinkCameraRole.h"

#include <algorithm>

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
	Sources.push_back(FSourceEntry{Guid, Source, false, nullptr});
	Source->ReceiveClient(this, Guid);

	// As the engine does: the source names its class, the client owns the object and hands it over after the client.
	UClass* SettingsClass = Source->GetSettingsClass().Get();
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
	ULiveLinkSourceSettings* SettingsObject = static_cast<ULiveLinkSourceSettings*>(Settings.get());
	Sources.back().Settings = MoveTemp(Settings);
	Source->InitializeSettings(SettingsObject);

	return Guid;
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

void FLiveLinkClient::Tick()
{
	CheckGameThread();
	const bool bWasNotifying = bNotifying;
	bNotifying = true;
	TickDelegate.Broadcast();
	bNotifying = bWasNotifying;
	++TickCount;
	if (!bNotifying)
	{
		ProcessPendingRemovals();
	}
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
		if (auto* Subject = FindSubjectIn(Subjects, SubjectKey))
		{
			Subject->Role = Role;
			Subject->StaticData = MoveTemp(StaticData);
			Subject->LatestFrame.Reset();
		}
		else
		{
			// A new subject is enabled only when no subject of its name is.
			const bool bNameTaken = std::any_of(Subjects.begin(), Subjects.end(),
				[&](const FSubjectEntry& Other) { return Other.bEnabled && Other.Key.SubjectName == SubjectKey.SubjectName; });
			Subjects.push_back(FSubjectEntry{SubjectKey, Role, MoveTemp(StaticData), FLiveLinkFrameDataStruct(), 0, !bNameTaken});
		}
	}
	if (bObserved)
	{
		StaticDataObservers.Broadcast(SubjectKey, Copy);
	}
}

void FLiveLinkClient::PushSubjectFrameData_AnyThread(const FLiveLinkSubjectKey& SubjectKey, FLiveLinkFrameDataStruct&& FrameData)
{
	const bool bObserved = FrameDataObservers.IsBound();
	FLiveLinkFrameDataStruct Copy;
	{
		std::lock_guard Lock(SubjectMutex);
		auto* Subject = FindSubjectIn(Subjects, SubjectKey);
		if (Subject == nullptr || !Subject->bEnabled || !FrameData.IsValid())
		{
			return;
		}
		const ULiveLinkRole* RoleObject = static_cast<const ULiveLinkRole*>(Subject->Role.Get()->GetDefaultObject(true));
		if (!FrameData.GetStruct()->IsChildOf(RoleObject->GetFrameDataStruct()))
		{
			return;
		}
		if (bObserved)
		{
			Copy = FrameData.Clone();
		}
		Subject->LatestFrame = MoveTemp(FrameData);
		++Subject->FrameCount;
	}
	if (bObserved)
	{
		FrameDataObservers.Broadcast(SubjectKey, Copy);
	}
}

void FLiveLinkClient::RemoveSubject_AnyThread(const FLiveLinkSubjectKey& SubjectKey)
{
	// Removing the enabled subject of a name enables none of the others.
	std::lock_guard Lock(SubjectMutex);
	std::erase_if(Subjects, [&](const FSubjectEntry& Subject) { return Subject.Key == SubjectKey; });
}

bool FLiveLinkClient::IsSubjectEnabled(const FLiveLinkSubjectKey& SubjectKey, bool bForThisFrame) const
{
	CheckGameThread();
	(void)bForThisFrame;
	return ReadSubject<bool>(SubjectKey, [](const FLiveLinkClient::FSubjectEntry& Subject) { return Subject.bEnabled; });
}

bool FLiveLinkClient::IsSubjectEnabled(FLiveLinkSubjectName SubjectName) const
{
	CheckGameThread();
	std::lock_guard Lock(SubjectMutex);
	return std::any_of(Subjects.begin(), Subjects.end(),
		[&](const FSubjectEntry& Subject) { return Subject.bEnabled && Subject.Key.SubjectName == SubjectName.Name; });
}

void FLiveLinkClient::SetSubjectEnabled(const FLiveLinkSubjectKey& SubjectKey, bool bEnabled)
{
	CheckGameThread();
	std::lock_guard Lock(SubjectMutex);
	auto* Target = FindSubjectIn(Subjects, SubjectKey);
	if (Target == nullptr)
	{
		return;
	}
	if (bEnabled)
	{
		for (FSubjectEntry& Subject : Subjects)
		{
			if (Subject.Key.SubjectName == SubjectKey.SubjectName)
			{
				Subject.bEnabled = false;
			}
		}
	}
	Target->bEnabled = bEnabled;
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
