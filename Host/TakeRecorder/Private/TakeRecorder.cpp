#include "Recorder/TakeRecorder.h"
#include "Recorder/TakeRecorderPanel.h"
#include "TakeMetaData.h"
#include "Recorder/TakeRecorderBlueprintLibrary.h"
#include "TakeRecorderHost.h"

#include "LiveLinkClient.h"
#include "Misc/Paths.h"
#include "Roles/LiveLinkCameraTypes.h"
#include "TakeFile.h"
#include "TakeRecorderLog.h"
#include "TakeRecorderThread.h"
#include "LiveLinkClientTesting.h"

#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>
#include <algorithm>

IMPLEMENT_CLASS(UTakeRecorderPanel, "TakeRecorderPanel", "/Script/TakeRecorder")
IMPLEMENT_CLASS(UTakeRecorderBlueprintLibrary, "TakeRecorderBlueprintLibrary", "/Script/TakeRecorder")
IMPLEMENT_CLASS(UTakeRecorder, "TakeRecorder", "/Script/TakeRecorder")

namespace
{
/**
 * The editor's one Take Recorder. It changes only on its game thread, the thread that opened the panel, which every
 * entry point checks while a panel is open. Mutex makes the observers' reads from other threads, and use while no
 * panel is open, race-free; it is never held while calling out, so the client and event subscribers may call back.
 */
class FTakeRecorderState
{
public:
	static FTakeRecorderState& Get()
	{
		static FTakeRecorderState State;
		return State;
	}

	/**
	 * Process teardown: a take still open gets its closing line. The client is left alone, as it may already be
	 * gone; its subscription keeps the closed file object alive, and a frame it still delivered would fail a check.
	 */
	~FTakeRecorderState()
	{
		if (CurrentTake != nullptr)
		{
			FString Ignored;
			CurrentTake->Close(Ignored);
		}
	}

	void CheckGameThread()
	{
		std::lock_guard Lock(Mutex);
		CheckGameThreadLocked();
	}

	UTakeRecorderPanel* OpenPanel()
	{
		std::lock_guard Lock(Mutex);
		CheckGameThreadLocked();
		if (Panel == nullptr)
		{
			if (MetaData == nullptr)
			{
				MetaData.reset(NewObject<UTakeMetaData>());
			}
			Panel.reset(NewObject<UTakeRecorderPanel>());
			GameThread = std::this_thread::get_id();
		}
		return Panel.get();
	}

	UTakeRecorderPanel* GetPanel()
	{
		std::lock_guard Lock(Mutex);
		CheckGameThreadLocked();
		return Panel.get();
	}

	void ClosePanel()
	{
		{
			std::lock_guard Lock(Mutex);
			CheckGameThreadLocked();
			if (Panel == nullptr)
			{
				return;
			}
		}
		StopRecording();
		std::lock_guard Lock(Mutex);
		// The editor's panel object outlives its tab until it is collected; here it lives as long as the process.
		ClosedPanels.push_back(MoveTemp(Panel));
		GameThread = std::thread::id();
	}

	UTakeMetaData* GetMetaData(const UTakeRecorderPanel* InPanel)
	{
		{
			std::lock_guard Lock(Mutex);
			const bool bClosed = InPanel != nullptr && InPanel != Panel.get() &&
				std::any_of(ClosedPanels.begin(), ClosedPanels.end(), [InPanel](const auto& Closed) { return Closed.get() == InPanel; });
			if (!bClosed)
			{
				CheckOpenPanelLocked(InPanel);
				return MetaData.get();
			}
		}
		UE_LOG(LogTakeRecorder, Error, TEXT("The Take Recorder panel was closed: it has no take meta data."));
		return nullptr;
	}

	void StartRecording(const UTakeRecorderPanel* InPanel)
	{
		bool bRefused = false;
		FLiveLinkClient* RecordFrom = nullptr;
		FString Slate;
		int32 TakeNumber = 0;
		FString Directory;
		int32 Countdown = 0;
		{
			std::lock_guard Lock(Mutex);
			CheckOpenPanelLocked(InPanel);
			if (CurrentTake != nullptr || bCountingDown)
			{
				return;
			}
			bRefused = bRefuseStarts;
			RecordFrom = Client;
			Slate = MetaData->GetSlate();
			TakeNumber = MetaData->GetTakeNumber();
			Directory = GetTakesDirectoryLocked();
			Countdown = StartCountdownTicks;
		}
		if (bRefused)
		{
			UE_LOG(LogTakeRecorder, Error,
				TEXT("Take Recorder refused to start recording: it has no sources to record, or a take is under review."));
			return;
		}
		if (RecordFrom == nullptr)
		{
			UE_LOG(LogTakeRecorder, Error, TEXT("Take Recorder has no Live Link client to record from: recording did not start."));
			return;
		}
		if (Countdown > 0)
		{
			BeginCountdown(RecordFrom, Countdown, MoveTemp(Slate), TakeNumber, MoveTemp(Directory));
			return;
		}
		BeginTake(RecordFrom, Slate, TakeNumber, Directory);
		RunModalProgress();
	}

	void StopRecording()
	{
		if (CancelCountdown())
		{
			return;
		}
		std::shared_ptr<FTakeFile> Take;
		FLiveLinkClient* RecordedFrom = nullptr;
		FDelegateHandle Subscription;
		UTakeMetaData* NextTake = nullptr;
		{
			std::lock_guard Lock(Mutex);
			CheckGameThreadLocked();
			if (CurrentTake == nullptr)
			{
				return;
			}
			NextTake = MetaData.get();
			if (NextTake != nullptr)
			{
				NextTake->Unlock();
			}
			Take = MoveTemp(CurrentTake);
			RecordedFrom = RecordedClient;
			RecordedClient = nullptr;
			Subscription = FrameSubscription;
			FrameSubscription.Reset();
		}
		// Once Remove returns no frame is being written, so the closing line is the last line of the file.
		FLiveLinkClientTesting::OnFrameDataReceived(*RecordedFrom).Remove(Subscription);
		FString Error;
		if (Take->Close(Error))
		{
			UE_LOG(LogTakeRecorder, Log, TEXT("Take Recorder stopped recording '%s' after %lld frames."), *Take->GetPath(),
				static_cast<long long>(Take->GetFramesWritten()));
		}
		else
		{
			UE_LOG(LogTakeRecorder, Error, TEXT("Take Recorder %s; the %lld frames written before are kept."), *Error,
				static_cast<long long>(Take->GetFramesWritten()));
		}
		// As the editor does, the panel moves on to the next take number once a take is done.
		if (NextTake != nullptr)
		{
			NextTake->SetTakeNumber(RecordedTakeNumber + 1, true);
		}
		RecordingStopped.Broadcast(Take->GetPath(), Take->GetFramesWritten());
		RunModalProgress();
	}

	bool IsRecording()
	{
		std::lock_guard Lock(Mutex);
		CheckGameThreadLocked();
		return CurrentTake != nullptr;
	}

	void SetClient(FLiveLinkClient* InClient)
	{
		bool bEndTake = false;
		{
			std::lock_guard Lock(Mutex);
			CheckGameThreadLocked();
			bEndTake = (CurrentTake != nullptr && RecordedClient != InClient) || (bCountingDown && CountdownClient != InClient);
			Client = InClient;
		}
		if (bEndTake)
		{
			StopRecording();
		}
	}

	FLiveLinkClient* GetClient()
	{
		std::lock_guard Lock(Mutex);
		return Client;
	}

	void SetTakesDirectory(const FString& InDirectory)
	{
		std::lock_guard Lock(Mutex);
		CheckGameThreadLocked();
		TakesDirectory = InDirectory;
	}

	FString GetTakesDirectory()
	{
		std::lock_guard Lock(Mutex);
		return GetTakesDirectoryLocked();
	}

	FString GetTakeFilePath()
	{
		std::lock_guard Lock(Mutex);
		return LastTake != nullptr ? LastTake->GetPath() : FString();
	}

	int64 GetFramesWritten()
	{
		std::lock_guard Lock(Mutex);
		return LastTake != nullptr ? LastTake->GetFramesWritten() : 0;
	}

	void Shutdown()
	{
		CheckGameThread();
		SetModalProgressTick(nullptr);
		StopRecording();
		ClosePanel();
		std::lock_guard Lock(Mutex);
		Client = nullptr;
		bRefuseStarts = false;
		StartCountdownTicks = 0;
	}

	void SetRefuseStarts(bool bInRefuse)
	{
		std::lock_guard Lock(Mutex);
		CheckGameThreadLocked();
		bRefuseStarts = bInRefuse;
	}

	bool IsRefusingStarts()
	{
		std::lock_guard Lock(Mutex);
		return bRefuseStarts;
	}

	void SetStartCountdown(int32 InTicks)
	{
		std::lock_guard Lock(Mutex);
		CheckGameThreadLocked();
		StartCountdownTicks = InTicks > 0 ? InTicks : 0;
	}

	int32 GetStartCountdown()
	{
		std::lock_guard Lock(Mutex);
		return StartCountdownTicks;
	}

	bool IsCountingDown()
	{
		std::lock_guard Lock(Mutex);
		return bCountingDown;
	}

	UTakeRecorder* GetActiveRecorder()
	{
		std::lock_guard Lock(Mutex);
		CheckGameThreadLocked();
		if (!bCountingDown && CurrentTake == nullptr)
		{
			return nullptr;
		}
		if (ActiveRecorder == nullptr)
		{
			ActiveRecorder.reset(NewObject<UTakeRecorder>());
		}
		return ActiveRecorder.get();
	}

	ETakeRecorderState GetActiveState()
	{
		std::lock_guard Lock(Mutex);
		return bCountingDown		 ? ETakeRecorderState::CountingDown
			: CurrentTake != nullptr ? ETakeRecorderState::Started
									 : ETakeRecorderState::Stopped;
	}

	void SetModalProgressTick(std::function<void()> InTick)
	{
		std::lock_guard Lock(Mutex);
		ModalProgressTick = MoveTemp(InTick);
	}

	/** As the editor's progress dialog ticks the engine while a take starts or is saved; never with Mutex held. */
	void RunModalProgress()
	{
		std::function<void()> Tick;
		{
			std::lock_guard Lock(Mutex);
			Tick = ModalProgressTick;
		}
		if (Tick)
		{
			Tick();
		}
	}

	FOnTakeRecordingStarted RecordingStarted;
	FOnTakeRecordingStopped RecordingStopped;

private:
	FTakeRecorderState() = default;

	/** Opens the take file and feeds it every camera frame RecordFrom accepts from now on. */
	void BeginTake(FLiveLinkClient* RecordFrom, const FString& Slate, int32 TakeNumber, const FString& Directory)
	{
		FString Error;
		std::shared_ptr<FTakeFile> Take = FTakeFile::Create(Directory, Slate, TakeNumber, Error);
		if (Take == nullptr)
		{
			UE_LOG(LogTakeRecorder, Error, TEXT("Take Recorder %s: recording did not start."), *Error);
			return;
		}
		// Frames arrive on whichever thread pushes them; the file serialises its own writes.
		const FDelegateHandle Subscription =
			FLiveLinkClientTesting::OnFrameDataReceived(*RecordFrom)
				.AddLambda([Take](const FLiveLinkSubjectKey& SubjectKey, const FLiveLinkFrameDataStruct& FrameData) {
					if (const FLiveLinkCameraFrameData* Camera = FrameData.Cast<FLiveLinkCameraFrameData>())
					{
						Take->WriteFrame(SubjectKey, *Camera);
					}
				});
		{
			std::lock_guard Lock(Mutex);
			CurrentTake = Take;
			LastTake = Take;
			RecordedClient = RecordFrom;
			FrameSubscription = Subscription;
			RecordedTakeNumber = TakeNumber;
			// The take being recorded keeps its name: its meta data no longer change.
			if (MetaData != nullptr)
			{
				MetaData->Lock();
			}
		}
		UE_LOG(LogTakeRecorder, Log, TEXT("Take Recorder started recording to '%s'."), *Take->GetPath());
		RecordingStarted.Broadcast(Take->GetPath());
	}

	/**
	 * Counts the client's ticks down before the take begins. The take keeps the slate, take number and folder of the
	 * request. A request made inside a tick is not counted by that tick: the subscription joins the next one.
	 */
	void BeginCountdown(FLiveLinkClient* RecordFrom, int32 Ticks, FString Slate, int32 TakeNumber, FString Directory)
	{
		const FDelegateHandle Tick = RecordFrom->OnLiveLinkTicked().AddLambda([] { FTakeRecorderState::Get().HandleCountdownTick(); });
		{
			std::lock_guard Lock(Mutex);
			bCountingDown = true;
			CountdownTicksLeft = Ticks;
			CountdownClient = RecordFrom;
			CountdownTick = Tick;
			CountdownSlate = MoveTemp(Slate);
			CountdownTakeNumber = TakeNumber;
			CountdownDirectory = MoveTemp(Directory);
		}
		UE_LOG(LogTakeRecorder, Log, TEXT("Take Recorder counts down %d ticks before it starts recording."), Ticks);
	}

	void HandleCountdownTick()
	{
		FLiveLinkClient* RecordFrom = nullptr;
		FDelegateHandle Tick;
		FString Slate;
		int32 TakeNumber = 0;
		FString Directory;
		{
			std::lock_guard Lock(Mutex);
			CheckGameThreadLocked();
			if (!bCountingDown || --CountdownTicksLeft > 0)
			{
				return;
			}
			bCountingDown = false;
			RecordFrom = CountdownClient;
			CountdownClient = nullptr;
			Tick = CountdownTick;
			CountdownTick.Reset();
			Slate = MoveTemp(CountdownSlate);
			TakeNumber = CountdownTakeNumber;
			Directory = MoveTemp(CountdownDirectory);
		}
		// The notification lets a subscriber remove itself while it is being raised.
		RecordFrom->OnLiveLinkTicked().Remove(Tick);
		BeginTake(RecordFrom, Slate, TakeNumber, Directory);
	}

	/** Ends a countdown in progress before anything was recorded; false when none was running. */
	bool CancelCountdown()
	{
		FLiveLinkClient* CountingFrom = nullptr;
		FDelegateHandle Tick;
		{
			std::lock_guard Lock(Mutex);
			CheckGameThreadLocked();
			if (!bCountingDown)
			{
				return false;
			}
			bCountingDown = false;
			CountingFrom = CountdownClient;
			CountdownClient = nullptr;
			Tick = CountdownTick;
			CountdownTick.Reset();
		}
		CountingFrom->OnLiveLinkTicked().Remove(Tick);
		UE_LOG(LogTakeRecorder, Log, TEXT("Take Recorder countdown cancelled: recording did not start."));
		return true;
	}

	void CheckGameThreadLocked() const
	{
		checkf(
			Panel == nullptr || GameThread == std::this_thread::get_id(), "Take Recorder used off the game thread that opened its panel");
	}

	void CheckOpenPanelLocked(const UTakeRecorderPanel* InPanel) const
	{
		checkf(InPanel != nullptr && InPanel == Panel.get(), "Take Recorder panel used that is not the open one");
		CheckGameThreadLocked();
	}

	FString GetTakesDirectoryLocked() const
	{
		// Resolved at each take, so a project folder the host sets later is honoured.
		return TakesDirectory.IsEmpty() ? FPaths::ProjectSavedDir() + TEXT("Takes/") : TakesDirectory;
	}

	std::mutex Mutex;
	std::unique_ptr<UTakeRecorderPanel> Panel;
	std::vector<std::unique_ptr<UTakeRecorderPanel>> ClosedPanels;
	/** Outlives the panel, so a reopened panel keeps the slate and take number. */
	std::unique_ptr<UTakeMetaData> MetaData;
	/** The thread that opened Panel; meaningless while no panel is open. */
	std::thread::id GameThread;
	FLiveLinkClient* Client = nullptr;
	FString TakesDirectory;
	/** The take being recorded, with the client and subscription that feed it. */
	std::shared_ptr<FTakeFile> CurrentTake;
	FLiveLinkClient* RecordedClient = nullptr;
	FDelegateHandle FrameSubscription;
	int32 RecordedTakeNumber = 0;
	/** CurrentTake while recording, else the take recorded last. */
	std::shared_ptr<FTakeFile> LastTake;

	/** The editor's ways of answering a start that tests and the host switch on; off by default. */
	bool bRefuseStarts = false;
	int32 StartCountdownTicks = 0;
	/** A start counted down to, with the client whose ticks count it and what the take will be named. */
	bool bCountingDown = false;
	int32 CountdownTicksLeft = 0;
	FLiveLinkClient* CountdownClient = nullptr;
	FDelegateHandle CountdownTick;
	FString CountdownSlate;
	int32 CountdownTakeNumber = 0;
	FString CountdownDirectory;
	/** What others see of the recorder while it is active; made once, kept for the process. */
	std::unique_ptr<UTakeRecorder> ActiveRecorder;
	std::function<void()> ModalProgressTick;
};
} // namespace

void CheckTakeRecorderGameThread()
{
	FTakeRecorderState::Get().CheckGameThread();
}

UTakeMetaData* UTakeRecorderPanel::GetTakeMetaData() const
{
	return FTakeRecorderState::Get().GetMetaData(this);
}

void UTakeRecorderPanel::StartRecording() const
{
	FTakeRecorderState::Get().StartRecording(this);
}

void UTakeRecorderPanel::StopRecording() const
{
	FTakeRecorderState::Get().StopRecording();
}

UTakeRecorderPanel* UTakeRecorderBlueprintLibrary::OpenTakeRecorderPanel()
{
	return FTakeRecorderState::Get().OpenPanel();
}

UTakeRecorderPanel* UTakeRecorderBlueprintLibrary::GetTakeRecorderPanel()
{
	return FTakeRecorderState::Get().GetPanel();
}

void FTakeRecorderHost::ClosePanel()
{
	FTakeRecorderState::Get().ClosePanel();
}

bool UTakeRecorderBlueprintLibrary::IsRecording()
{
	return FTakeRecorderState::Get().IsRecording();
}

void UTakeRecorderBlueprintLibrary::StopRecording()
{
	FTakeRecorderState::Get().StopRecording();
}

void FTakeRecorderHost::SetLiveLinkClient(FLiveLinkClient* InClient)
{
	FTakeRecorderState::Get().SetClient(InClient);
}

FLiveLinkClient* FTakeRecorderHost::GetLiveLinkClient()
{
	return FTakeRecorderState::Get().GetClient();
}

void FTakeRecorderHost::SetTakesDirectory(const FString& InDirectory)
{
	FTakeRecorderState::Get().SetTakesDirectory(InDirectory);
}

FString FTakeRecorderHost::GetTakesDirectory()
{
	return FTakeRecorderState::Get().GetTakesDirectory();
}

FString FTakeRecorderHost::GetTakeFilePath()
{
	return FTakeRecorderState::Get().GetTakeFilePath();
}

int64 FTakeRecorderHost::GetFramesWritten()
{
	return FTakeRecorderState::Get().GetFramesWritten();
}

void FTakeRecorderHost::SetRefuseStarts(bool bInRefuse)
{
	FTakeRecorderState::Get().SetRefuseStarts(bInRefuse);
}

bool FTakeRecorderHost::IsRefusingStarts()
{
	return FTakeRecorderState::Get().IsRefusingStarts();
}

void FTakeRecorderHost::SetStartCountdown(int32 InTicks)
{
	FTakeRecorderState::Get().SetStartCountdown(InTicks);
}

int32 FTakeRecorderHost::GetStartCountdown()
{
	return FTakeRecorderState::Get().GetStartCountdown();
}

bool FTakeRecorderHost::IsCountingDown()
{
	return FTakeRecorderState::Get().IsCountingDown();
}

void FTakeRecorderHost::SetModalProgressTick(std::function<void()> InTick)
{
	FTakeRecorderState::Get().SetModalProgressTick(MoveTemp(InTick));
}

UTakeRecorder* UTakeRecorder::GetActiveRecorder()
{
	return FTakeRecorderState::Get().GetActiveRecorder();
}

ETakeRecorderState UTakeRecorder::GetState() const
{
	return FTakeRecorderState::Get().GetActiveState();
}

void FTakeRecorderHost::Shutdown()
{
	FTakeRecorderState::Get().Shutdown();
}

FOnTakeRecordingStarted& FTakeRecorderHost::OnRecordingStarted()
{
	return FTakeRecorderState::Get().RecordingStarted;
}

FOnTakeRecordingStopped& FTakeRecorderHost::OnRecordingStopped()
{
	return FTakeRecorderState::Get().RecordingStopped;
}

FOnTakeSlateChanged& FTakeRecorderHost::OnTakeSlateChanged()
{
	static FOnTakeSlateChanged Event;
	return Event;
}

FOnTakeNumberChanged& FTakeRecorderHost::OnTakeNumberChanged()
{
	static FOnTakeNumberChanged Event;
	return Event;
}
