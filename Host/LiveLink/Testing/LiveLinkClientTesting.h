// Stand-in only, for tests, tools and the stand-in's Take Recorder: what a subject of the client holds, observers of
// the data it accepts, the details panel's route for editing a source's settings, and Live Link presets (saved and
// applied in the engine's order, kept in a file format of the stand-in's own). Not part of the engine's API.
#pragma once

#include "LiveLinkClient.h"

#include <functional>

class ULiveLinkSourceFactory;

/** One property of a saved settings object: its name and its value as FProperty::ExportText writes it. */
struct FLiveLinkPresetProperty
{
	FString Name;
	FString Value;
	bool operator==(const FLiveLinkPresetProperty& Other) const { return Name == Other.Name && Value == Other.Value; }
};

/** A source as a preset keeps it: how to make it again, and its settings object whole. */
struct FLiveLinkPresetSource
{
	FGuid Guid;
	/** The registered name of the factory's class ("TavrixLiveLinkSourceFactory"); empty when no factory made it. */
	FString FactoryClass;
	FString ConnectionString;
	/** The registered name of the settings object's class. */
	FString SettingsClass;
	/** Every property of the settings object that is not transient, base class first, in declaration order. */
	TArray<FLiveLinkPresetProperty> Properties;
};

/** A subject as a preset keeps it: which source, which name and role, and whether it is enabled. */
struct FLiveLinkPresetSubject
{
	FLiveLinkSubjectKey Key;
	/** The registered name of its role's class; empty when it had none. */
	FString RoleClass;
	bool bEnabled = false;
};

struct FLiveLinkPresetData
{
	TArray<FLiveLinkPresetSource> Sources;
	TArray<FLiveLinkPresetSubject> Subjects;
};

struct LIVELINK_API FLiveLinkClientTesting
{
	/**
	 * Copies of what the client holds, as of its latest tick: the static data and the newest frame applied (in order
	 * of arrival, whatever its time); invalid records when the subject is unknown or has no frame yet.
	 */
	static FLiveLinkStaticDataStruct GetStaticData(const FLiveLinkClient& Client, const FLiveLinkSubjectKey& SubjectKey);
	static FLiveLinkFrameDataStruct GetLatestFrame(const FLiveLinkClient& Client, const FLiveLinkSubjectKey& SubjectKey);
	/** Frames the subject's ticks applied since its static data was first applied. */
	static uint64 GetFrameCount(const FLiveLinkClient& Client, const FLiveLinkSubjectKey& SubjectKey);
	static bool HasSubject(const FLiveLinkClient& Client, const FLiveLinkSubjectKey& SubjectKey);
	/** Ticks the client has run. */
	static uint64 GetTickCount(const FLiveLinkClient& Client);
	/** What the frame queue shared by all sources carried: the engine trims it silently, so only these tell. */
	struct FFrameQueueCounts
	{
		/** Frames the ticks took from the queue, applied or not. */
		uint64 FramesTaken = 0;
		/** The most frames one tick took. */
		uint64 MostFramesInOneTick = 0;
		/** Frames lost to the cap on queued frames: those trimmed away and the pushes refused with them. */
		uint64 FramesDropped = 0;
	};
	static FFrameQueueCounts GetFrameQueueCounts(const FLiveLinkClient& Client);
	/** The source added under that identifier, or null. */
	static TSharedPtr<ILiveLinkSource> GetSource(const FLiveLinkClient& Client, FGuid SourceGuid);

	/** Observers of accepted data, called on the pushing thread after the client has stored the record. */
	static TLiveLinkObservers<void(const FLiveLinkSubjectKey&, const FLiveLinkStaticDataStruct&)>& OnStaticDataReceived(
		FLiveLinkClient& Client);
	static TLiveLinkObservers<void(const FLiveLinkSubjectKey&, const FLiveLinkFrameDataStruct&)>& OnFrameDataReceived(
		FLiveLinkClient& Client);

	/**
	 * Edits one property of the source's settings as the details panel does: by name, from text (FProperty::ImportText).
	 * Only properties shown as editable (EditAnywhere and the like, not Visible*) can be edited. A value that reads
	 * differently from the one held calls the source's OnSettingsChanged; an unchanged value calls nothing. False, with
	 * a sentence in OutError, when the source, the property or the text is refused. Game thread only.
	 */
	static bool SetSourceSettingsProperty(
		FLiveLinkClient& Client, FGuid SourceGuid, FName PropertyName, const FString& ValueText, FString* OutError = nullptr);

	/**
	 * The default blending of two frames of a transform or camera subject at Alpha from A to B: copies at alpha near
	 * 0 or 1; otherwise the closer frame with location, scale, camera floats, property values and times blended
	 * linearly and rotation by normalised linear blend of the quaternions along the shorter path.
	 */
	static FLiveLinkFrameDataStruct BlendFrames(const FLiveLinkFrameDataStruct& A, const FLiveLinkFrameDataStruct& B, float Alpha);
	/** The frames the subject buffers, in the mode's time order. */
	static TArray<FLiveLinkFrameDataStruct> GetBufferedFrames(const FLiveLinkClient& Client, const FLiveLinkSubjectKey& SubjectKey);
	/** Whether the subject had a frame applied within the last half second of the platform clock. */
	static bool IsSubjectValid(const FLiveLinkClient& Client, const FLiveLinkSubjectKey& SubjectKey);

	/**
	 * Adds a source as the Live Link panel does with what a factory made (through its creation panel or from a
	 * connection string): AddSource, then the connection string and the factory's class written into the settings.
	 */
	static FGuid AddSourceFromFactory(FLiveLinkClient& Client, TSharedPtr<ILiveLinkSource> Source, const FString& ConnectionString,
		TSubclassOf<ULiveLinkSourceFactory> FactoryClass);

	/** The preset of the client as it is: every source not being removed, with its settings, and their subjects. */
	static FLiveLinkPresetData SavePreset(const FLiveLinkClient& Client);

	/** Finds the factory a preset names: the default object of the registered factory class of that name, or null. */
	using FFactoryLookup = std::function<const ULiveLinkSourceFactory*(const FString& FactoryClass)>;
	static const ULiveLinkSourceFactory* FindRegisteredFactory(const FString& FactoryClass);

	/**
	 * Restores the preset's sources into the client in the engine's order, one source at a time: the factory's
	 * CreateSource(ConnectionString), a settings object of the saved class (else of the class the source names) with
	 * the saved properties imported, the source added under its saved identifier (ReceiveClient, then
	 * InitializeSettings with those settings); then the subjects of the restored sources, enabled as saved, without
	 * static data until their source pushes it. A source whose factory is unknown or refuses the connection string,
	 * or whose identifier the client already holds, is skipped with a warning, and so are its subjects. Returns the
	 * identifiers of the sources added, in the preset's order. Game thread only.
	 */
	static TArray<FGuid> ApplyPreset(
		FLiveLinkClient& Client, const FLiveLinkPresetData& Preset, const FFactoryLookup& FindFactory = &FindRegisteredFactory);

	/** Writes the preset as a JSON file (see Host/README.md), replacing the file. False, with a sentence, on failure. */
	static bool WritePresetFile(const FLiveLinkPresetData& Preset, const FString& Path, FString* OutError = nullptr);
	/** SavePreset written to a file. */
	static bool SavePresetFile(const FLiveLinkClient& Client, const FString& Path, FString* OutError = nullptr);
	/** Reads a file WritePresetFile wrote. False, with a sentence saying what is wrong, when it cannot be read or used. */
	static bool LoadPresetFile(const FString& Path, FLiveLinkPresetData& OutPreset, FString* OutError = nullptr);
};
