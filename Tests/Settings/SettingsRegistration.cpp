#include "ISettingsModule.h"
#include "LogCapture.h"
#include "Modules/ModuleManager.h"
#include "SettingsEditor.h"
#include "SettingsModule.h"
#include "SettingsTestTypes.h"

#include <gtest/gtest.h>

#include <memory>

#define LOCTEXT_NAMESPACE "SettingsRegistration"

namespace
{
class SettingsRegistration : public ::testing::Test
{
protected:
	ISettingsSectionPtr RegisterTavrix()
	{
		return Module.RegisterSettings("Project", "Plugins", "Tavrix", LOCTEXT("SectionName", "Tavrix"),
			LOCTEXT("SectionDescription", "Default configuration"), Settings.get());
	}

	FSettingsModule Module;
	std::unique_ptr<USettingsTestSettings> Settings{NewObject<USettingsTestSettings>()};
};
} // namespace

TEST_F(SettingsRegistration, StartsWithTheProjectAndEditorContainers)
{
	TArray<FName> Names;
	Module.GetContainerNames(Names);

	EXPECT_EQ(Names.Num(), 2);
	EXPECT_TRUE(Names.Contains(FName("Project")));
	EXPECT_TRUE(Names.Contains(FName("Editor")));
	ASSERT_TRUE(Module.GetContainer("project").IsValid());
	EXPECT_EQ(Module.GetContainer("project")->GetDisplayName().ToString().ToUtf8(), "Project");
	EXPECT_FALSE(Module.GetContainer("Nowhere").IsValid());
}

TEST_F(SettingsRegistration, RegisteredSectionIsFoundUnderItsDescribedCategory)
{
	Module.GetContainer("Project")->DescribeCategory(
		"Plugins", LOCTEXT("CategoryName", "Plugins"), LOCTEXT("CategoryDescription", "Plug-ins"));

	const ISettingsSectionPtr Section = RegisterTavrix();

	ASSERT_TRUE(Section.IsValid());
	const ISettingsCategoryPtr Category = Module.GetContainer("Project")->GetCategory("Plugins");
	ASSERT_TRUE(Category.IsValid());
	EXPECT_EQ(Category->GetDescription().ToString().ToUtf8(), "Plug-ins");
	EXPECT_EQ(Category->GetSection("tavrix"), Section);
	EXPECT_EQ(Section->GetCategory().Pin(), Category);
	EXPECT_EQ(Section->GetDisplayName().ToString().ToUtf8(), "Tavrix");
	EXPECT_EQ(FTextInspector::GetNamespace(Section->GetDescription()).ToUtf8(), "SettingsRegistration");
	EXPECT_EQ(Section->GetSettingsObject().Get(), Settings.get());
}

TEST_F(SettingsRegistration, CategoryWithoutTextsShowsItsName)
{
	RegisterTavrix();

	EXPECT_EQ(Module.GetContainer("Project")->GetCategory("Plugins")->GetDisplayName().ToString().ToUtf8(), "Plugins");
}

TEST_F(SettingsRegistration, RegisteringWithoutAnObjectGivesNoSection)
{
	FLogCapture Log;

	const ISettingsSectionPtr Section = Module.RegisterSettings("Project", "Plugins", "Tavrix", FText(), FText(), nullptr);

	EXPECT_FALSE(Section.IsValid());
	EXPECT_FALSE(FSettingsEditor::FindSection(Module, "Project", "Plugins", "Tavrix").IsValid());
	ASSERT_EQ(Log.GetLines().size(), 1u);
	EXPECT_EQ(Log.GetLines()[0].Verbosity, ELogVerbosity::Warning);
}

TEST_F(SettingsRegistration, RegisteringTheSameNamesAgainReplacesTheSection)
{
	const ISettingsSectionPtr First = RegisterTavrix();
	const ISettingsSectionPtr Second = RegisterTavrix();

	TArray<ISettingsSectionPtr> Sections;
	EXPECT_EQ(Module.GetContainer("Project")->GetCategory("Plugins")->GetSections(Sections), 1);
	EXPECT_EQ(Sections[0], Second);
	EXPECT_NE(First, Second);
}

TEST_F(SettingsRegistration, UnregisteringRemovesOnlyThatSection)
{
	RegisterTavrix();
	Module.RegisterSettings("Project", "Plugins", "Other", FText(), FText(), Settings.get());

	Module.UnregisterSettings("Project", "Plugins", "Tavrix");

	const ISettingsCategoryPtr Category = Module.GetContainer("Project")->GetCategory("Plugins");
	EXPECT_FALSE(Category->GetSection("Tavrix").IsValid());
	EXPECT_TRUE(Category->GetSection("Other").IsValid());
}

TEST_F(SettingsRegistration, UnregisteringWhatIsNotRegisteredDoesNothing)
{
	RegisterTavrix();

	Module.UnregisterSettings("Project", "Plugins", "Missing");
	Module.UnregisterSettings("Project", "Missing", "Tavrix");
	Module.UnregisterSettings("Missing", "Plugins", "Tavrix");

	EXPECT_TRUE(Module.GetContainer("Project")->GetCategory("Plugins")->GetSection("Tavrix").IsValid());
}

TEST_F(SettingsRegistration, RegisteringInAnUnknownContainerCreatesIt)
{
	Module.RegisterSettings("Studio", "Plugins", "Tavrix", FText(), FText(), Settings.get());

	ASSERT_TRUE(Module.GetContainer("Studio").IsValid());
	EXPECT_TRUE(Module.GetContainer("Studio")->GetCategory("Plugins")->GetSection("Tavrix").IsValid());
}

TEST(SettingsModuleLookup, IsFoundByNameOnceTheHostAddsIt)
{
	EXPECT_EQ(FModuleManager::GetModulePtr<ISettingsModule>("Settings"), nullptr);

	IModuleInterface* Added = FModuleManager::Get().AddModule("Settings", MakeUnique<FSettingsModule>());
	ISettingsModule* Found = FModuleManager::GetModulePtr<ISettingsModule>("Settings");

	EXPECT_EQ(static_cast<IModuleInterface*>(Found), Added);
	ASSERT_NE(Found, nullptr);
	EXPECT_TRUE(Found->GetContainer("Project").IsValid());
	EXPECT_TRUE(FModuleManager::Get().UnloadModule("Settings"));
}

#undef LOCTEXT_NAMESPACE
