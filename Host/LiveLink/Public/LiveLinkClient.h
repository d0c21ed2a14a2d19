// Stand-in for the engine's FLiveLinkClient (LiveLink plug-in module): owns sources, queues what they push, and on its
// tick applies the queue, buffers frames per subject and evaluates each enabled subject for the frame, by its source's
// mode, with the default blending of transform and camera frames. No virtual subjects, no role translation.
// What only the stand-in offers (reading what a subject holds, the details panel's edit route) is in
// LiveLinkClientTesting.h.
#pragma once

#include "CoreMinimal.h"
#include "ILiveLinkClient.h"
#include "ILiveLinkSource.h"
#include "LiveLinkSourceSettings.h"

#include <mutex>
#include <thread>
#include <vector>

#define LIVELINK_API DLLEXPORT

/**
 * Observers of the data a client accepts, for the stand-in's own use (Take Recorder, views, tests); no source sees them.
 * Records are pushed from any thread, so unlike the engine's notifications this list takes a lock: adding, removing
 * and raising are serialised, a removal returns only once no call to that observer is in progress, and an observer
 * may add or remove observers from inside the raise.
 */
template <typename FuncType> class TLiveLinkObservers;

template <typename... ParamTypes> class TLiveLinkObservers<void(ParamTypes...)>
{
public:
	template <typename FunctorType> FDelegateHandle AddLambda(FunctorType&& Functor)
	{
		std::lock_guard Lock(Mutex);
		return Observers.AddLambda(std::forward<FunctorType>(Functor));
	}
	template <typename... ArgTypes> FDelegateHandle AddRaw(ArgTypes&&... Args)
	{
		std::lock_guard Lock(Mutex);
		return Observers.AddRaw(std::forward<ArgTypes>(Args)...);
	}
	bool Remove(FDelegateHandle Handle)
	{
		std::lock_guard Lock(Mutex);
		return Observers.Remove(Handle);
	}
	bool IsBound() const
	{
		std::lock_guard Lock(Mutex);
		return Observers.IsBound();
	}
	void Broadcast(ParamTypes... Params) const
	{
		std::lock_guard Lock(Mutex);
		Observers.Broadcast(Params...);
	}

private:
	mutable std::recursive_mutex Mutex;
	TMulticastDelegate<void(ParamTypes...)> Observers;
};

class LIVELINK_API FLiveLinkClient final : public ILiveLinkClient
{
public:
	/** The thread that constructs the client is its game thread: Tick and source management belong to it. */
	FLiveLinkClient();
	/** Asks every source to shut down and releases it. No source may be referenced elsewhere by then. */
	~FLiveLinkClient() override;

	//~ Begin ILiveLinkClient interface
	/** Game thread only, as every use of the client: the notification itself takes no lock. */
	FSimpleMulticastDelegate& OnLiveLinkTicked() override
	{
		CheckGameThread();
		return TickDelegate;
	}
	void PushSubjectStaticData_AnyThread(
		const FLiveLinkSubjectKey& SubjectKey, TSubclassOf<ULiveLinkRole> Role, FLiveLinkStaticDataStruct&& StaticData) override;
	void PushSubjectFrameData_AnyThread(const FLiveLinkSubjectKey& SubjectKey, FLiveLinkFrameDataStruct&& FrameData) override;
	void RemoveSubject_AnyThread(const FLiveLinkSubjectKey& SubjectName) override;
	bool IsSubjectEnabled(const FLiveLinkSubjectKey& SubjectKey, bool bForThisFrame) const override;
	bool IsSubjectEnabled(FLiveLinkSubjectName SubjectName) const override;
	void SetSubjectEnabled(const FLiveLinkSubjectKey& SubjectKey, bool bEnabled) override;
	//~ End ILiveLinkClient interface

	/**
	 * The enabled subject of that name as this frame's tick evaluated it (what a camera controller reads). False when
	 * no enabled subject has the name, its role is not Role or a subclass of it, or it has no frame for this tick.
	 */
	bool EvaluateFrame_AnyThread(
		FLiveLinkSubjectName SubjectName, TSubclassOf<ULiveLinkRole> Role, FLiveLinkSubjectFrameData& OutFrame) const;

	/**
	 * Takes shared ownership, creates the source's settings object with its class defaults (of its GetSettingsClass, or
	 * the base class when that is null, abstract or not a settings class), hands the source ReceiveClient with a new
	 * identifier, then InitializeSettings. Returns the identifier.
	 */
	FGuid AddSource(TSharedPtr<ILiveLinkSource> Source);
	/**
	 * Asks the source to shut down. It is released at once when it agrees, else asked again on every tick until it
	 * does. A removal requested inside the tick notification or a settings hook is carried out after it, never during it.
	 */
	void RemoveSource(FGuid InEntryGuid);
	void RemoveAllSources();
	/**
	 * One engine frame's tick, after the frame's time and timecode are set (FApp): removals, the queued static data,
	 * the queued frames, the sources' Update, each enabled subject's snapshot, then the tick notification. Game thread.
	 */
	void Tick();

	/** The identifiers of the sources, in the order they were added. */
	TArray<FGuid> GetSources(bool bEvenIfPendingKill = false) const;
	/** The settings object of the source, owned by the client until the source is released; null for an unknown source. */
	ULiveLinkSourceSettings* GetSourceSettings(const FGuid& InEntryGuid) const;

	TArray<FLiveLinkSubjectKey> GetSubjects(bool bIncludeDisabledSubject, bool bIncludeVirtualSubject) const;
	TSubclassOf<ULiveLinkRole> GetSubjectRole(const FLiveLinkSubjectKey& SubjectKey) const;

private:
	friend struct FLiveLinkClientTesting;

	/** One estimate of the offset from a source's clock to the engine's. */
	struct FClockOffsetEstimator
	{
		double Offset = 0.0;
		int32 LargeErrorCount = 0;
		bool bHasJumped = false;
		void Add(double Sample);
	};
	struct FSourceEntry
	{
		FGuid Guid;
		TSharedPtr<ILiveLinkSource> Source;
		bool bRemovalRequested = false;
		/** Destroyed after the source is released, so that a source never sees its settings object die before it. */
		std::unique_ptr<UObject> Settings;
		FClockOffsetEstimator EngineTimeEstimator;
		FClockOffsetEstimator TimecodeEstimator;
		bool bHasLastTimes = false;
		double LastSourceTime = 0.0;
		double LastSceneTime = 0.0;
	};
	struct FBufferedFrame
	{
		FLiveLinkFrameDataStruct Frame;
		/** The mode's time: raw source world time, or scene time in seconds. */
		double Time = 0.0;
		/** Order of arrival within the subject, for evicting the oldest received. */
		uint64 Arrival = 0;
	};
	struct FSubjectEntry
	{
		FLiveLinkSubjectKey Key;
		TSubclassOf<ULiveLinkRole> Role;
		FLiveLinkStaticDataStruct StaticData;
		/** The newest frame applied, whatever its time. */
		FLiveLinkFrameDataStruct LatestFrame;
		uint64 FrameCount = 0;
		/** Enabled for this frame, and as the user last asked (taking effect on the next tick). */
		bool bEnabled = false;
		bool bPendingEnabled = false;
		bool bPendingRemoval = false;
		/** The subject's copy of its source's settings, refreshed on every tick. */
		ELiveLinkSourceMode Mode = ELiveLinkSourceMode::EngineTime;
		FLiveLinkSourceBufferManagementSettings BufferSettings;
		std::vector<FBufferedFrame> Frames;
		uint64 NextArrival = 0;
		FFrameRate TimecodeRate = FFrameRate(24, 1);
		double LastPushSeconds = 0.0;
		/** This frame's evaluation; invalid when there is none. */
		FLiveLinkFrameDataStruct Snapshot;
	};
	struct FQueuedStaticData
	{
		FLiveLinkSubjectKey Key;
		TSubclassOf<ULiveLinkRole> Role;
		FLiveLinkStaticDataStruct StaticData;
	};
	struct FQueuedFrame
	{
		FLiveLinkSubjectKey Key;
		FLiveLinkFrameDataStruct FrameData;
	};

	void CheckGameThread() const;
	/** A settings object of the class the source names, with its class defaults (see AddSource). */
	static std::unique_ptr<UObject> CreateSettingsFor(const ILiveLinkSource& Source);
	/** Adds the source under Guid with that settings object: ReceiveClient, then InitializeSettings. */
	void AddSourceWithSettings(TSharedPtr<ILiveLinkSource> Source, FGuid Guid, std::unique_ptr<UObject> Settings);
	/** Marks the sources IsRemoved picks for removal, and removes what it can unless inside a notification. */
	template <typename PredicateType> void RequestRemoval(PredicateType IsRemoved);
	void ProcessPendingRemovals();
	void ApplyStaticData(FQueuedStaticData& Queued);
	void ApplyFrame(FQueuedFrame& Queued);
	void BuildSnapshot(FSubjectEntry& Subject);
	static FLiveLinkFrameDataStruct BlendFrames(const FLiveLinkFrameDataStruct& A, const FLiveLinkFrameDataStruct& B, float Alpha);
	FSourceEntry* FindSourceEntryMutable(FGuid SourceGuid);
	void ReleaseSource(FSourceEntry& Entry);
	const FSourceEntry* FindSourceEntry(FGuid SourceGuid) const;
	/** Read's answer for the subject, taken under the subject lock; a default answer when the subject is unknown. */
	template <typename ResultType, typename ReaderType>
	ResultType ReadSubject(const FLiveLinkSubjectKey& SubjectKey, ReaderType Read) const;

	/** Observers of accepted data, called on the pushing thread after the client has stored the record. */
	TLiveLinkObservers<void(const FLiveLinkSubjectKey&, const FLiveLinkStaticDataStruct&)> StaticDataObservers;
	TLiveLinkObservers<void(const FLiveLinkSubjectKey&, const FLiveLinkFrameDataStruct&)> FrameDataObservers;

	bool SetSourceSettingsProperty(FGuid SourceGuid, FName PropertyName, const FString& ValueText, FString* OutError);

	std::thread::id GameThreadId;
	FSimpleMulticastDelegate TickDelegate;
	std::vector<FSourceEntry> Sources;
	/** Inside the tick notification or a settings hook: removals wait until it returns. */
	bool bNotifying = false;
	uint64 TickCount = 0;

	/** Held by the tick for its whole run, by every push and by evaluation. Subjects and queues live under it. */
	mutable std::recursive_mutex SubjectMutex;
	std::vector<FSubjectEntry> Subjects;
	std::vector<FQueuedStaticData> StaticDataQueue;
	std::vector<FQueuedFrame> FrameQueue;
	bool bStaticDataOverflowLogged = false;
	uint64 QueuedFramesTaken = 0;
	uint64 MostQueuedFramesInOneTick = 0;
	uint64 QueuedFramesDropped = 0;
};
