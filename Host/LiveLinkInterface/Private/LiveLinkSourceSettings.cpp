#include "LiveLinkSourceSettings.h"

#include "LiveLinkSourceFactory.h"

#include <cstddef>
#include <type_traits>

namespace
{
// offsetof on a class with virtual functions, as the engine's generated code does: conditionally supported, and exact
// for this single-inheritance class on the compilers the project builds with.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
constexpr size_t BufferOffset = offsetof(ULiveLinkSourceSettings, BufferSettings);
constexpr size_t ModeOffset = offsetof(ULiveLinkSourceSettings, Mode);
constexpr size_t ConnectionStringOffset = offsetof(ULiveLinkSourceSettings, ConnectionString);
constexpr size_t FactoryOffset = offsetof(ULiveLinkSourceSettings, Factory);
#pragma GCC diagnostic pop

static_assert(sizeof(ELiveLinkSourceMode) == sizeof(uint8));
static_assert(sizeof(TSubclassOf<ULiveLinkSourceFactory>) == sizeof(UClass*));

FProperty MakeProperty(const TCHAR* Name, EPropertyType Type, size_t Offset, uint32 Flags, const TCHAR* Category, const TCHAR* DisplayName,
	const TCHAR* ToolTip)
{
	FProperty Property;
	Property.Name = FName(Name);
	Property.Type = Type;
	Property.Flags = Flags;
	Property.Offset = Offset;
	Property.SetMetaData(TEXT("Category"), Category);
	Property.SetMetaData(TEXT("DisplayName"), DisplayName);
	Property.SetMetaData(TEXT("ToolTip"), ToolTip);
	return Property;
}

/**
 * The engine declares these members as properties, the buffer settings as a struct shown inline under its own
 * heading. The stand-in's reflection has no struct properties, so each buffer member is a property of its own named
 * by its path ("BufferSettings.EngineTimeOffset"), placed where the struct's members lie in the object.
 */
void AddBaseProperties(UClass& Class)
{
	constexpr uint32 Editable = CPF_Edit;
	constexpr uint32 ReadOnly = CPF_Edit | CPF_EditConst;
	const TCHAR* const Settings = TEXT("Settings");
	const TCHAR* const Buffer = TEXT("Buffer Settings");

	FProperty Mode = MakeProperty(TEXT("Mode"), EPropertyType::Enum, ModeOffset, Editable, Settings, TEXT("Evaluation Mode"),
		TEXT("How the subjects of this source pick the frame of each engine frame: the latest received, by engine time or by timecode."));
	Mode.CPPTypeName = TEXT("ELiveLinkSourceMode");
	Mode.EnumNames = {TEXT("Latest"), TEXT("EngineTime"), TEXT("Timecode")};
	Class.AddProperty(MoveTemp(Mode));

#define TAVRIX_BUFFER_PROPERTY(Member, Type, Flags, DisplayName, ToolTip)                                                                  \
	Class.AddProperty(MakeProperty(TEXT("BufferSettings." #Member), Type,                                                                  \
		BufferOffset + offsetof(FLiveLinkSourceBufferManagementSettings, Member), Flags, Buffer, TEXT(DisplayName), TEXT(ToolTip)))

	TAVRIX_BUFFER_PROPERTY(bValidEngineTimeEnabled, EPropertyType::Bool, Editable, "Valid Engine Time Enabled",
		"Whether frames older than the valid engine time are dropped.");
	TAVRIX_BUFFER_PROPERTY(ValidEngineTime, EPropertyType::Float, Editable, "Valid Engine Time",
		"How long, in seconds, a frame stays usable in engine time mode.");
	TAVRIX_BUFFER_PROPERTY(EngineTimeOffset, EPropertyType::Float, Editable, "Engine Time Offset",
		"Seconds the engine time is moved back before frames are read, so that the read time falls between received frames.");
	TAVRIX_BUFFER_PROPERTY(EngineTimeClockOffset, EPropertyType::Double, ReadOnly, "Engine Time Clock Offset",
		"Estimated difference between the engine clock and the source's clock, in seconds.");
	TAVRIX_BUFFER_PROPERTY(
		bGenerateSubFrame, EPropertyType::Bool, Editable, "Generate Sub Frame", "Whether frames are given sub-frame timecode.");
	TAVRIX_BUFFER_PROPERTY(
		DetectedFrameRate, EPropertyType::FrameRate, ReadOnly, "Detected Frame Rate", "The frame rate of the source's timecode.");
	TAVRIX_BUFFER_PROPERTY(bUseTimecodeSmoothLatest, EPropertyType::Bool, Editable, "Use Timecode Smooth Latest",
		"Whether the estimated timecode clock offset is taken off the engine timecode.");
	TAVRIX_BUFFER_PROPERTY(SourceTimecodeFrameRate, EPropertyType::FrameRate, Editable, "Source Timecode Frame Rate",
		"The frame rate the timecode frame offset is counted in.");
	TAVRIX_BUFFER_PROPERTY(bValidTimecodeFrameEnabled, EPropertyType::Bool, Editable, "Valid Timecode Frame Enabled",
		"Whether frames older than the valid timecode frame count are dropped.");
	TAVRIX_BUFFER_PROPERTY(ValidTimecodeFrame, EPropertyType::Int32, Editable, "Valid Timecode Frame",
		"How many frames of timecode a frame stays usable in timecode mode.");
	TAVRIX_BUFFER_PROPERTY(TimecodeFrameOffset, EPropertyType::Float, Editable, "Timecode Frame Offset",
		"Frames the engine timecode is moved back before frames are read.");
	TAVRIX_BUFFER_PROPERTY(TimecodeClockOffset, EPropertyType::Double, ReadOnly, "Timecode Clock Offset",
		"Estimated difference between the engine timecode and the source's timecode, in seconds.");
	TAVRIX_BUFFER_PROPERTY(
		LatestOffset, EPropertyType::Int32, Editable, "Latest Offset", "In latest mode, how many frames before the newest one are read.");
	TAVRIX_BUFFER_PROPERTY(MaxNumberOfFrameToBuffered, EPropertyType::Int32, Editable, "Max Number of Frame to Buffered",
		"The most frames a subject of this source keeps.");
	TAVRIX_BUFFER_PROPERTY(bKeepAtLeastOneFrame, EPropertyType::Bool, Editable, "Keep at Least One Frame",
		"Whether the newest frame is kept when every frame is too old.");
#undef TAVRIX_BUFFER_PROPERTY

	FProperty ConnectionString = MakeProperty(TEXT("ConnectionString"), EPropertyType::String, ConnectionStringOffset, ReadOnly, Settings,
		TEXT("Connection String"), TEXT("What the source's factory needs to create the source again."));
	ConnectionString.SetMetaData(TEXT("AdvancedDisplay"), TEXT(""));
	Class.AddProperty(MoveTemp(ConnectionString));

	FProperty Factory = MakeProperty(TEXT("Factory"), EPropertyType::Class, FactoryOffset, ReadOnly, Settings, TEXT("Factory"),
		TEXT("The factory that created the source."));
	Factory.CPPTypeName = TEXT("TSubclassOf<ULiveLinkSourceFactory>");
	Factory.PropertyClass = ULiveLinkSourceFactory::StaticClass();
	Factory.SetMetaData(TEXT("AdvancedDisplay"), TEXT(""));
	Class.AddProperty(MoveTemp(Factory));
}
} // namespace

UClass* ULiveLinkSourceSettings::StaticClass()
{
	static UClass* const Class = [] {
		static UClass Registered(TEXT("LiveLinkSourceSettings"), UObject::StaticClass(), TEXT("/Script/LiveLinkInterface"),
			[]() -> std::unique_ptr<UObject> { return std::make_unique<ULiveLinkSourceSettings>(); });
		AddBaseProperties(Registered);
		return &Registered;
	}();
	return Class;
}
[[maybe_unused]] static UClass* const ULiveLinkSourceSettingsRegisteredAtLoad = ULiveLinkSourceSettings::StaticClass();
