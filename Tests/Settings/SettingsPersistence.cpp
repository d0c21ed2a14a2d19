#include "LogCapture.h"
#include "SettingsTestSupport.h"
#include "SettingsTestTypes.h"
#include "UObject/ConfigTesting.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace
{
const std::string SectionHeader = "[/Script/SettingsTests.SettingsTestSettings]";

class SettingsPersistence : public ::testing::Test
{
protected:
	/** A fresh object with its constructor's defaults, then the project's configuration read over it. */
	std::unique_ptr<USettingsTestSettings> Load()
	{
		std::unique_ptr<USettingsTestSettings> Object(NewObject<USettingsTestSettings>());
		Object->LoadConfig();
		return Object;
	}

	FTemporaryProject Project;
};

void ExpectDefaults(const USettingsTestSettings& Settings)
{
	EXPECT_EQ(Settings.Address.ToUtf8(), "0.0.0.0");
	EXPECT_EQ(Settings.Port, 9001);
	EXPECT_TRUE(Settings.bAutoLens);
	EXPECT_FALSE(Settings.bAutoRecord);
	EXPECT_EQ(Settings.Gain, 1.5f);
}
} // namespace

TEST_F(SettingsPersistence, DefaultsStandWithoutAFile)
{
	FLogCapture Log;

	ExpectDefaults(*Load());

	EXPECT_TRUE(Log.GetLines().empty());
}

TEST_F(SettingsPersistence, DefaultsStandWithoutTheSection)
{
	Project.Write("Config/DefaultGame.ini", "[/Script/Other.Settings]\nPort=1\nbAutoRecord=True\n");

	ExpectDefaults(*Load());
}

TEST_F(SettingsPersistence, KeysPresentOverrideOnlyThemselves)
{
	Project.Write("Config/DefaultGame.ini", SectionHeader + "\nPort=5000\nbAutoRecord=true\n");

	const std::unique_ptr<USettingsTestSettings> Settings = Load();

	EXPECT_EQ(Settings->Port, 5000);
	EXPECT_TRUE(Settings->bAutoRecord);
	EXPECT_EQ(Settings->Address.ToUtf8(), "0.0.0.0");
	EXPECT_TRUE(Settings->bAutoLens);
}

TEST_F(SettingsPersistence, ReadsEveryTypeInItsStoredForm)
{
	Project.Write("Config/DefaultGame.ini",
		SectionHeader +
			"\r\nAddress=studio-host.local\r\nPort=-1\r\nbAutoLens=FALSE\r\nbAutoRecord=1\r\nGain=0.25\r\nInternal=\"  kept  \"\r\n");

	const std::unique_ptr<USettingsTestSettings> Settings = Load();

	EXPECT_EQ(Settings->Address.ToUtf8(), "studio-host.local");
	EXPECT_EQ(Settings->Port, -1);
	EXPECT_FALSE(Settings->bAutoLens);
	EXPECT_TRUE(Settings->bAutoRecord);
	EXPECT_EQ(Settings->Gain, 0.25f);
	EXPECT_EQ(Settings->Internal.ToUtf8(), "  kept  ");
}

TEST_F(SettingsPersistence, UnparsableValueKeepsTheDefaultAndWarns)
{
	Project.Write("Config/DefaultGame.ini", SectionHeader + "\nPort=90o1\nbAutoLens=sometimes\nbAutoRecord=True\n");
	FLogCapture Log;

	const std::unique_ptr<USettingsTestSettings> Settings = Load();

	EXPECT_EQ(Settings->Port, 9001);
	EXPECT_TRUE(Settings->bAutoLens);
	EXPECT_TRUE(Settings->bAutoRecord);
	const std::vector<FLogCapture::FLine> Lines = Log.GetLines();
	ASSERT_EQ(Lines.size(), 2u);
	for (const FLogCapture::FLine& Line : Lines)
	{
		EXPECT_EQ(Line.Category, "LogConfig");
		EXPECT_EQ(Line.Verbosity, ELogVerbosity::Warning);
		EXPECT_NE(Line.Text.find("DefaultGame.ini"), std::string::npos) << Line.Text;
	}
	EXPECT_NE(Lines[0].Text.find("Port: \"90o1\" is not a whole decimal number. The value 9001 is kept."), std::string::npos)
		<< Lines[0].Text;
	EXPECT_NE(Lines[1].Text.find("bAutoLens: \"sometimes\" is not a bool"), std::string::npos) << Lines[1].Text;
}

TEST_F(SettingsPersistence, SavingWritesEveryStoredPropertyInDeclarationOrder)
{
	std::unique_ptr<USettingsTestSettings> Settings = Load();

	ASSERT_TRUE(FConfigTesting::TryUpdateDefaultConfigFile(*Settings));

	EXPECT_EQ(Project.Read("Config/DefaultGame.ini"),
		SectionHeader + "\nAddress=0.0.0.0\nPort=9001\nbAutoLens=True\nbAutoRecord=False\nGain=1.5\nRevision=3\nInternal=internal\n");
}

TEST_F(SettingsPersistence, SavingAChangeRewritesOnlyItsLine)
{
	const std::string Before = "; shared with the team\r\n[/Script/Engine.Renderer]\r\nQuality=High\r\n\r\n" + SectionHeader +
		"\r\nAddress = "
		"0.0.0.0\r\nPort=9001\r\nbAutoLens=true\r\nbAutoRecord=no\r\nGain=1.50\r\nRevision=3\r\nInternal=internal\r\n\r\n[Last]\r\nKey="
		"Value";
	Project.Write("Config/DefaultGame.ini", Before);
	std::unique_ptr<USettingsTestSettings> Settings = Load();

	ASSERT_TRUE(FConfigTesting::TryUpdateDefaultConfigFile(*Settings));
	EXPECT_EQ(Project.Read("Config/DefaultGame.ini"), Before);

	Settings->Port = 5000;
	ASSERT_TRUE(FConfigTesting::TryUpdateDefaultConfigFile(*Settings));
	std::string Expected = Before;
	Expected.replace(Expected.find("Port=9001"), 9, "Port=5000");
	EXPECT_EQ(Project.Read("Config/DefaultGame.ini"), Expected);
}

TEST_F(SettingsPersistence, SavingAddsMissingKeysToTheSection)
{
	Project.Write("Config/DefaultGame.ini", SectionHeader + "\nPort=5000\n\n[Other]\nA=1\n");
	std::unique_ptr<USettingsTestSettings> Settings = Load();

	ASSERT_TRUE(FConfigTesting::TryUpdateDefaultConfigFile(*Settings));

	EXPECT_EQ(Project.Read("Config/DefaultGame.ini"),
		SectionHeader +
			"\nPort=5000\nAddress=0.0.0.0\nbAutoLens=True\nbAutoRecord=False\nGain=1.5\nRevision=3\nInternal=internal\n\n[Other]\nA=1\n");
}

TEST_F(SettingsPersistence, SavingKeepsWhatWasAddedToTheFileAfterLoading)
{
	std::unique_ptr<USettingsTestSettings> Settings = Load();
	Project.Write("Config/DefaultGame.ini", "; added by hand\n[Other]\nA=1\n");
	Settings->bAutoRecord = true;

	ASSERT_TRUE(FConfigTesting::TryUpdateDefaultConfigFile(*Settings));

	EXPECT_EQ(Project.Read("Config/DefaultGame.ini").rfind("; added by hand\n[Other]\nA=1\n\n" + SectionHeader + "\n", 0), 0u);
	EXPECT_TRUE(Load()->bAutoRecord);
}

TEST_F(SettingsPersistence, TextThatWouldBreakTheLineSurvivesSaving)
{
	std::unique_ptr<USettingsTestSettings> Settings = Load();
	Settings->Address = TEXT(" two\nlines \"and quotes\" ");
	Settings->Internal = TEXT("\"");

	ASSERT_TRUE(FConfigTesting::TryUpdateDefaultConfigFile(*Settings));

	const std::unique_ptr<USettingsTestSettings> Reloaded = Load();
	EXPECT_EQ(Reloaded->Address.ToUtf8(), " two\nlines \"and quotes\" ");
	EXPECT_EQ(Reloaded->Internal.ToUtf8(), "\"");
}

TEST_F(SettingsPersistence, FailedSaveLeavesTheFileAsItWas)
{
	Project.Write("Config/DefaultGame.ini", SectionHeader + "\nPort=9001\n");
	std::filesystem::create_directories(Project.Path("Config/DefaultGame.ini.tmp"));
	std::unique_ptr<USettingsTestSettings> Settings = Load();
	Settings->Port = 1;

	EXPECT_FALSE(FConfigTesting::TryUpdateDefaultConfigFile(*Settings));

	EXPECT_EQ(Project.Read("Config/DefaultGame.ini"), SectionHeader + "\nPort=9001\n");
}

TEST_F(SettingsPersistence, PerUserValuesLayerOverTheProjectsAndSaveApart)
{
	Project.Write("Config/DefaultEditor.ini", "[/Script/SettingsTests.PerUserTestSettings]\nCount=2\n");
	std::unique_ptr<UPerUserTestSettings> Settings(NewObject<UPerUserTestSettings>());
	Settings->LoadConfig();
	EXPECT_EQ(Settings->Count, 2);

	Project.Write("Saved/Config/Editor.ini", "[/Script/SettingsTests.PerUserTestSettings]\nCount=3\n");
	Settings->LoadConfig();
	EXPECT_EQ(Settings->Count, 3);

	Settings->Count = 4;
	ASSERT_TRUE(FConfigTesting::TrySaveConfig(*Settings));
	EXPECT_EQ(Project.Read("Saved/Config/Editor.ini"), "[/Script/SettingsTests.PerUserTestSettings]\nCount=4\n");
	EXPECT_EQ(Project.Read("Config/DefaultEditor.ini"), "[/Script/SettingsTests.PerUserTestSettings]\nCount=2\n");
}

TEST_F(SettingsPersistence, DefaultObjectReadsTheProjectWhenCreated)
{
	Project.Write("Config/DefaultGame.ini", "[/Script/SettingsTests.StartupTestSettings]\nValue=42\n");

	EXPECT_EQ(GetDefault<UStartupTestSettings>()->Value, 42);
	EXPECT_EQ(UStartupTestSettings::StaticClass()->GetDefaultObject(true), GetMutableDefault<UStartupTestSettings>());
}
