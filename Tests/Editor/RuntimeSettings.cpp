#include "EditorTestSupport.h"
#include "UObject/ConfigTesting.h"

#include <gtest/gtest.h>

namespace
{
TEST(RuntimeSettings, ClassIsAGameConfigurationClassWithFiveProperties)
{
	UClass* Class = UTavrixLiveLinkRuntimeSettings::StaticClass();
	EXPECT_EQ(Class->GetName().ToUtf8(), "TavrixLiveLinkRuntimeSettings");
	EXPECT_EQ(Class->GetPathName().ToUtf8(), "/Script/TavrixLiveLink.TavrixLiveLinkRuntimeSettings");
	EXPECT_EQ(FString(UTavrixLiveLinkRuntimeSettings::StaticConfigName()).ToUtf8(), "Game");
	EXPECT_EQ(FString(UTavrixLiveLinkRuntimeSettings::StaticPackage()).ToUtf8(), "/Script/TavrixLiveLink");
	EXPECT_TRUE(Class->HasAnyClassFlags(CLASS_Config));
	EXPECT_TRUE(Class->HasAnyClassFlags(CLASS_DefaultConfig));
	int32 ConfigProperties = 0;
	for (const FProperty& Property : Class->GetProperties())
	{
		ConfigProperties += Property.HasAnyPropertyFlags(CPF_Config) ? 1 : 0;
	}
	EXPECT_EQ(ConfigProperties, 5);
}

TEST(RuntimeSettings, ClassToolTipSaysWhatItIsFor)
{
	EXPECT_EQ(UTavrixLiveLinkRuntimeSettings::StaticClass()->GetToolTipText().ToString().ToUtf8(),
		"Implements the settings Tavrix Live Link plugin.");
}

TEST(RuntimeSettings, AProjectWithoutTheSectionKeepsTheDefaults)
{
	FScopedProject Project;
	Project.WriteConfig("[/Script/Engine.Other]\nbAutoRecord=True\n");
	FScopedProject::Settings()->LoadConfig();
	const UTavrixLiveLinkRuntimeSettings* Settings = FScopedProject::Settings();
	EXPECT_EQ(Settings->NetworkServerAddressByDefault.ToUtf8(), "0.0.0.0");
	EXPECT_EQ(Settings->NetworkPortIdByDefault, 9001);
	EXPECT_TRUE(Settings->bAutoLens);
	EXPECT_TRUE(Settings->bAutoSceneTakeUpdate);
	EXPECT_FALSE(Settings->bAutoRecord);
}

TEST(RuntimeSettings, ASectionWithSomeKeysOverridesOnlyThose)
{
	FScopedProject Project;
	Project.WriteConfig("[/Script/TavrixLiveLink.TavrixLiveLinkRuntimeSettings]\nNetworkPortIdByDefault=70000\nbAutoLens=False\n");
	FScopedProject::Settings()->LoadConfig();
	const UTavrixLiveLinkRuntimeSettings* Settings = FScopedProject::Settings();
	EXPECT_EQ(Settings->NetworkPortIdByDefault, 70000) << "stored unchanged, out of range or not";
	EXPECT_FALSE(Settings->bAutoLens);
	EXPECT_EQ(Settings->NetworkServerAddressByDefault.ToUtf8(), "0.0.0.0");
	EXPECT_TRUE(Settings->bAutoSceneTakeUpdate);
	EXPECT_FALSE(Settings->bAutoRecord);
	EXPECT_EQ(FPanelUnderTest().EndpointText(), "0.0.0.0:4464");
}

TEST(RuntimeSettings, SavingRewritesOnlyItsOwnLines)
{
	FScopedProject Project;
	const std::string Before = "; project settings\r\n[/Script/Engine.GameSettings]\r\nSomething=1\r\n\r\n"
							   "[/Script/TavrixLiveLink.TavrixLiveLinkRuntimeSettings]\r\n; keep me\r\nbAutoRecord=False\r\n"
							   "NetworkServerAddressByDefault=10.0.0.5\r\n\r\n[Other]\r\nKey = Value  \r\n";
	Project.WriteConfig(Before);
	FScopedProject::Settings()->LoadConfig();
	EXPECT_EQ(FScopedProject::Settings()->NetworkServerAddressByDefault.ToUtf8(), "10.0.0.5");

	FScopedProject::Settings()->bAutoRecord = true;
	ASSERT_TRUE(FConfigTesting::TryUpdateDefaultConfigFile(*FScopedProject::Settings()));
	const std::string After = Project.ReadConfig();
	std::string Expected = Before;
	Expected.replace(Expected.find("bAutoRecord=False"), 17, "bAutoRecord=True");
	// Keys that were missing are added at the end of the section; nothing else moves.
	ASSERT_GE(After.size(), Expected.size());
	EXPECT_EQ(After.substr(0, Expected.find("NetworkServerAddressByDefault=10.0.0.5\r\n") + 40),
		Expected.substr(0, Expected.find("NetworkServerAddressByDefault=10.0.0.5\r\n") + 40));
	EXPECT_NE(After.find("NetworkPortIdByDefault=9001\r\n"), std::string::npos);
	EXPECT_NE(After.find("bAutoLens=True\r\n"), std::string::npos);
	const std::string Tail = "\r\n\r\n[Other]\r\nKey = Value  \r\n";
	EXPECT_EQ(After.substr(After.size() - Tail.size()), Tail);
}
} // namespace
