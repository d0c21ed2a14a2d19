#include "EditorHost.h"

#include "EditorInstance.h"
#include "Framework/SlateUser.h"
#include "HostViews.h"
#include "LiveLinkClient.h"
#include "LiveLinkClientTesting.h"
#include "LiveLinkSourceFactory.h"
#include "LiveLinkSourceSettings.h"
#include "Misc/EngineClockTesting.h"
#include "Recorder/TakeRecorderPanel.h"
#include "Roles/LiveLinkCameraRole.h"
#include "Roles/LiveLinkCameraTypes.h"
#include "TakeMetaData.h"
#include "Recorder/TakeRecorderBlueprintLibrary.h"
#include "TakeRecorderHost.h"
#include "TavrixSender.h"
#include "JsonLine.h"
#include "UObject/UObjectHash.h"
#include "Widgets/Input/SCheckBox.h"
#include "Widgets/Input/SEditableTextBox.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>
#include <tuple>
#include <unistd.h>

namespace
{
using FClock = std::chrono::steady_clock;

volatile std::sig_atomic_t GStopRequested = 0;

void HandleStopSignal(int)
{
	GStopRequested = 1;
}

void InstallStopSignalHandlers()
{
	GStopRequested = 0;
	struct sigaction Action
	{
	};
	Action.sa_handler = &HandleStopSignal;
	sigemptyset(&Action.sa_mask);
	sigaction(SIGINT, &Action, nullptr);
	sigaction(SIGTERM, &Action, nullptr);
}

/** Log lines arrive on any thread; the game thread hands them to the view in order. */
class FLogQueue final : public FOutputDevice
{
public:
	struct FLine
	{
		std::string Category;
		std::string Verbosity;
		std::string Text;
	};

	FLogQueue() { GLog->AddOutputDevice(this); }
	~FLogQueue() override { GLog->RemoveOutputDevice(this); }

	void Serialize(const TCHAR* Text, ELogVerbosity::Type Verbosity, const FName& Category) override
	{
		std::lock_guard Lock(Mutex);
		Lines.push_back(FLine{Category.ToString().ToUtf8(), FString(ELogVerbosity::ToString(Verbosity)).ToUtf8(), FString(Text).ToUtf8()});
	}
	std::deque<FLine> Take()
	{
		std::lock_guard Lock(Mutex);
		std::deque<FLine> Taken;
		Taken.swap(Lines);
		return Taken;
	}

private:
	std::mutex Mutex;
	std::deque<FLine> Lines;
};

/** Counts events over a sliding second. */
class FRateMeter
{
public:
	void Add(FClock::time_point Now)
	{
		Times.push_back(Now);
		Trim(Now);
	}
	double PerSecond(FClock::time_point Now)
	{
		Trim(Now);
		return static_cast<double>(Times.size());
	}

private:
	void Trim(FClock::time_point Now)
	{
		while (!Times.empty() && Now - Times.front() > std::chrono::seconds(1))
		{
			Times.pop_front();
		}
	}
	std::deque<FClock::time_point> Times;
};

std::unique_ptr<IHostView> MakeView(EHostOutput Output)
{
	switch (Output)
	{
	case EHostOutput::JsonLines:
		return MakeJsonLinesView(stdout);
	case EHostOutput::Live:
		return MakeLiveView(stdout);
	case EHostOutput::Plain:
		return MakePlainView(stdout);
	case EHostOutput::Automatic:
		break;
	}
	return ::isatty(STDOUT_FILENO) ? MakeLiveView(stdout) : MakePlainView(stdout);
}

/** The factory the Live Link panel would offer as "Tavrix LiveLink", found by its class. */
std::unique_ptr<UObject> CreateTavrixFactory()
{
	TArray<UClass*> Factories;
	GetDerivedClasses(ULiveLinkSourceFactory::StaticClass(), Factories);
	for (UClass* Class : Factories)
	{
		if (Class->GetName() == TEXT("TavrixLiveLinkSourceFactory"))
		{
			return Class->CreateObject();
		}
	}
	return nullptr;
}

bool SameFrameContent(const FLiveLinkCameraFrameData& A, const FLiveLinkCameraFrameData& B)
{
	return A.Transform == B.Transform && A.FocalLength == B.FocalLength && A.FocusDistance == B.FocusDistance &&
		A.AspectRatio == B.AspectRatio && A.FieldOfView == B.FieldOfView && A.MetaData.SceneTime.Rate == B.MetaData.SceneTime.Rate;
}

FHostSourceState ReadSourceState(const ILiveLinkSource& Source, const std::string& Connection)
{
	FHostSourceState State;
	State.Type = Source.GetSourceType().ToString().ToUtf8();
	State.Machine = Source.GetSourceMachineName().ToString().ToUtf8();
	State.Status = Source.GetSourceStatus().ToString().ToUtf8();
	State.bValid = Source.IsSourceStillValid();
	State.Connection = Connection;
	return State;
}

/**
 * Streams a demo camera to a source's endpoint from inside the host: an orbit with timecode. The first camera toggles
 * recording; the others circle on their own orbit and leave recording alone, so that one source drives the takes.
 */
std::unique_ptr<TavrixSend::FTavrixSendThread> StartDemoSender(
	const std::string& Connection, size_t CameraIndex, double ToggleSeconds, std::string& OutError)
{
	std::optional<TavrixSend::FTavrixEndpoint> Target = TavrixSend::FTavrixEndpoint::Parse(Connection);
	if (!Target)
	{
		OutError = "the demo needs a source on a fixed port, not " + Connection;
		return nullptr;
	}
	// A source on every interface is reached on loopback; one bound to an address is reached there.
	if (Target->Address == 0)
	{
		Target->Address = 0x7f000001u;
	}
	std::error_code Error;
	std::unique_ptr<TavrixSend::FTavrixUdpSocket> Socket = TavrixSend::FTavrixUdpSocket::Open(*Target, Error);
	if (!Socket)
	{
		OutError = "the demo sender cannot open its socket: " + Error.message();
		return nullptr;
	}
	TavrixSend::FTavrixCameraScript Script;
	Script.Motion = TavrixSend::ETavrixMotion::Orbit;
	Script.FrameRate = TavrixSend::FTavrixFrameRate{25, 1};
	Script.StartFrame = 10 * 3600 * 25; // 10:00:00:00
	Script.Scene = "Demo Scene";
	Script.Record.Mode = CameraIndex == 0 ? TavrixSend::ETavrixRecordMode::Toggle : TavrixSend::ETavrixRecordMode::Off;
	Script.Orbit.Radius += 100.0 * static_cast<double>(CameraIndex);
	Script.Orbit.PeriodSeconds += 3.0 * static_cast<double>(CameraIndex);
	Script.Record.TogglePeriod = std::chrono::duration_cast<TavrixSend::FTavrixDuration>(std::chrono::duration<double>(ToggleSeconds));
	Script.Record.FirstTake = 1;
	TavrixSend::FTavrixPacing Pacing;
	Pacing.RateHz = 25.0;
	return std::make_unique<TavrixSend::FTavrixSendThread>(
		std::make_unique<TavrixSend::FTavrixCameraPayloads>(Script), std::move(Socket), Pacing);
}

/** The endpoint next to Connection's (its port plus one), where the demo adds its second source. */
std::optional<std::string> NextPort(const std::string& Connection)
{
	std::optional<TavrixSend::FTavrixEndpoint> Endpoint = TavrixSend::FTavrixEndpoint::Parse(Connection);
	if (!Endpoint || Endpoint->Port == 65535)
	{
		return std::nullopt;
	}
	++Endpoint->Port;
	return Endpoint->ToString();
}

// The names of the details the per-source options type into. A build whose source lacks one refuses the option.
constexpr const TCHAR* SubjectNameProperty = TEXT("SubjectName");
constexpr const TCHAR* AcceptFromProperty = TEXT("AcceptedSenders");
constexpr const TCHAR* CaptureProperty = TEXT("bCaptureRawDatagrams");
constexpr const TCHAR* FramePerDatagramProperty = TEXT("bFramePerDatagram");

/** One source of the run, in the order the sources were added. */
struct FHostSource
{
	FHostSourceOptions Options;
	TSharedPtr<ILiveLinkSource> Source;
	FGuid Guid;
	std::string Connection;
	std::unique_ptr<TavrixSend::FTavrixSendThread> Demo;
	FRateMeter Changes;
	FRateMeter Published;
};

/** The plug-in's own log category: the view shows all of it. */
constexpr std::string_view PluginLogCategory = "ModuleLog";

/** Every line of the plug-in, and from the rest of the editor what deserves a look: warnings, errors and fatals. */
bool IsShownLogLine(const FLogQueue::FLine& Line)
{
	return Line.Category == PluginLogCategory || Line.Verbosity == "Warning" || Line.Verbosity == "Error" || Line.Verbosity == "Fatal";
}

/**
 * One run of the host, in the steps the editor takes: start the editor, create the source (through the creation
 * panel or from a connection string), tick Live Link until the run ends, shut down. Game thread only, as are the
 * editor events it handles.
 */
class FEditorHostRun
{
public:
	explicit FEditorHostRun(const FHostOptions& InOptions);

	/** The whole run; returns the exit status. */
	int Run();

private:
	bool StartEditor();
	void WatchEditorEvents();
	void StopWatchingEditorEvents();
	bool CreateSources();
	bool ApplyPresetFile();
	bool CreateSourceFromConnectionString(const ULiveLinkSourceFactory& Factory);
	bool CreateSourceThroughPanel(const ULiveLinkSourceFactory& Factory, const FHostSourceOptions& SourceOptions);
	void FillInCreationPanel(const TSharedRef<SWidget>& Panel, const FHostSourceOptions& SourceOptions) const;
	bool AddSourceToLiveLink(std::unique_ptr<FHostSource> Added);
	void ShowAddedSource(FHostSource& Added, std::string Subject);
	void SavePresetFile();
	bool FillInSourceDetails(const FHostSource& Added);
	bool StartDemoSenders();
	FHostSource* FindSource(const FGuid& Guid);
	FHostSourceStatus* FindShownSource(const FGuid& Guid);
	void RunTicks();
	void Tick(FClock::time_point Start);
	void KeepRecentLogLine(const FLogQueue::FLine& Line);
	void ShowLogLine(const FLogQueue::FLine& Line);
	void UpdateSourceStates();
	void UpdateSourceDetails(const FHostSource& From, FHostSourceStatus& Into);
	void EvaluateSubjects(uint64 TickNumber);
	void UpdateTakeRecorderState();
	void ShutDown();
	int ReportOutcome() const;

	void HandleSourceCreated(TSharedPtr<ILiveLinkSource> Created, FString Connection);
	void HandleStaticDataReceived(const FLiveLinkSubjectKey& Key, const FLiveLinkStaticDataStruct& Data);
	void HandleFrameDataReceived(const FLiveLinkSubjectKey& Key, const FLiveLinkFrameDataStruct& Data);
	void HandleTakeSlateChanged(const FString& Slate, UTakeMetaData* MetaData);
	void HandleTakeNumberChanged(int32 TakeNumber, UTakeMetaData* MetaData);
	void HandleRecordingStarted(const FString& Path);
	void HandleRecordingStopped(const FString& Path, int64 Frames);

	// Declared in the order they must come up; they go down in reverse, the plug-in's modules after the client.
	const FHostOptions& Options;
	FLogQueue LogQueue;
	std::unique_ptr<IHostView> View;
	FHostStatus Status;
	FEditorInstance Editor;
	FLiveLinkClient Client;

	bool bSlateChanged = false;
	FDelegateHandle StaticHandle;
	FDelegateHandle FrameHandle;
	FDelegateHandle SlateHandle;
	FDelegateHandle TakeHandle;
	FDelegateHandle StartHandle;
	FDelegateHandle StopHandle;

	std::unique_ptr<UObject> FactoryObject;
	/** What the creation panel or the factory handed over last, until it is added to Live Link. */
	TSharedPtr<ILiveLinkSource> CreatedSource;
	std::string CreatedConnection;
	/** In the order they were added; Status.Sources follows the same order. */
	std::vector<std::unique_ptr<FHostSource>> Sources;
	/** Why the run failed; empty while it goes well. */
	std::string Error;
	/** The failure is an option the sources cannot take: a bad argument. */
	bool bBadArgument = false;
};

FEditorHostRun::FEditorHostRun(const FHostOptions& InOptions)
	: Options(InOptions)
	, View(MakeView(InOptions.Output))
{
	Status.TickHz = Options.TickHz;
	Status.bDemo = Options.bDemo;
}

int FEditorHostRun::Run()
{
	if (!StartEditor())
	{
		// The live view hands the terminal back before the reason is printed.
		View.reset();
		return ReportOutcome();
	}
	WatchEditorEvents();
	if (CreateSources() && StartDemoSenders())
	{
		RunTicks();
	}
	ShutDown();
	return ReportOutcome();
}

bool FEditorHostRun::StartEditor()
{
	if (!Editor.Start(Options.ProjectDir, Error))
	{
		return false;
	}
	FTakeRecorderHost::SetLiveLinkClient(&Client);
	// As the editor's progress dialog does while a take starts or is saved: Live Link ticks inside those calls.
	FTakeRecorderHost::SetModalProgressTick([this] {
		FEngineClockTesting::BeginFrame();
		Client.Tick();
	});
	if (Options.TimecodeRate)
	{
		FEngineClockTesting::SetTimecodeFrameRate(FFrameRate(Options.TimecodeRate->first, Options.TimecodeRate->second));
	}
	FEngineClockTesting::SetTimecodeProviderAvailable(!Options.bNoTimecodeProvider);
	FTakeRecorderHost::SetRefuseStarts(Options.bTakeRecorderRefuses);
	FTakeRecorderHost::SetStartCountdown(static_cast<int32>(std::ceil(Options.TakeRecorderCountdownSeconds * Options.TickHz)));
	if (Options.bTakeRecorder)
	{
		UTakeRecorderBlueprintLibrary::OpenTakeRecorderPanel();
	}
	return true;
}

void FEditorHostRun::WatchEditorEvents()
{
	StaticHandle = FLiveLinkClientTesting::OnStaticDataReceived(Client).AddRaw(this, &FEditorHostRun::HandleStaticDataReceived);
	FrameHandle = FLiveLinkClientTesting::OnFrameDataReceived(Client).AddRaw(this, &FEditorHostRun::HandleFrameDataReceived);
	SlateHandle = FTakeRecorderHost::OnTakeSlateChanged().AddRaw(this, &FEditorHostRun::HandleTakeSlateChanged);
	TakeHandle = FTakeRecorderHost::OnTakeNumberChanged().AddRaw(this, &FEditorHostRun::HandleTakeNumberChanged);
	StartHandle = FTakeRecorderHost::OnRecordingStarted().AddRaw(this, &FEditorHostRun::HandleRecordingStarted);
	StopHandle = FTakeRecorderHost::OnRecordingStopped().AddRaw(this, &FEditorHostRun::HandleRecordingStopped);
}

void FEditorHostRun::StopWatchingEditorEvents()
{
	FLiveLinkClientTesting::OnStaticDataReceived(Client).Remove(StaticHandle);
	FLiveLinkClientTesting::OnFrameDataReceived(Client).Remove(FrameHandle);
	FTakeRecorderHost::OnTakeSlateChanged().Remove(SlateHandle);
	FTakeRecorderHost::OnTakeNumberChanged().Remove(TakeHandle);
	FTakeRecorderHost::OnRecordingStarted().Remove(StartHandle);
	FTakeRecorderHost::OnRecordingStopped().Remove(StopHandle);
}

bool FEditorHostRun::CreateSources()
{
	FactoryObject = CreateTavrixFactory();
	const ULiveLinkSourceFactory* Factory = static_cast<const ULiveLinkSourceFactory*>(FactoryObject.get());
	if (Factory == nullptr)
	{
		Error = "the plug-in offers no Tavrix source factory";
		return false;
	}
	if (Options.PresetFile)
	{
		return ApplyPresetFile();
	}
	if (Options.ConnectionString)
	{
		auto Added = std::make_unique<FHostSource>();
		Added->Options = Options.Sources.front();
		return CreateSourceFromConnectionString(*Factory) && AddSourceToLiveLink(std::move(Added));
	}
	std::vector<FHostSourceOptions> Wanted = Options.Sources;
	for (size_t Index = 0; Index < Wanted.size(); ++Index)
	{
		FHostSourceOptions& SourceOptions = Wanted[Index];
		// The demo exists to show takes being recorded: it ticks the first source's "Auto Record" unless told otherwise.
		if (Index == 0 && Options.bDemo && !SourceOptions.bAutoRecord)
		{
			SourceOptions.bAutoRecord = true;
		}
		if (!CreateSourceThroughPanel(*Factory, SourceOptions))
		{
			return false;
		}
		auto Added = std::make_unique<FHostSource>();
		Added->Options = SourceOptions;
		if (!AddSourceToLiveLink(std::move(Added)))
		{
			return false;
		}
		// The demo streams two cameras: a second source next to the first one when the command line gave only one.
		if (Options.bDemo && Wanted.size() == 1)
		{
			FHostSourceOptions Second;
			Second.Endpoint = NextPort(Sources.front()->Connection);
			if (!Second.Endpoint)
			{
				Error = "the demo needs its first source on a fixed port below 65535, not " + Sources.front()->Connection;
				return false;
			}
			// Live Link enables one subject of a name: the second camera publishes a name of its own.
			Second.SubjectName = "Tavrix - Camera 2";
			Wanted.push_back(Second);
		}
	}
	return true;
}

/** As the Live Link panel's preset command does: the preset's sources and subjects come back as they were saved. */
bool FEditorHostRun::ApplyPresetFile()
{
	FLiveLinkPresetData Preset;
	FString Refusal;
	if (!FLiveLinkClientTesting::LoadPresetFile(FString::FromUtf8(*Options.PresetFile), Preset, &Refusal))
	{
		Error = "--preset: " + Refusal.ToUtf8();
		bBadArgument = true;
		return false;
	}
	const TArray<FGuid> Restored = FLiveLinkClientTesting::ApplyPreset(Client, Preset);
	for (const FLiveLinkPresetSource& Saved : Preset.Sources)
	{
		if (!Restored.Contains(Saved.Guid))
		{
			continue;
		}
		FHostSource& Added = *Sources.emplace_back(std::make_unique<FHostSource>());
		Added.Guid = Saved.Guid;
		Added.Source = FLiveLinkClientTesting::GetSource(Client, Saved.Guid);
		Added.Connection = Saved.ConnectionString.ToUtf8();
		const ULiveLinkSourceSettings* Settings = Client.GetSourceSettings(Saved.Guid);
		const FProperty* Name = Settings->GetClass()->FindPropertyByName(FName(SubjectNameProperty));
		ShowAddedSource(Added, Name != nullptr ? Name->ExportText(Settings).ToUtf8() : std::string("Tavrix - Camera"));
	}
	if (Restored.Num() < Preset.Sources.Num())
	{
		Error = "--preset: " + std::to_string(Preset.Sources.Num() - Restored.Num()) + " of the preset's sources could not be restored";
		return false;
	}
	return true;
}

bool FEditorHostRun::CreateSourceFromConnectionString(const ULiveLinkSourceFactory& Factory)
{
	CreatedConnection = *Options.ConnectionString;
	CreatedSource = Factory.CreateSource(FString::FromUtf8(CreatedConnection));
	if (!CreatedSource.IsValid())
	{
		Error = "the factory refused the connection string " + CreatedConnection;
		return false;
	}
	return true;
}

bool FEditorHostRun::CreateSourceThroughPanel(const ULiveLinkSourceFactory& Factory, const FHostSourceOptions& SourceOptions)
{
	CreatedSource.Reset();
	const TSharedRef<SWidget> Panel =
		Factory.BuildCreationPanel(ULiveLinkSourceFactory::FOnLiveLinkSourceCreated::CreateRaw(this, &FEditorHostRun::HandleSourceCreated))
			.ToSharedRef();
	FillInCreationPanel(Panel, SourceOptions);
	FSlateUser::Click(FSlateUser::FindButton(Panel, TEXT("Ok")).ToSharedRef());
	View->OnNote("source made through the creation panel\n" + FSlateUser::DumpTree(Panel).ToUtf8());
	if (!CreatedSource.IsValid())
	{
		Error = "the creation panel did not create a source";
		return false;
	}
	return true;
}

/** As a user would: types the endpoint and sets the boxes the command line names, leaving the rest as they start. */
void FEditorHostRun::FillInCreationPanel(const TSharedRef<SWidget>& Panel, const FHostSourceOptions& SourceOptions) const
{
	if (SourceOptions.Endpoint)
	{
		FSlateUser::EnterText(FSlateUser::FindEditableTextBoxByLabel(Panel, TEXT("Network Address:Port")).ToSharedRef(),
			FString::FromUtf8(*SourceOptions.Endpoint));
	}
	const std::pair<const TCHAR*, std::optional<bool>> Boxes[] = {{TEXT("Auto Lens Update"), SourceOptions.bAutoLens},
		{TEXT("Auto Scene/Take"), SourceOptions.bAutoSceneTake}, {TEXT("Auto Record"), SourceOptions.bAutoRecord}};
	for (const auto& [Label, bTicked] : Boxes)
	{
		if (bTicked)
		{
			FSlateUser::SetCheckBoxTicked(FSlateUser::FindCheckBoxByLabel(Panel, Label).ToSharedRef(), *bTicked);
		}
	}
}

/** Takes what was just created into Live Link, and into the run's list of sources. */
bool FEditorHostRun::AddSourceToLiveLink(std::unique_ptr<FHostSource> AddedOwner)
{
	FHostSource& Added = *Sources.emplace_back(std::move(AddedOwner));
	Added.Source = CreatedSource;
	Added.Connection = CreatedConnection;
	CreatedSource.Reset();
	Added.Guid =
		FLiveLinkClientTesting::AddSourceFromFactory(Client, Added.Source, FString::FromUtf8(Added.Connection), FactoryObject->GetClass());
	ShowAddedSource(Added, Added.Options.SubjectName.value_or("Tavrix - Camera"));
	return FillInSourceDetails(Added);
}

void FEditorHostRun::ShowAddedSource(FHostSource& Added, std::string Subject)
{
	FHostSourceStatus& Shown = Status.Sources.emplace_back();
	Shown.Source = ReadSourceState(*Added.Source, Added.Connection);
	Shown.Subject = std::move(Subject);
	View->OnSource(Shown.Source);
}

/** As a user would in the source's details, once it is listed. */
bool FEditorHostRun::FillInSourceDetails(const FHostSource& Added)
{
	// A capture that cannot start is the plug-in's to report (its log says why); receiving goes on without it.
	if (Added.Options.bCapture)
	{
		FLiveLinkClientTesting::SetSourceSettingsProperty(Client, Added.Guid, FName(CaptureProperty), TEXT("True"));
	}
	if (Added.Options.bFramePerDatagram &&
		!FLiveLinkClientTesting::SetSourceSettingsProperty(Client, Added.Guid, FName(FramePerDatagramProperty), TEXT("True")))
	{
		Error = "--frame-per-datagram: the source's details have no \"Frame per Datagram\" box";
		return false;
	}
	const std::tuple<const char*, const TCHAR*, const std::optional<std::string>&> Typed[] = {
		{"--subject-name", SubjectNameProperty, Added.Options.SubjectName},
		{"--accept-from", AcceptFromProperty, Added.Options.AcceptFrom}};
	for (const auto& [Switch, Property, Value] : Typed)
	{
		FString Refusal;
		if (Value &&
			!FLiveLinkClientTesting::SetSourceSettingsProperty(Client, Added.Guid, FName(Property), FString::FromUtf8(*Value), &Refusal))
		{
			Error = std::string(Switch) + " '" + *Value + "' was refused by the source's details: " + Refusal.ToUtf8();
			bBadArgument = true;
			return false;
		}
	}
	for (const FHostDetailEdit& Edit : Added.Options.EvaluationEdits)
	{
		FString Refusal;
		if (!FLiveLinkClientTesting::SetSourceSettingsProperty(
				Client, Added.Guid, FName(FString::FromUtf8(Edit.Property)), FString::FromUtf8(Edit.Text), &Refusal))
		{
			Error = Edit.Switch + " '" + Edit.Text + "' was refused by the source's details: " + Refusal.ToUtf8();
			bBadArgument = true;
			return false;
		}
	}
	return true;
}

bool FEditorHostRun::StartDemoSenders()
{
	if (!Options.bDemo)
	{
		return true;
	}
	for (size_t Index = 0; Index < Sources.size(); ++Index)
	{
		Sources[Index]->Demo = StartDemoSender(Sources[Index]->Connection, Index, Options.DemoToggleSeconds, Error);
		if (Sources[Index]->Demo == nullptr)
		{
			return false;
		}
	}
	return true;
}

FHostSource* FEditorHostRun::FindSource(const FGuid& Guid)
{
	for (const std::unique_ptr<FHostSource>& Source : Sources)
	{
		if (Source->Guid == Guid)
		{
			return Source.get();
		}
	}
	return nullptr;
}

void FEditorHostRun::RunTicks()
{
	const FClock::time_point Start = FClock::now();
	const FClock::duration Period = std::chrono::duration_cast<FClock::duration>(std::chrono::duration<double>(1.0 / Options.TickHz));
	for (uint64 TickIndex = 1; !GStopRequested; ++TickIndex)
	{
		if (Options.DurationSeconds && FClock::now() - Start >= std::chrono::duration<double>(*Options.DurationSeconds))
		{
			break;
		}
		Tick(Start);
		// Absolute deadlines: the tick rate does not drift with the time each tick takes.
		std::this_thread::sleep_until(Start + Period * static_cast<int64>(TickIndex));
	}
}

void FEditorHostRun::Tick(FClock::time_point Start)
{
	// As the engine loop does at the start of each frame, before Live Link ticks: the frame's time and timecode.
	FEngineClockTesting::BeginFrame();
	Client.Tick();
	const uint64 TickNumber = FLiveLinkClientTesting::GetTickCount(Client);
	for (const FLogQueue::FLine& Line : LogQueue.Take())
	{
		KeepRecentLogLine(Line);
		ShowLogLine(Line);
	}
	UpdateSourceStates();
	EvaluateSubjects(TickNumber);
	UpdateTakeRecorderState();
	const FClock::time_point TickEnd = FClock::now();
	Status.Tick = FLiveLinkClientTesting::GetTickCount(Client);
	const FLiveLinkClientTesting::FFrameQueueCounts Queue = FLiveLinkClientTesting::GetFrameQueueCounts(Client);
	Status.QueuedFramesTaken = Queue.FramesTaken;
	Status.MostQueuedFramesInOneTick = Queue.MostFramesInOneTick;
	Status.QueuedFramesDropped = Queue.FramesDropped;
	Status.ElapsedSeconds = std::chrono::duration<double>(TickEnd - Start).count();
	for (size_t Index = 0; Index < Sources.size(); ++Index)
	{
		Status.Sources[Index].UpdatesPerSecond = Sources[Index]->Changes.PerSecond(TickEnd);
		Status.Sources[Index].PublishedPerSecond = Sources[Index]->Published.PerSecond(TickEnd);
	}
	View->OnTickEnd(Status);
}

void FEditorHostRun::KeepRecentLogLine(const FLogQueue::FLine& Line)
{
	Status.RecentLog.push_back(Line.Category + ": " + Line.Verbosity + ": " + Line.Text);
	if (Status.RecentLog.size() > 5)
	{
		Status.RecentLog.pop_front();
	}
}

void FEditorHostRun::ShowLogLine(const FLogQueue::FLine& Line)
{
	if (IsShownLogLine(Line))
	{
		View->OnLog(Line.Category, Line.Verbosity, Line.Text);
	}
}

void FEditorHostRun::UpdateSourceStates()
{
	for (size_t Index = 0; Index < Sources.size(); ++Index)
	{
		const FHostSource& Source = *Sources[Index];
		FHostSourceStatus& Shown = Status.Sources[Index];
		const FHostSourceState SourceState = ReadSourceState(*Source.Source, Source.Connection);
		if (!(SourceState == Shown.Source))
		{
			Shown.Source = SourceState;
			View->OnSource(SourceState);
		}
		UpdateSourceDetails(Source, Shown);
	}
}

/** As the details panel does: every property shown in the editor, by reflection, with its value as text. */
void FEditorHostRun::UpdateSourceDetails(const FHostSource& From, FHostSourceStatus& Into)
{
	Into.Details.clear();
	const ULiveLinkSourceSettings* Settings = Client.GetSourceSettings(From.Guid);
	if (Settings == nullptr)
	{
		return;
	}
	for (const FProperty* Property : Settings->GetClass()->GetAllProperties())
	{
		if (!Property->HasAnyPropertyFlags(CPF_Edit))
		{
			continue;
		}
		FHostSourceDetail Detail;
		Detail.Category = Property->GetMetaData(TEXT("Category")).ToUtf8();
		Detail.Name = Property->Name.ToString().ToUtf8();
		Detail.DisplayName = Property->HasMetaData(TEXT("DisplayName")) ? Property->GetMetaData(TEXT("DisplayName")).ToUtf8() : Detail.Name;
		Detail.Text = Property->ExportText(Settings).ToUtf8();
		switch (Property->Type)
		{
		case EPropertyType::Bool:
			Detail.Json = *Property->ContainerPtrToValuePtr<bool>(Settings) ? "true" : "false";
			break;
		case EPropertyType::Int32:
			Detail.Json = std::to_string(*Property->ContainerPtrToValuePtr<int32>(Settings));
			break;
		case EPropertyType::Float:
		{
			const float Value = *Property->ContainerPtrToValuePtr<float>(Settings);
			Detail.Json = std::isfinite(Value) ? FJsonLine::Number(Value) : "null";
			break;
		}
		case EPropertyType::Double:
		{
			const double Value = *Property->ContainerPtrToValuePtr<double>(Settings);
			Detail.Json = std::isfinite(Value) ? FJsonLine::Number(Value) : "null";
			break;
		}
		case EPropertyType::String:
		case EPropertyType::Enum:
		case EPropertyType::FrameRate:
		case EPropertyType::Class:
			Detail.Json = FJsonLine::Quote(Detail.Text);
			break;
		}
		Into.Details.push_back(std::move(Detail));
	}
}

/**
 * As a camera's Live Link controller does later in the same frame: reads the subject by name, the snapshot this
 * tick built. Only for the source whose subject of that name is the enabled one, which is the one a camera reads.
 */
void FEditorHostRun::EvaluateSubjects(uint64 TickNumber)
{
	for (size_t Index = 0; Index < Sources.size(); ++Index)
	{
		FHostSourceStatus& Shown = Status.Sources[Index];
		const FName SubjectName(FString::FromUtf8(Shown.Subject));
		FLiveLinkSubjectFrameData Evaluated;
		const FLiveLinkCameraFrameData* Camera = nullptr;
		if (Client.IsSubjectEnabled(FLiveLinkSubjectKey(Sources[Index]->Guid, SubjectName), true) &&
			Client.EvaluateFrame_AnyThread(FLiveLinkSubjectName(SubjectName), ULiveLinkCameraRole::StaticClass(), Evaluated))
		{
			Camera = Evaluated.FrameData.Cast<FLiveLinkCameraFrameData>();
		}
		Shown.bHasEvaluated = Camera != nullptr;
		if (Camera != nullptr)
		{
			Shown.Evaluated = *Camera;
			View->OnEvaluated(Shown.Source.Connection, Shown.Subject, TickNumber, *Camera);
		}
	}
}

void FEditorHostRun::UpdateTakeRecorderState()
{
	UTakeRecorderPanel* Panel = UTakeRecorderBlueprintLibrary::GetTakeRecorderPanel();
	Status.bTakeRecorderOpen = Panel != nullptr;
	Status.bCountingDown = FTakeRecorderHost::IsCountingDown();
	if (Panel != nullptr)
	{
		Status.Slate = Panel->GetTakeMetaData()->GetSlate().ToUtf8();
		Status.TakeNumber = Panel->GetTakeMetaData()->GetTakeNumber();
		if (bSlateChanged)
		{
			View->OnSlate(Status.Slate, Status.TakeNumber);
		}
	}
	bSlateChanged = false;
	if (Status.bRecording)
	{
		Status.TakeFrames = FTakeRecorderHost::GetFramesWritten();
	}
}

/** In order: the demo senders, the sources (shut-down request, then release), Take Recorder; the modules follow. */
void FEditorHostRun::ShutDown()
{
	SavePresetFile();
	for (const std::unique_ptr<FHostSource>& Source : Sources)
	{
		if (Source->Demo)
		{
			Source->Demo->RequestStop();
		}
	}
	for (const std::unique_ptr<FHostSource>& Source : Sources)
	{
		if (Source->Demo)
		{
			Source->Demo->Join();
			Source->Demo.reset();
		}
		Source->Source.Reset();
	}
	CreatedSource.Reset();
	Client.RemoveAllSources();
	FTakeRecorderHost::Shutdown();
	StopWatchingEditorEvents();
	for (const FLogQueue::FLine& Line : LogQueue.Take())
	{
		ShowLogLine(Line);
	}
	View->OnShutdown(Status);
	View.reset();
	FactoryObject.reset();
}

/** As the Live Link panel's "Save As Preset" would, while every source is still in Live Link. */
void FEditorHostRun::SavePresetFile()
{
	if (!Options.SavePresetFile || !Error.empty())
	{
		return;
	}
	FString Refusal;
	if (!FLiveLinkClientTesting::SavePresetFile(Client, FString::FromUtf8(*Options.SavePresetFile), &Refusal))
	{
		Error = "--save-preset: " + Refusal.ToUtf8();
	}
}

int FEditorHostRun::ReportOutcome() const
{
	if (!Error.empty())
	{
		std::fprintf(stderr, "tavrix-host: %s\n", Error.c_str());
		return bBadArgument ? 2 : 1;
	}
	if (!Status.TakeFile.empty())
	{
		std::fprintf(stderr, "tavrix-host: takes are in %s\n", FTakeRecorderHost::GetTakesDirectory().ToUtf8().c_str());
	}
	return 0;
}

void FEditorHostRun::HandleSourceCreated(TSharedPtr<ILiveLinkSource> Created, FString Connection)
{
	CreatedSource = Created;
	CreatedConnection = Connection.ToUtf8();
}

FHostSourceStatus* FEditorHostRun::FindShownSource(const FGuid& Guid)
{
	for (size_t Index = 0; Index < Sources.size(); ++Index)
	{
		if (Sources[Index]->Guid == Guid)
		{
			return &Status.Sources[Index];
		}
	}
	return nullptr;
}

void FEditorHostRun::HandleStaticDataReceived(const FLiveLinkSubjectKey& Key, const FLiveLinkStaticDataStruct& Data)
{
	const FLiveLinkCameraStaticData* Camera = Data.Cast<FLiveLinkCameraStaticData>();
	FHostSourceStatus* Shown = FindShownSource(Key.Source);
	if (Camera != nullptr && Shown != nullptr)
	{
		Shown->bHasStaticData = true;
		Shown->Subject = Key.SubjectName.ToString().ToUtf8();
		View->OnStaticData(Shown->Source.Connection, Shown->Subject, *Camera);
	}
}

void FEditorHostRun::HandleFrameDataReceived(const FLiveLinkSubjectKey& Key, const FLiveLinkFrameDataStruct& Data)
{
	const FLiveLinkCameraFrameData* Camera = Data.Cast<FLiveLinkCameraFrameData>();
	FHostSource* Source = FindSource(Key.Source);
	FHostSourceStatus* Shown = FindShownSource(Key.Source);
	if (Camera == nullptr || Source == nullptr || Shown == nullptr)
	{
		return;
	}
	const FClock::time_point At = FClock::now();
	Source->Published.Add(At);
	if (!Shown->bHasFrame || !SameFrameContent(Shown->LastFrame, *Camera))
	{
		Source->Changes.Add(At);
	}
	Shown->bHasFrame = true;
	Shown->LastFrame = *Camera;
	Shown->Subject = Key.SubjectName.ToString().ToUtf8();
	View->OnFrame(Shown->Source.Connection, Shown->Subject, FLiveLinkClientTesting::GetTickCount(Client) + 1, *Camera);
}

// Slate and take number are set one after the other: one event reports both, before what the same tick starts.
void FEditorHostRun::HandleTakeSlateChanged(const FString&, UTakeMetaData*)
{
	bSlateChanged = true;
}

void FEditorHostRun::HandleTakeNumberChanged(int32 TakeNumber, UTakeMetaData* MetaData)
{
	bSlateChanged = false;
	View->OnSlate(MetaData->GetSlate().ToUtf8(), TakeNumber);
}

void FEditorHostRun::HandleRecordingStarted(const FString& Path)
{
	Status.bRecording = true;
	Status.TakeFile = std::filesystem::path(Path.ToUtf8()).filename().string();
	View->OnRecording(true, Status.TakeFile, 0);
}

void FEditorHostRun::HandleRecordingStopped(const FString& Path, int64 Frames)
{
	Status.bRecording = false;
	Status.TakeFile = std::filesystem::path(Path.ToUtf8()).filename().string();
	Status.TakeFrames = Frames;
	View->OnRecording(false, Status.TakeFile, Frames);
}
} // namespace

int RunEditorHost(const FHostOptions& Options)
{
	InstallStopSignalHandlers();
	return FEditorHostRun(Options).Run();
}
