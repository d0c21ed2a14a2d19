#include "EditorTestSupport.h"

#include "ISettingsContainer.h"
#include "LogCapture.h"
#include "Modules/ModuleManager.h"
#include "SettingsEditor.h"
#include "SettingsModule.h"

#include <gtest/gtest.h>

extern "C" IModuleInterface* InitializeModule();

namespace
{
/** The editor's settings module, loaded for the test's lifetime. */
class FScopedSettingsModule
{
public:
	FScopedSettingsModule()
		: Module(static_cast<ISettingsModule*>(FModuleManager::Get().AddModule("Settings", MakeUnique<FSettingsModule>())))
	{
	}
	~FScopedSettingsModule() { FModuleManager::Get().UnloadModule("Settings"); }
	ISettingsModule& operator*() const { return *Module; }
	ISettingsModule* Module;
};

ISettingsSectionPtr FindTavrixSection(const ISettingsModule& Module)
{
	return FSettingsEditor::FindSection(Module, "Project", "Plugins", "Tavrix");
}

TEST(ModuleStartup, StartupShowsTheSettingsUnderProjectPlugins)
{
	FScopedProject Project;
	FScopedSettingsModule Settings;
	TUniquePtr<IModuleInterface> Module(InitializeModule());
	Module->StartupModule();

	const ISettingsSectionPtr Section = FindTavrixSection(*Settings);
	ASSERT_TRUE(Section.IsValid());
	EXPECT_EQ(Section->GetDisplayName().ToString().ToUtf8(), "Tavrix");
	EXPECT_EQ(Section->GetDescription().ToString().ToUtf8(), "Default configuration for the Halvecor Tavrix - Live Link Plugin");
	EXPECT_EQ(FTextInspector::GetNamespace(Section->GetDisplayName()).ToUtf8(), "FTavrixLiveLinkModule");
	EXPECT_EQ(Section->GetSettingsObject().Get(), FScopedProject::Settings());

	const ISettingsCategoryPtr Category = (*Settings).GetContainer("Project")->GetCategory("Plugins");
	ASSERT_TRUE(Category.IsValid());
	// The shared category keeps the settings module's own texts: they describe every plug-in's section.
	EXPECT_EQ(Category->GetDisplayName().ToString().ToUtf8(), "Plugins");
	EXPECT_EQ(Category->GetDescription().ToString().ToUtf8(), "Configure the plug-ins of the current project.");

	const TArray<FSettingsPropertyInfo> Properties = FSettingsEditor::ListProperties(*Section);
	const char* Names[] = {"NetworkServerAddressByDefault", "NetworkPortIdByDefault", "bAutoLens", "bAutoSceneTakeUpdate", "bAutoRecord"};
	const char* ToolTips[] = {"Specify a default network server address", "Specify a default network port index for a Tavrix Camera",
		"auto update the lens settings", "auto update the scene/ take settings", "auto start / stop recording"};
	ASSERT_EQ(Properties.Num(), 5);
	for (int32 Index = 0; Index < 5; ++Index)
	{
		EXPECT_EQ(Properties[Index].Name.ToString().ToUtf8(), Names[Index]);
		EXPECT_EQ(Properties[Index].ToolTip.ToString().ToUtf8(), ToolTips[Index]);
		EXPECT_EQ(Properties[Index].Category.ToUtf8(), "Tavrix");
	}

	Module->ShutdownModule();
	EXPECT_FALSE(FindTavrixSection(*Settings).IsValid());
}

TEST(ModuleStartup, SectionTextsAreLocalisableUnderTheModuleNamespace)
{
	FScopedProject Project;
	FScopedSettingsModule Settings;
	TUniquePtr<IModuleInterface> Module(InitializeModule());
	Module->StartupModule();
	const ISettingsSectionPtr Section = FindTavrixSection(*Settings);
	ASSERT_TRUE(Section.IsValid());

	const std::pair<FText, const char*> TextsAndKeys[] = {
		{Section->GetDisplayName(), "RuntimeGeneralSettingsName"}, {Section->GetDescription(), "RuntimeGeneralSettingsDescription"}};
	for (const auto& [Text, Key] : TextsAndKeys)
	{
		EXPECT_EQ(FTextInspector::GetNamespace(Text).ToUtf8(), "FTavrixLiveLinkModule") << Key;
		EXPECT_EQ(FTextInspector::GetKey(Text).ToUtf8(), Key);
	}
	Module->ShutdownModule();
}

TEST(ModuleStartup, WithoutTheSettingsModuleNothingIsRegisteredAndNothingLogged)
{
	FLogCapture Log;
	TUniquePtr<IModuleInterface> Module(InitializeModule());
	Module->StartupModule();
	Module->ShutdownModule();
	EXPECT_TRUE(Log.GetLines().empty());
	EXPECT_NE(GetDefault<UTavrixLiveLinkRuntimeSettings>(), nullptr) << "the settings object exists all the same";
}

TEST(ModuleStartup, ShutdownUnregistersEvenWhenStartupRegisteredNothing)
{
	FScopedSettingsModule Settings;
	(*Settings).RegisterSettings("Project", "Plugins", "Tavrix", FText::FromString(TEXT("x")), FText::FromString(TEXT("y")),
		GetMutableDefault<UTavrixLiveLinkRuntimeSettings>());
	TUniquePtr<IModuleInterface> Module(InitializeModule());
	Module->ShutdownModule();
	EXPECT_FALSE(FindTavrixSection(*Settings).IsValid());
}

TEST(ModuleStartup, ChangesAreAcceptedAsTheyAreAndSaved)
{
	FScopedProject Project;
	FScopedSettingsModule Settings;
	TUniquePtr<IModuleInterface> Module(InitializeModule());
	Module->StartupModule();
	const ISettingsSectionPtr Section = FindTavrixSection(*Settings);
	ASSERT_TRUE(Section.IsValid());

	FScopedProject::Settings()->NetworkPortIdByDefault = -42; // nonsense, but never refused
	EXPECT_TRUE(Section->OnModified().Execute());
	EXPECT_EQ(FScopedProject::Settings()->NetworkPortIdByDefault, -42);

	FText Error;
	ASSERT_TRUE(FSettingsEditor::SetPropertyValue(*Section, "bAutoRecord", TEXT("True"), Error)) << Error.ToString().ToUtf8();
	EXPECT_TRUE(FScopedProject::Settings()->bAutoRecord);
	const std::string Saved = Project.ReadConfig();
	EXPECT_NE(Saved.find("[/Script/TavrixLiveLink.TavrixLiveLinkRuntimeSettings]"), std::string::npos) << Saved;
	EXPECT_NE(Saved.find("bAutoRecord=True"), std::string::npos) << Saved;
	Module->ShutdownModule();
}
} // namespace
