// Reads arbitrary bytes as the project's game configuration: through FConfigFile, and into the runtime settings
// through LoadConfig. Traps when a value is lost or altered on the way: a missing key must keep its default, a set
// value must read back as set, and writing the settings back and loading them again must give the same five values.
#include "Misc/ConfigCacheIni.h"
#include "Misc/Paths.h"
#include "TavrixLiveLinkRuntimeSettings.h"
#include "UObject/ConfigTesting.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <unistd.h>

namespace
{
namespace fs = std::filesystem;

const TCHAR* const Section = TEXT("/Script/TavrixLiveLink.TavrixLiveLinkRuntimeSettings");
const TCHAR* const Keys[] = {TEXT("NetworkServerAddressByDefault"), TEXT("NetworkPortIdByDefault"), TEXT("bAutoLens"),
	TEXT("bAutoSceneTakeUpdate"), TEXT("bAutoRecord")};
constexpr int32 AddressKey = 0;
constexpr int32 PortKey = 1;
constexpr int32 FirstFlagKey = 2;

void TrapUnless(bool bHolds, const char* What)
{
	if (!bHolds)
	{
		std::fprintf(stderr, "Broken invariant: %s\n", What);
		__builtin_trap();
	}
}

struct FSettingsValues
{
	FString Address;
	int32 Port = 0;
	bool bFlags[3] = {};

	static FSettingsValues From(const UTavrixLiveLinkRuntimeSettings& Settings)
	{
		FSettingsValues Values;
		Values.Address = Settings.NetworkServerAddressByDefault;
		Values.Port = Settings.NetworkPortIdByDefault;
		Values.bFlags[0] = Settings.bAutoLens;
		Values.bFlags[1] = Settings.bAutoSceneTakeUpdate;
		Values.bFlags[2] = Settings.bAutoRecord;
		return Values;
	}

	bool operator==(const FSettingsValues& Other) const
	{
		return Address.Equals(Other.Address, ESearchCase::CaseSensitive) && Port == Other.Port && bFlags[0] == Other.bFlags[0] &&
			bFlags[1] == Other.bFlags[1] && bFlags[2] == Other.bFlags[2];
	}
};

const FSettingsValues Defaults{FString(TEXT("0.0.0.0")), 9001, {true, true, false}};

std::unique_ptr<UTavrixLiveLinkRuntimeSettings> LoadSettings()
{
	std::unique_ptr<UTavrixLiveLinkRuntimeSettings> Settings(NewObject<UTavrixLiveLinkRuntimeSettings>());
	Settings->LoadConfig();
	return Settings;
}

/** Only texts whose reading is beyond doubt: a plain decimal int32, or a text without a single digit. */
std::optional<int32> ExpectedPort(const FString& Text)
{
	const std::u16string& Characters = Text.GetStdString();
	const size_t Start = !Characters.empty() && Characters[0] == u'-' ? 1 : 0;
	const size_t Digits = Characters.size() - Start;
	bool bAllDigits = Digits > 0;
	bool bAnyDigit = false;
	for (size_t Index = 0; Index < Characters.size(); ++Index)
	{
		const bool bDigit = Characters[Index] >= u'0' && Characters[Index] <= u'9';
		bAnyDigit = bAnyDigit || bDigit;
		bAllDigits = bAllDigits && (Index < Start || bDigit);
	}
	if (bAllDigits && Digits <= 9)
	{
		return static_cast<int32>(std::stol(Text.ToUtf8()));
	}
	if (!bAnyDigit)
	{
		return Defaults.Port;
	}
	return std::nullopt;
}

std::optional<bool> ExpectedFlag(const FString& Text, bool bDefault)
{
	if (Text.GetStdString() == u"True")
	{
		return true;
	}
	if (Text.GetStdString() == u"False")
	{
		return false;
	}
	if (Text.IsEmpty())
	{
		return bDefault;
	}
	return std::nullopt;
}

std::string ReadBytes(const fs::path& Path)
{
	std::ifstream Stream(Path, std::ios::binary);
	return std::string(std::istreambuf_iterator<char>(Stream), std::istreambuf_iterator<char>());
}

void WriteBytes(const fs::path& Path, std::string_view Bytes)
{
	std::ofstream Stream(Path, std::ios::binary | std::ios::trunc);
	Stream.write(Bytes.data(), static_cast<std::streamsize>(Bytes.size()));
	TrapUnless(Stream.good(), "the fuzz input could not be written to the project's configuration");
}

/** Takes the log's lines: values that do not parse are warned about on every input, as they should be. */
class FLogSink final : public FOutputDevice
{
public:
	FLogSink() { GLog->AddOutputDevice(this); }
	~FLogSink() override { GLog->RemoveOutputDevice(this); }
	void Serialize(const TCHAR*, ELogVerbosity::Type, const FName&) override {}
};

/**
 * A project folder of its own under the system's temporary folder, made once and removed at exit; the settings
 * read and write its Config/DefaultGame.ini.
 */
class FConfigRig
{
public:
	FConfigRig()
	{
		Project = fs::temp_directory_path() / ("tavrix-fuzz-config-" + std::to_string(::getpid()));
		fs::remove_all(Project);
		fs::create_directories(Project / "Config");
		GameIni = Project / "Config" / "DefaultGame.ini";
		Scratch = Project / "Scratch.ini";
		FPaths::SetProjectDir(FString::FromUtf8(Project.string()));
		std::atexit(&FConfigRig::RemoveProject);
	}

	void Run(std::string_view Bytes)
	{
		WriteBytes(GameIni, Bytes);
		const FString GameIniName = FString::FromUtf8(GameIni.string());
		const bool bReadable = !Bytes.starts_with("\xFF\xFE") && !Bytes.starts_with("\xFE\xFF");

		FConfigFile File;
		TrapUnless(File.Read(GameIniName) == bReadable, "FConfigFile::Read refused a UTF-8 file or read a UTF-16 one");
		std::optional<FString> Stored[5];
		for (int32 Index = 0; Index < 5; ++Index)
		{
			FString Value;
			if (File.GetString(Section, Keys[Index], Value))
			{
				Stored[Index] = Value;
			}
		}
		CheckSetValueReadsBack(File, Bytes, Stored);

		std::unique_ptr<UTavrixLiveLinkRuntimeSettings> Loaded = LoadSettings();
		const FSettingsValues Values = FSettingsValues::From(*Loaded);
		CheckLoadedValues(Values, Stored);

		const bool bSaved = FConfigTesting::TryUpdateDefaultConfigFile(*Loaded);
		if (!bReadable)
		{
			TrapUnless(!bSaved, "settings were written over a configuration that could not be read");
			TrapUnless(ReadBytes(GameIni) == Bytes, "a configuration that could not be read was changed");
			return;
		}
		TrapUnless(bSaved, "writing the settings back failed");
		FConfigFile Saved;
		TrapUnless(Saved.Read(GameIniName), "the written configuration cannot be read");
		for (const TCHAR* Key : Keys)
		{
			FString Value;
			TrapUnless(Saved.GetString(Section, Key, Value), "a key is missing after writing the settings back");
		}
		TrapUnless(FSettingsValues::From(*LoadSettings()) == Values, "loading the written settings gives other values");
	}

private:
	static void RemoveProject()
	{
		std::error_code Ignored;
		fs::remove_all(Project, Ignored);
	}

	/** Missing keys keep the constructor's defaults; values whose reading is beyond doubt are read as written. */
	static void CheckLoadedValues(const FSettingsValues& Values, const std::optional<FString> (&Stored)[5])
	{
		const FString& ExpectedAddress = Stored[AddressKey] ? *Stored[AddressKey] : Defaults.Address;
		TrapUnless(Values.Address.Equals(ExpectedAddress, ESearchCase::CaseSensitive), "the address is not the text stored");
		const std::optional<int32> Port = Stored[PortKey] ? ExpectedPort(*Stored[PortKey]) : Defaults.Port;
		TrapUnless(!Port || Values.Port == *Port, "the port is not the number stored");
		for (int32 Flag = 0; Flag < 3; ++Flag)
		{
			const std::optional<FString>& Text = Stored[FirstFlagKey + Flag];
			const std::optional<bool> Expected = Text ? ExpectedFlag(*Text, Defaults.bFlags[Flag]) : Defaults.bFlags[Flag];
			TrapUnless(!Expected || Values.bFlags[Flag] == *Expected, "a flag is not the value stored");
		}
	}

	/**
	 * Sets a key in the section to a value made from the input, writes the file elsewhere and reads it back: the value
	 * must come back as set, and the five keys must read as before.
	 */
	void CheckSetValueReadsBack(FConfigFile& File, std::string_view Bytes, const std::optional<FString> (&Stored)[5])
	{
		const size_t LineBreak = Bytes.find('\n');
		const std::string_view Tail = Bytes.substr(LineBreak == std::string_view::npos ? 0 : LineBreak + 1, 48);
		std::u16string Characters;
		for (const char Byte : Tail)
		{
			Characters.push_back(static_cast<unsigned char>(Byte));
		}
		const FString Value(std::move(Characters));
		TrapUnless(File.SetString(Section, TEXT("FuzzProbe"), Value), "FConfigFile::SetString refused a plain key");
		const FString ScratchName = FString::FromUtf8(Scratch.string());
		if (File.IsNoSave())
		{
			TrapUnless(!File.Write(ScratchName), "FConfigFile::Write wrote a file that was never read");
			return;
		}
		TrapUnless(File.Write(ScratchName), "FConfigFile::Write failed");
		FConfigFile Reread;
		TrapUnless(Reread.Read(ScratchName), "FConfigFile::Read refused its own output");
		FString ReadBack;
		TrapUnless(Reread.GetString(Section, TEXT("FuzzProbe"), ReadBack), "a value that was set is missing");
		TrapUnless(ReadBack.Equals(Value, ESearchCase::CaseSensitive), "a value that was set reads back otherwise");
		for (int32 Index = 0; Index < 5; ++Index)
		{
			FString After;
			const bool bFound = Reread.GetString(Section, Keys[Index], After);
			TrapUnless(bFound == Stored[Index].has_value(), "setting one key added or removed another");
			TrapUnless(!bFound || After.Equals(*Stored[Index], ESearchCase::CaseSensitive), "setting one key changed another");
		}
	}

	FLogSink Log;
	static inline fs::path Project;
	fs::path GameIni;
	fs::path Scratch;
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)
{
	static FConfigRig* const Rig = new FConfigRig();
	Rig->Run(std::string_view(reinterpret_cast<const char*>(Data), Size));
	return 0;
}
