// Presets: what a save keeps of the sources and subjects, the order a restore follows, and the file between the two.
#include "ClientTestSupport.h"
#include "LiveLinkSourceFactory.h"
#include "LogCapture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace
{
/** Settings with properties of its own: one edited, one saved but hidden, one transient. */
class UPresetTestSettings : public ULiveLinkSourceSettings
{
	DECLARE_CLASS(UPresetTestSettings, ULiveLinkSourceSettings)
public:
	FString Label = TEXT("Default");
	int32 Count = 1;
	bool bHiddenFlag = false;
	FString Status = TEXT("Idle");
};

/** What happened, in order, across the factory and the sources it made. */
std::vector<std::string> GEvents;
/** The sources the factory made, owned by the client they were added to. */
std::vector<FLiveLinkTestSource*> GMadeSources;

/** Makes test sources with the settings above; refuses the connection string "refuse". */
class UPresetTestFactory : public ULiveLinkSourceFactory
{
	DECLARE_CLASS(UPresetTestFactory, ULiveLinkSourceFactory)
public:
	TSharedPtr<ILiveLinkSource> CreateSource(const FString& ConnectionString) const override
	{
		GEvents.push_back("CreateSource " + ConnectionString.ToUtf8());
		if (ConnectionString == TEXT("refuse"))
		{
			return nullptr;
		}
		TSharedPtr<FLiveLinkTestSource> Source = MakeShared<FLiveLinkTestSource>(UPresetTestSettings::StaticClass());
		FLiveLinkTestSource* Raw = Source.Get();
		Source->OnInitializeSettings = [Raw](ULiveLinkSourceSettings* Settings) {
			const auto* Own = static_cast<UPresetTestSettings*>(Settings);
			GEvents.push_back("InitializeSettings " + Raw->SourceGuid.ToString().ToUtf8() + " " + Own->Label.ToUtf8() + " " +
				std::to_string(Own->Count) + (Own->bHiddenFlag ? " hidden" : ""));
		};
		GMadeSources.push_back(Raw);
		return Source;
	}
};

IMPLEMENT_CLASS(UPresetTestSettings, "PresetTestSettings", "/Script/PresetTests")
IMPLEMENT_CLASS(UPresetTestFactory, "PresetTestFactory", "/Script/PresetTests")

/** The reflection the header tool would generate for UPresetTestSettings. */
void RegisterPresetTestProperties()
{
	static const bool bRegistered = [] {
		UPresetTestSettings Sample;
		const auto Offset = [&Sample](const void* Member) {
			return static_cast<size_t>(static_cast<const uint8*>(Member) - reinterpret_cast<const uint8*>(static_cast<UObject*>(&Sample)));
		};
		UClass* Class = UPresetTestSettings::StaticClass();
		Class->AddProperty(FProperty{FName(TEXT("Label")), EPropertyType::String, CPF_Edit, Offset(&Sample.Label), {}, {}, {}, nullptr});
		Class->AddProperty(FProperty{FName(TEXT("Count")), EPropertyType::Int32, CPF_Edit, Offset(&Sample.Count), {}, {}, {}, nullptr});
		Class->AddProperty(
			FProperty{FName(TEXT("bHiddenFlag")), EPropertyType::Bool, CPF_None, Offset(&Sample.bHiddenFlag), {}, {}, {}, nullptr});
		Class->AddProperty(FProperty{FName(TEXT("Status")), EPropertyType::String, CPF_Edit | CPF_EditConst | CPF_Transient,
			Offset(&Sample.Status), {}, {}, {}, nullptr});
		return true;
	}();
	(void)bRegistered;
}

class PresetRestore : public testing::Test
{
protected:
	PresetRestore()
	{
		RegisterPresetTestProperties();
		GEvents.clear();
		GMadeSources.clear();
	}
	~PresetRestore() override { GMadeSources.clear(); }

	/** A source made by the factory and added as the panel adds it, with its settings edited in the details. */
	FGuid AddEdited(FLiveLinkClient& Into, const char* Connection, const char* Label, int32 Count)
	{
		const TSharedPtr<ILiveLinkSource> Source = GetDefault<UPresetTestFactory>()->CreateSource(FString::FromUtf8(Connection));
		const FGuid Guid =
			FLiveLinkClientTesting::AddSourceFromFactory(Into, Source, FString::FromUtf8(Connection), UPresetTestFactory::StaticClass());
		auto* Settings = static_cast<UPresetTestSettings*>(Into.GetSourceSettings(Guid));
		Settings->Label = FString::FromUtf8(Label);
		Settings->Count = Count;
		Settings->bHiddenFlag = true;
		Settings->Status = TEXT("Streaming");
		return Guid;
	}

	static std::string PropertyValue(const FLiveLinkPresetSource& Source, const char* Name)
	{
		for (const FLiveLinkPresetProperty& Property : Source.Properties)
		{
			if (Property.Name.ToUtf8() == Name)
			{
				return Property.Value.ToUtf8();
			}
		}
		return "<absent>";
	}

	static FLiveLinkStaticDataStruct CameraStatic()
	{
		FLiveLinkStaticDataStruct Data(FLiveLinkCameraStaticData::StaticStruct());
		return Data;
	}

	/** A fresh file name in the test's temporary folder. */
	static std::string TempFile(const char* Name)
	{
		return (std::filesystem::path(testing::TempDir()) / (std::string("PresetRestore-") + Name)).string();
	}
};

TEST_F(PresetRestore, SaveKeepsEverySettingThatIsNotTransientWithHowToRemakeTheSourceAndTheSubjects)
{
	FLiveLinkClient Client;
	const FGuid Jib = AddEdited(Client, "jib:1", "Jib", 7);
	const FGuid Crane = AddEdited(Client, "crane:2", "Crane", 3);
	const FLiveLinkSubjectKey JibKey(Jib, FName(TEXT("Cam")));
	const FLiveLinkSubjectKey CraneKey(Crane, FName(TEXT("Cam")));
	Client.PushSubjectStaticData_AnyThread(JibKey, ULiveLinkCameraRole::StaticClass(), CameraStatic());
	Client.PushSubjectStaticData_AnyThread(CraneKey, ULiveLinkCameraRole::StaticClass(), CameraStatic());
	Client.Tick();
	// The user picks the second source's subject of the shared name.
	Client.SetSubjectEnabled(CraneKey, true);

	const FLiveLinkPresetData Preset = FLiveLinkClientTesting::SavePreset(Client);
	ASSERT_EQ(Preset.Sources.Num(), 2);
	const FLiveLinkPresetSource& First = Preset.Sources[0];
	EXPECT_EQ(First.Guid, Jib);
	EXPECT_EQ(First.FactoryClass.ToUtf8(), "PresetTestFactory");
	EXPECT_EQ(First.ConnectionString.ToUtf8(), "jib:1");
	EXPECT_EQ(First.SettingsClass.ToUtf8(), "PresetTestSettings");
	EXPECT_EQ(PropertyValue(First, "Label"), "Jib");
	EXPECT_EQ(PropertyValue(First, "Count"), "7");
	EXPECT_EQ(PropertyValue(First, "bHiddenFlag"), "True");
	EXPECT_EQ(PropertyValue(First, "Status"), "<absent>");
	EXPECT_EQ(Preset.Sources[1].Guid, Crane);
	EXPECT_EQ(PropertyValue(Preset.Sources[1], "Label"), "Crane");

	ASSERT_EQ(Preset.Subjects.Num(), 2);
	EXPECT_EQ(Preset.Subjects[0].Key, JibKey);
	EXPECT_FALSE(Preset.Subjects[0].bEnabled);
	EXPECT_EQ(Preset.Subjects[1].Key, CraneKey);
	EXPECT_TRUE(Preset.Subjects[1].bEnabled);
	EXPECT_EQ(Preset.Subjects[1].RoleClass.ToUtf8(), "LiveLinkCameraRole");

	// A source on its way out is not saved, nor are its subjects.
	Client.RemoveSource(Jib);
	const FLiveLinkPresetData After = FLiveLinkClientTesting::SavePreset(Client);
	ASSERT_EQ(After.Sources.Num(), 1);
	EXPECT_EQ(After.Sources[0].Guid, Crane);
	ASSERT_EQ(After.Subjects.Num(), 1);
	EXPECT_EQ(After.Subjects[0].Key, CraneKey);
}

TEST_F(PresetRestore, RestoreMakesTheSourceThenCopiesTheSettingsThenAddsItUnderTheSavedIdentifier)
{
	FLiveLinkPresetData Preset;
	{
		FLiveLinkClient Saving;
		AddEdited(Saving, "jib:1", "Jib", 7);
		const FGuid Crane = AddEdited(Saving, "crane:2", "Crane", 3);
		Saving.PushSubjectStaticData_AnyThread(
			FLiveLinkSubjectKey(Crane, FName(TEXT("Cam"))), ULiveLinkCameraRole::StaticClass(), CameraStatic());
		Saving.Tick();
		Preset = FLiveLinkClientTesting::SavePreset(Saving);
		GMadeSources.clear();
	}
	GEvents.clear();

	FLiveLinkClient Client;
	const TArray<FGuid> Restored = FLiveLinkClientTesting::ApplyPreset(Client, Preset);
	ASSERT_EQ(Restored.Num(), 2);
	EXPECT_EQ(Restored[0], Preset.Sources[0].Guid);
	EXPECT_EQ(Restored[1], Preset.Sources[1].Guid);
	EXPECT_EQ(Client.GetSources(), Restored);
	// One source after the other, each handed its client under the saved identifier before settings that already
	// hold the saved values.
	EXPECT_EQ(GEvents,
		(std::vector<std::string>{"CreateSource jib:1", "InitializeSettings " + Restored[0].ToString().ToUtf8() + " Jib 7 hidden",
			"CreateSource crane:2", "InitializeSettings " + Restored[1].ToString().ToUtf8() + " Crane 3 hidden"}));
	ASSERT_EQ(GMadeSources.size(), 2u);
	for (size_t Index = 0; Index < 2; ++Index)
	{
		const FLiveLinkTestSource& Source = *GMadeSources[Index];
		EXPECT_EQ(Source.Calls, (std::vector<std::string>{"ReceiveClient", "InitializeSettings"}));
		EXPECT_EQ(Source.Client, &Client);
		EXPECT_EQ(Source.SourceGuid, Restored[static_cast<int32>(Index)]);
		EXPECT_EQ(Source.Settings, Client.GetSourceSettings(Restored[static_cast<int32>(Index)]));
	}
	const auto* Settings = static_cast<const UPresetTestSettings*>(Client.GetSourceSettings(Restored[1]));
	ASSERT_EQ(Settings->GetClass(), UPresetTestSettings::StaticClass());
	EXPECT_EQ(Settings->Label.ToUtf8(), "Crane");
	// Transient values are not carried over: the copy starts with the class's.
	EXPECT_EQ(Settings->Status.ToUtf8(), "Idle");
	EXPECT_EQ(Settings->ConnectionString.ToUtf8(), "crane:2");
	EXPECT_EQ(Settings->Factory.Get(), UPresetTestFactory::StaticClass());

	// Saved again, the restored client gives the same preset.
	const FLiveLinkPresetData Again = FLiveLinkClientTesting::SavePreset(Client);
	ASSERT_EQ(Again.Sources.Num(), 2);
	EXPECT_EQ(Again.Sources[1].Properties, Preset.Sources[1].Properties);
	EXPECT_EQ(Again.Subjects.Num(), 1);
	Client.RemoveAllSources();
	GMadeSources.clear();
}

TEST_F(PresetRestore, SubjectsComeBackEnabledAsSavedAndTakeStaticDataWhenTheSourcePushesIt)
{
	FLiveLinkPresetData Preset;
	FLiveLinkSubjectKey JibKey;
	FLiveLinkSubjectKey CraneKey;
	{
		FLiveLinkClient Saving;
		JibKey = FLiveLinkSubjectKey(AddEdited(Saving, "jib:1", "Jib", 1), FName(TEXT("Cam")));
		CraneKey = FLiveLinkSubjectKey(AddEdited(Saving, "crane:2", "Crane", 2), FName(TEXT("Cam")));
		Saving.PushSubjectStaticData_AnyThread(JibKey, ULiveLinkCameraRole::StaticClass(), CameraStatic());
		Saving.PushSubjectStaticData_AnyThread(CraneKey, ULiveLinkCameraRole::StaticClass(), CameraStatic());
		Saving.Tick();
		// The first subject of the name was enabled on arrival; the user switched to the second.
		Saving.SetSubjectEnabled(CraneKey, true);
		Preset = FLiveLinkClientTesting::SavePreset(Saving);
		GMadeSources.clear();
	}

	FLiveLinkClient Client;
	ASSERT_EQ(FLiveLinkClientTesting::ApplyPreset(Client, Preset).Num(), 2);
	// Listed at once, as saved, with their role but no static data yet.
	const TArray<FLiveLinkSubjectKey> Listed = Client.GetSubjects(true, false);
	EXPECT_TRUE(Listed.Contains(JibKey));
	EXPECT_TRUE(Listed.Contains(CraneKey));
	EXPECT_FALSE(Client.IsSubjectEnabled(JibKey, false));
	EXPECT_TRUE(Client.IsSubjectEnabled(CraneKey, false));
	EXPECT_EQ(Client.GetSubjectRole(CraneKey).Get(), ULiveLinkCameraRole::StaticClass());
	EXPECT_FALSE(FLiveLinkClientTesting::GetStaticData(Client, CraneKey).IsValid());

	// Frames before static data are dropped; then the sources push, the first one first, and the saved choice holds:
	// a fresh subject of a free name would have been enabled, this one stays as it was saved.
	Client.PushSubjectFrameData_AnyThread(CraneKey, FLiveLinkFrameDataStruct(FLiveLinkCameraFrameData::StaticStruct()));
	Client.Tick();
	EXPECT_EQ(FLiveLinkClientTesting::GetFrameCount(Client, CraneKey), 0u);
	Client.PushSubjectStaticData_AnyThread(JibKey, ULiveLinkCameraRole::StaticClass(), CameraStatic());
	Client.PushSubjectStaticData_AnyThread(CraneKey, ULiveLinkCameraRole::StaticClass(), CameraStatic());
	Client.Tick();
	EXPECT_TRUE(FLiveLinkClientTesting::GetStaticData(Client, CraneKey).IsValid());
	EXPECT_FALSE(Client.IsSubjectEnabled(JibKey, true));
	EXPECT_TRUE(Client.IsSubjectEnabled(CraneKey, true));
	Client.RemoveAllSources();
	GMadeSources.clear();
}

TEST_F(PresetRestore, SourcesThatCannotBeMadeAreSkippedWithTheirSubjects)
{
	FLiveLinkPresetData Preset;
	FLiveLinkPresetSource Unknown;
	Unknown.Guid = FGuid(1, 2, 3, 4);
	Unknown.FactoryClass = TEXT("NoSuchFactory");
	Unknown.ConnectionString = TEXT("x");
	Unknown.SettingsClass = TEXT("PresetTestSettings");
	FLiveLinkPresetSource Refused = Unknown;
	Refused.Guid = FGuid(5, 6, 7, 8);
	Refused.FactoryClass = TEXT("PresetTestFactory");
	Refused.ConnectionString = TEXT("refuse");
	FLiveLinkPresetSource Good = Refused;
	Good.Guid = FGuid(9, 10, 11, 12);
	Good.ConnectionString = TEXT("good");
	Good.Properties.Add(FLiveLinkPresetProperty{TEXT("Label"), TEXT("Kept")});
	Good.Properties.Add(FLiveLinkPresetProperty{TEXT("Count"), TEXT("not a number")});
	Preset.Sources = {Unknown, Refused, Good};
	Preset.Subjects.Add(FLiveLinkPresetSubject{FLiveLinkSubjectKey(Refused.Guid, FName(TEXT("Lost"))), TEXT("LiveLinkCameraRole"), true});
	Preset.Subjects.Add(FLiveLinkPresetSubject{FLiveLinkSubjectKey(Good.Guid, FName(TEXT("Cam"))), TEXT("LiveLinkCameraRole"), true});

	FLogCapture Log;
	FLiveLinkClient Client;
	const TArray<FGuid> Restored = FLiveLinkClientTesting::ApplyPreset(Client, Preset);
	ASSERT_EQ(Restored.Num(), 1);
	EXPECT_EQ(Restored[0], Good.Guid);
	EXPECT_EQ(Client.GetSubjects(true, false).Num(), 1);
	// An unreadable value keeps the class default; the rest is restored.
	const auto* Settings = static_cast<const UPresetTestSettings*>(Client.GetSourceSettings(Good.Guid));
	EXPECT_EQ(Settings->Label.ToUtf8(), "Kept");
	EXPECT_EQ(Settings->Count, 1);
	int Warnings = 0;
	for (const FLogCapture::FLine& Line : Log.GetLines())
	{
		Warnings += Line.Verbosity == ELogVerbosity::Warning && Line.Text.find("Preset source") != std::string::npos ? 1 : 0;
	}
	EXPECT_EQ(Warnings, 3);

	// Applied again: the identifier is taken, so nothing is added twice.
	EXPECT_EQ(FLiveLinkClientTesting::ApplyPreset(Client, Preset).Num(), 0);
	EXPECT_EQ(Client.GetSources().Num(), 1);
	Client.RemoveAllSources();
	GMadeSources.clear();
}

TEST_F(PresetRestore, TheFileGivesBackWhatWasWritten)
{
	FLiveLinkPresetData Preset;
	FLiveLinkPresetSource Source;
	Source.Guid = FGuid(0xDEADBEEF, 1, 0x80000000, 42);
	Source.FactoryClass = TEXT("PresetTestFactory");
	Source.ConnectionString = TEXT("192.168.1.5:54321");
	Source.SettingsClass = TEXT("PresetTestSettings");
	Source.Properties.Add(FLiveLinkPresetProperty{TEXT("Label"), FString::FromUtf8("Quote \" back\\slash \t tab, Grüße")});
	Source.Properties.Add(FLiveLinkPresetProperty{TEXT("Count"), TEXT("-3")});
	Preset.Sources.Add(Source);
	Preset.Subjects.Add(FLiveLinkPresetSubject{FLiveLinkSubjectKey(Source.Guid, FName(TEXT("Crane"))), TEXT("LiveLinkCameraRole"), false});

	const std::string Path = TempFile("roundtrip.json");
	FString Error;
	ASSERT_TRUE(FLiveLinkClientTesting::WritePresetFile(Preset, FString::FromUtf8(Path), &Error)) << Error.ToUtf8();
	FLiveLinkPresetData Read;
	ASSERT_TRUE(FLiveLinkClientTesting::LoadPresetFile(FString::FromUtf8(Path), Read, &Error)) << Error.ToUtf8();
	ASSERT_EQ(Read.Sources.Num(), 1);
	EXPECT_EQ(Read.Sources[0].Guid, Source.Guid);
	EXPECT_EQ(Read.Sources[0].FactoryClass, Source.FactoryClass);
	EXPECT_EQ(Read.Sources[0].ConnectionString, Source.ConnectionString);
	EXPECT_EQ(Read.Sources[0].SettingsClass, Source.SettingsClass);
	EXPECT_EQ(Read.Sources[0].Properties, Source.Properties);
	ASSERT_EQ(Read.Subjects.Num(), 1);
	EXPECT_EQ(Read.Subjects[0].Key, Preset.Subjects[0].Key);
	EXPECT_EQ(Read.Subjects[0].RoleClass, Preset.Subjects[0].RoleClass);
	EXPECT_FALSE(Read.Subjects[0].bEnabled);
	std::remove(Path.c_str());
}

TEST_F(PresetRestore, FilesThatAreNotPresetsAreRefusedWithAReason)
{
	const auto Refusal = [](const std::string& Path) {
		FLiveLinkPresetData Read;
		Read.Sources.Add(FLiveLinkPresetSource());
		FString Error;
		EXPECT_FALSE(FLiveLinkClientTesting::LoadPresetFile(FString::FromUtf8(Path), Read, &Error));
		// Nothing half-read is handed back.
		EXPECT_EQ(Read.Sources.Num(), 1);
		return Error.ToUtf8();
	};
	const auto Written = [](const char* Name, const std::string& Content) {
		const std::string Path = TempFile(Name);
		std::ofstream(Path, std::ios::binary | std::ios::trunc) << Content;
		return Path;
	};
	EXPECT_NE(Refusal(TempFile("missing.json")).find("cannot read"), std::string::npos);
	EXPECT_NE(Refusal(Written("truncated.json", "{\"format\": \"LiveLinkPreset\", ")).find("is not a Live Link preset"), std::string::npos);
	EXPECT_NE(
		Refusal(Written("other.json", "{\"format\": \"Something\", \"version\": 1, \"sources\": [], \"subjects\": []}")).find("format"),
		std::string::npos);
	EXPECT_NE(Refusal(Written("newer.json", "{\"format\": \"LiveLinkPreset\", \"version\": 2, \"sources\": [], \"subjects\": []}"))
				  .find("version 2"),
		std::string::npos);
	EXPECT_NE(Refusal(Written("guid.json",
						  "{\"format\": \"LiveLinkPreset\", \"version\": 1, \"sources\": [{\"guid\": \"12\", \"factory\": "
						  "\"F\", \"connectionString\": \"\", \"settingsClass\": \"S\", \"properties\": {}}], "
						  "\"subjects\": []}"))
				  .find("source 1 needs \"guid\""),
		std::string::npos);
	EXPECT_NE(Refusal(Written("value.json",
						  "{\"format\": \"LiveLinkPreset\", \"version\": 1, \"sources\": [{\"guid\": "
						  "\"0123456789ABCDEF0123456789ABCDEF\", \"factory\": \"F\", \"connectionString\": \"\", "
						  "\"settingsClass\": \"S\", \"properties\": {\"Count\": 3}}], \"subjects\": []}"))
				  .find("\"Count\" is not a text"),
		std::string::npos);

	// The smallest preset reads as one with nothing in it.
	FLiveLinkPresetData Empty;
	FString Error;
	EXPECT_TRUE(FLiveLinkClientTesting::LoadPresetFile(
		FString::FromUtf8(Written("empty.json", "{\"format\": \"LiveLinkPreset\", \"version\": 1, \"sources\": [], \"subjects\": []}")),
		Empty, &Error))
		<< Error.ToUtf8();
	for (const char* Name : {"truncated.json", "other.json", "newer.json", "guid.json", "value.json", "empty.json"})
	{
		std::remove(TempFile(Name).c_str());
	}
}
} // namespace
