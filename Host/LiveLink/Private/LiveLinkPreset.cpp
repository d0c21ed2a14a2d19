// Live Link presets of the stand-in: saving what the client holds, restoring it in the engine's order, and a JSON file
// to keep it in between runs.
#include "LiveLinkClient.h"
#include "LiveLinkClientTesting.h"
#include "LiveLinkRole.h"
#include "LiveLinkSourceFactory.h"
#include "UObject/UObjectHash.h"

#include <rapidjson/document.h>
#include <rapidjson/error/en.h>
#include <rapidjson/prettywriter.h>
#include <rapidjson/stringbuffer.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

DEFINE_LOG_CATEGORY_STATIC(LogLiveLink, Log, All);

namespace
{
/** The registered class of that name derived from Base (or Base itself), or null. */
UClass* FindClassDerivedFrom(UClass* Base, const FString& Name)
{
	if (Name.IsEmpty())
	{
		return nullptr;
	}
	if (Base->GetName() == Name)
	{
		return Base;
	}
	TArray<UClass*> Classes;
	GetDerivedClasses(Base, Classes);
	for (UClass* Class : Classes)
	{
		if (Class->GetName() == Name)
		{
			return Class;
		}
	}
	return nullptr;
}

bool Fail(FString* OutError, const FString& Why)
{
	if (OutError != nullptr)
	{
		*OutError = Why;
	}
	return false;
}

constexpr const char* FormatName = "LiveLinkPreset";
constexpr int FormatVersion = 1;

bool ParseGuid(const std::string& Text, FGuid& OutGuid)
{
	if (Text.size() != 32 || Text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
	{
		return false;
	}
	uint32* Words[] = {&OutGuid.A, &OutGuid.B, &OutGuid.C, &OutGuid.D};
	for (size_t Index = 0; Index < 4; ++Index)
	{
		*Words[Index] = static_cast<uint32>(std::stoul(Text.substr(Index * 8, 8), nullptr, 16));
	}
	return true;
}

using FJsonValue = rapidjson::Value;

/** The member of Object as a string; false when it is missing or not a string. */
bool ReadString(const FJsonValue& Object, const char* Member, FString& OutText)
{
	const auto It = Object.FindMember(Member);
	if (It == Object.MemberEnd() || !It->value.IsString())
	{
		return false;
	}
	OutText = FString::FromUtf8(std::string_view(It->value.GetString(), It->value.GetStringLength()));
	return true;
}

bool ReadSource(const FJsonValue& Value, FLiveLinkPresetSource& OutSource, std::string& OutWhy)
{
	FString GuidText;
	if (!Value.IsObject() || !ReadString(Value, "guid", GuidText) || !ParseGuid(GuidText.ToUtf8(), OutSource.Guid))
	{
		OutWhy = "needs \"guid\", 32 hexadecimal digits";
		return false;
	}
	if (!ReadString(Value, "factory", OutSource.FactoryClass) || !ReadString(Value, "connectionString", OutSource.ConnectionString) ||
		!ReadString(Value, "settingsClass", OutSource.SettingsClass))
	{
		OutWhy = "needs the strings \"factory\", \"connectionString\" and \"settingsClass\"";
		return false;
	}
	const auto Properties = Value.FindMember("properties");
	if (Properties == Value.MemberEnd() || !Properties->value.IsObject())
	{
		OutWhy = "needs \"properties\", an object of texts";
		return false;
	}
	for (const auto& Member : Properties->value.GetObject())
	{
		if (!Member.value.IsString())
		{
			OutWhy = "property \"" + std::string(Member.name.GetString()) + "\" is not a text";
			return false;
		}
		OutSource.Properties.Add(FLiveLinkPresetProperty{FString::FromUtf8(Member.name.GetString()),
			FString::FromUtf8(std::string_view(Member.value.GetString(), Member.value.GetStringLength()))});
	}
	return true;
}

bool ReadSubject(const FJsonValue& Value, FLiveLinkPresetSubject& OutSubject, std::string& OutWhy)
{
	FString GuidText;
	FString Name;
	if (!Value.IsObject() || !ReadString(Value, "source", GuidText) || !ParseGuid(GuidText.ToUtf8(), OutSubject.Key.Source) ||
		!ReadString(Value, "name", Name) || !ReadString(Value, "role", OutSubject.RoleClass))
	{
		OutWhy = "needs \"source\" (32 hexadecimal digits), \"name\" and \"role\"";
		return false;
	}
	const auto Enabled = Value.FindMember("enabled");
	if (Enabled == Value.MemberEnd() || !Enabled->value.IsBool())
	{
		OutWhy = "needs \"enabled\", true or false";
		return false;
	}
	OutSubject.Key.SubjectName = FName(*Name);
	OutSubject.bEnabled = Enabled->value.GetBool();
	return true;
}
} // namespace

FGuid FLiveLinkClientTesting::AddSourceFromFactory(FLiveLinkClient& Client, TSharedPtr<ILiveLinkSource> Source,
	const FString& ConnectionString, TSubclassOf<ULiveLinkSourceFactory> FactoryClass)
{
	const FGuid Guid = Client.AddSource(Source);
	// As the editor does: written after the source has been handed its settings, so the source never sees them there
	// before a preset brings them back.
	if (ULiveLinkSourceSettings* Settings = Client.GetSourceSettings(Guid))
	{
		Settings->ConnectionString = ConnectionString;
		Settings->Factory = FactoryClass;
	}
	return Guid;
}

FLiveLinkPresetData FLiveLinkClientTesting::SavePreset(const FLiveLinkClient& Client)
{
	Client.CheckGameThread();
	FLiveLinkPresetData Preset;
	for (const FLiveLinkClient::FSourceEntry& Entry : Client.Sources)
	{
		if (Entry.bRemovalRequested)
		{
			continue;
		}
		const ULiveLinkSourceSettings* Settings = static_cast<const ULiveLinkSourceSettings*>(Entry.Settings.get());
		FLiveLinkPresetSource& Saved = Preset.Sources[Preset.Sources.Add(FLiveLinkPresetSource())];
		Saved.Guid = Entry.Guid;
		Saved.FactoryClass = Settings->Factory.Get() != nullptr ? Settings->Factory.Get()->GetName() : FString();
		Saved.ConnectionString = Settings->ConnectionString;
		Saved.SettingsClass = Settings->GetClass()->GetName();
		for (const FProperty* Property : Settings->GetClass()->GetAllProperties())
		{
			if (!Property->HasAnyPropertyFlags(CPF_Transient))
			{
				Saved.Properties.Add(FLiveLinkPresetProperty{Property->Name.ToString(), Property->ExportText(Settings)});
			}
		}
	}
	std::lock_guard Lock(Client.SubjectMutex);
	for (const FLiveLinkClient::FSubjectEntry& Subject : Client.Subjects)
	{
		const FLiveLinkClient::FSourceEntry* Source = Client.FindSourceEntry(Subject.Key.Source);
		if (Subject.bPendingRemoval || Source == nullptr || Source->bRemovalRequested)
		{
			continue;
		}
		Preset.Subjects.Add(FLiveLinkPresetSubject{
			Subject.Key, Subject.Role.Get() != nullptr ? Subject.Role.Get()->GetName() : FString(), Subject.bPendingEnabled});
	}
	return Preset;
}

const ULiveLinkSourceFactory* FLiveLinkClientTesting::FindRegisteredFactory(const FString& FactoryClass)
{
	UClass* Class = FindClassDerivedFrom(ULiveLinkSourceFactory::StaticClass(), FactoryClass);
	return Class != nullptr ? static_cast<const ULiveLinkSourceFactory*>(Class->GetDefaultObject(true)) : nullptr;
}

TArray<FGuid> FLiveLinkClientTesting::ApplyPreset(
	FLiveLinkClient& Client, const FLiveLinkPresetData& Preset, const FFactoryLookup& FindFactory)
{
	Client.CheckGameThread();
	TArray<FGuid> Added;
	for (const FLiveLinkPresetSource& Saved : Preset.Sources)
	{
		if (Client.FindSourceEntry(Saved.Guid) != nullptr)
		{
			UE_LOG(LogLiveLink, Warning, TEXT("Preset source %s skipped: the client already has a source of that identifier"),
				*Saved.Guid.ToString());
			continue;
		}
		const ULiveLinkSourceFactory* Factory = FindFactory ? FindFactory(Saved.FactoryClass) : nullptr;
		if (Factory == nullptr)
		{
			UE_LOG(LogLiveLink, Warning, TEXT("Preset source %s skipped: no source factory named '%s'"), *Saved.Guid.ToString(),
				*Saved.FactoryClass);
			continue;
		}
		TSharedPtr<ILiveLinkSource> Source = Factory->CreateSource(Saved.ConnectionString);
		if (!Source.IsValid())
		{
			UE_LOG(LogLiveLink, Warning, TEXT("Preset source %s skipped: %s made no source from '%s'"), *Saved.Guid.ToString(),
				*Saved.FactoryClass, *Saved.ConnectionString);
			continue;
		}

		// The copy of the saved object: its own class when this build has it, else what the source asks for.
		UClass* SettingsClass = FindClassDerivedFrom(ULiveLinkSourceSettings::StaticClass(), Saved.SettingsClass);
		std::unique_ptr<UObject> Settings = SettingsClass != nullptr ? SettingsClass->CreateObject() : nullptr;
		if (Settings == nullptr)
		{
			UE_LOG(LogLiveLink, Warning, TEXT("Preset source %s: no settings class named '%s'; the source's own is used"),
				*Saved.Guid.ToString(), *Saved.SettingsClass);
			Settings = FLiveLinkClient::CreateSettingsFor(*Source);
		}
		for (const FLiveLinkPresetProperty& Property : Saved.Properties)
		{
			const FProperty* Target = Settings->GetClass()->FindPropertyByName(FName(*Property.Name));
			FString Why;
			if (Target == nullptr || Target->HasAnyPropertyFlags(CPF_Transient))
			{
				UE_LOG(LogLiveLink, Warning, TEXT("Preset source %s: its settings have no saved property %s"), *Saved.Guid.ToString(),
					*Property.Name);
			}
			else if (!Target->ImportText(Property.Value, Settings.get(), &Why))
			{
				UE_LOG(
					LogLiveLink, Warning, TEXT("Preset source %s: %s keeps its default: %s"), *Saved.Guid.ToString(), *Property.Name, *Why);
			}
		}
		ULiveLinkSourceSettings* Restored = static_cast<ULiveLinkSourceSettings*>(Settings.get());
		Restored->ConnectionString = Saved.ConnectionString;
		Restored->Factory = Factory->GetClass();
		Client.AddSourceWithSettings(Source, Saved.Guid, MoveTemp(Settings));
		Added.Add(Saved.Guid);
	}

	for (const FLiveLinkPresetSubject& Saved : Preset.Subjects)
	{
		if (!Added.Contains(Saved.Key.Source))
		{
			continue;
		}
		UClass* Role = FindClassDerivedFrom(ULiveLinkRole::StaticClass(), Saved.RoleClass);
		if (Role == nullptr)
		{
			UE_LOG(LogLiveLink, Warning, TEXT("Preset subject %s skipped: no role named '%s'"), *Saved.Key.SubjectName.ToString(),
				*Saved.RoleClass);
			continue;
		}
		{
			std::lock_guard Lock(Client.SubjectMutex);
			if (std::none_of(Client.Subjects.begin(), Client.Subjects.end(),
					[&](const FLiveLinkClient::FSubjectEntry& Subject) { return Subject.Key == Saved.Key; }))
			{
				FLiveLinkClient::FSubjectEntry Subject;
				Subject.Key = Saved.Key;
				Subject.Role = Role;
				Client.Subjects.push_back(MoveTemp(Subject));
			}
		}
		Client.SetSubjectEnabled(Saved.Key, Saved.bEnabled);
	}
	return Added;
}

bool FLiveLinkClientTesting::WritePresetFile(const FLiveLinkPresetData& Preset, const FString& Path, FString* OutError)
{
	rapidjson::StringBuffer Buffer;
	rapidjson::PrettyWriter<rapidjson::StringBuffer> Writer(Buffer);
	Writer.SetIndent('\t', 1);
	const auto String = [&Writer](const FString& Text) {
		const std::string Utf8 = Text.ToUtf8();
		Writer.String(Utf8.data(), static_cast<rapidjson::SizeType>(Utf8.size()));
	};
	Writer.StartObject();
	Writer.Key("format");
	Writer.String(FormatName);
	Writer.Key("version");
	Writer.Int(FormatVersion);
	Writer.Key("sources");
	Writer.StartArray();
	for (const FLiveLinkPresetSource& Source : Preset.Sources)
	{
		Writer.StartObject();
		Writer.Key("guid");
		String(Source.Guid.ToString());
		Writer.Key("factory");
		String(Source.FactoryClass);
		Writer.Key("connectionString");
		String(Source.ConnectionString);
		Writer.Key("settingsClass");
		String(Source.SettingsClass);
		Writer.Key("properties");
		Writer.StartObject();
		for (const FLiveLinkPresetProperty& Property : Source.Properties)
		{
			String(Property.Name);
			String(Property.Value);
		}
		Writer.EndObject();
		Writer.EndObject();
	}
	Writer.EndArray();
	Writer.Key("subjects");
	Writer.StartArray();
	for (const FLiveLinkPresetSubject& Subject : Preset.Subjects)
	{
		Writer.StartObject();
		Writer.Key("source");
		String(Subject.Key.Source.ToString());
		Writer.Key("name");
		String(Subject.Key.SubjectName.ToString());
		Writer.Key("role");
		String(Subject.RoleClass);
		Writer.Key("enabled");
		Writer.Bool(Subject.bEnabled);
		Writer.EndObject();
	}
	Writer.EndArray();
	Writer.EndObject();

	const std::string FilePath = Path.ToUtf8();
	std::ofstream File(FilePath, std::ios::binary | std::ios::trunc);
	if (File)
	{
		File.write(Buffer.GetString(), static_cast<std::streamsize>(Buffer.GetSize()));
		File.put('\n');
		File.close();
	}
	if (!File)
	{
		return Fail(OutError, FString::FromUtf8("cannot write the preset file " + FilePath + ": " + std::strerror(errno)));
	}
	return true;
}

bool FLiveLinkClientTesting::SavePresetFile(const FLiveLinkClient& Client, const FString& Path, FString* OutError)
{
	return WritePresetFile(SavePreset(Client), Path, OutError);
}

bool FLiveLinkClientTesting::LoadPresetFile(const FString& Path, FLiveLinkPresetData& OutPreset, FString* OutError)
{
	const std::string FilePath = Path.ToUtf8();
	std::ifstream File(FilePath, std::ios::binary);
	std::ostringstream Text;
	if (File)
	{
		Text << File.rdbuf();
	}
	if (!File)
	{
		return Fail(OutError, FString::FromUtf8("cannot read the preset file " + FilePath + ": " + std::strerror(errno)));
	}
	const auto NotAPreset = [&](const std::string& Why) {
		return Fail(OutError, FString::FromUtf8(FilePath + " is not a Live Link preset: " + Why));
	};
	const std::string Content = Text.str();
	rapidjson::Document Document;
	Document.Parse(Content.data(), Content.size());
	if (Document.HasParseError())
	{
		return NotAPreset(std::string(rapidjson::GetParseError_En(Document.GetParseError())) + " (at byte " +
			std::to_string(Document.GetErrorOffset()) + ")");
	}
	if (!Document.IsObject())
	{
		return NotAPreset("it is not a JSON object");
	}
	const auto Format = Document.FindMember("format");
	const auto Version = Document.FindMember("version");
	if (Format == Document.MemberEnd() || !Format->value.IsString() || std::string(Format->value.GetString()) != FormatName ||
		Version == Document.MemberEnd() || !Version->value.IsInt())
	{
		return NotAPreset(std::string("\"format\" must be \"") + FormatName + "\", with a \"version\"");
	}
	if (Version->value.GetInt() != FormatVersion)
	{
		return NotAPreset(
			"version " + std::to_string(Version->value.GetInt()) + " is not one this build reads (" + std::to_string(FormatVersion) + ")");
	}
	const auto Sources = Document.FindMember("sources");
	const auto Subjects = Document.FindMember("subjects");
	if (Sources == Document.MemberEnd() || !Sources->value.IsArray() || Subjects == Document.MemberEnd() || !Subjects->value.IsArray())
	{
		return NotAPreset("it needs the arrays \"sources\" and \"subjects\"");
	}
	FLiveLinkPresetData Preset;
	std::string Why;
	for (rapidjson::SizeType Index = 0; Index < Sources->value.Size(); ++Index)
	{
		FLiveLinkPresetSource Source;
		if (!ReadSource(Sources->value[Index], Source, Why))
		{
			return NotAPreset("source " + std::to_string(Index + 1) + " " + Why);
		}
		Preset.Sources.Add(MoveTemp(Source));
	}
	for (rapidjson::SizeType Index = 0; Index < Subjects->value.Size(); ++Index)
	{
		FLiveLinkPresetSubject Subject;
		if (!ReadSubject(Subjects->value[Index], Subject, Why))
		{
			return NotAPreset("subject " + std::to_string(Index + 1) + " " + Why);
		}
		Preset.Subjects.Add(MoveTemp(Subject));
	}
	OutPreset = MoveTemp(Preset);
	return true;
}
