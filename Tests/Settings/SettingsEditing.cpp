#include "SettingsEditor.h"
#include "SettingsModule.h"
#include "SettingsTestSupport.h"
#include "SettingsTestTypes.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace
{
class SettingsEditing : public ::testing::Test
{
protected:
	SettingsEditing()
	{
		Module.GetContainer("Project")->DescribeCategory("Plugins", FText::FromString(TEXT("Plug-ins")), FText());
		Section = Module.RegisterSettings("Project", "Plugins", "Tavrix", FText::FromString(TEXT("Tavrix")), FText(), Settings.get());
	}

	/** SetPropertyValue's result, with its error text. */
	bool Set(const char* Property, const char* Value, std::string* OutError = nullptr)
	{
		FText Error;
		const bool bSet = FSettingsEditor::SetPropertyValue(*Section, FName(Property), FString::FromUtf8(Value), Error);
		if (OutError != nullptr)
		{
			*OutError = Error.ToString().ToUtf8();
		}
		return bSet;
	}

	FTemporaryProject Project;
	FSettingsModule Module;
	std::unique_ptr<USettingsTestSettings> Settings{NewObject<USettingsTestSettings>()};
	ISettingsSectionPtr Section;
};
} // namespace

TEST_F(SettingsEditing, ListsSectionsWithWhatTheyShow)
{
	const TArray<FSettingsSectionInfo> Sections = FSettingsEditor::ListSections(Module);

	ASSERT_EQ(Sections.Num(), 1);
	EXPECT_EQ(Sections[0].ContainerName, FName("Project"));
	EXPECT_EQ(Sections[0].CategoryName, FName("Plugins"));
	EXPECT_EQ(Sections[0].CategoryDisplayName.ToString().ToUtf8(), "Plug-ins");
	EXPECT_EQ(Sections[0].Section, Section);
	const TArray<FSettingsPropertyInfo>& Properties = Sections[0].Properties;
	ASSERT_EQ(Properties.Num(), 7);
	const char* Expected[][3] = {{"Address", "FString", "0.0.0.0"}, {"Port", "int32", "9001"}, {"bAutoLens", "bool", "True"},
		{"bAutoRecord", "bool", "False"}, {"Gain", "float", "1.5"}, {"Revision", "int32", "3"}, {"Scratch", "int32", "0"}};
	for (int32 Index = 0; Index < Properties.Num(); ++Index)
	{
		EXPECT_EQ(Properties[Index].Name.ToString().ToUtf8(), Expected[Index][0]);
		EXPECT_EQ(Properties[Index].TypeName.ToUtf8(), Expected[Index][1]);
		EXPECT_EQ(Properties[Index].Value.ToUtf8(), Expected[Index][2]);
	}
	EXPECT_EQ(Properties[0].Category.ToUtf8(), "Network");
	EXPECT_EQ(Properties[1].ToolTip.ToString().ToUtf8(), "Port to listen on");
	EXPECT_TRUE(Properties[1].bEditable);
	EXPECT_FALSE(Properties[5].bEditable);
}

TEST_F(SettingsEditing, SectionWhoseObjectIsGoneListsNoProperties)
{
	Settings.reset();

	const TArray<FSettingsSectionInfo> Sections = FSettingsEditor::ListSections(Module);

	ASSERT_EQ(Sections.Num(), 1);
	EXPECT_TRUE(Sections[0].Properties.IsEmpty());
}

TEST_F(SettingsEditing, FindsSectionsByTheirThreeNames)
{
	EXPECT_EQ(FSettingsEditor::FindSection(Module, "project", "plugins", "TAVRIX"), Section);
	EXPECT_FALSE(FSettingsEditor::FindSection(Module, "Project", "Plugins", "Other").IsValid());
	EXPECT_FALSE(FSettingsEditor::FindSection(Module, "Nowhere", "Plugins", "Tavrix").IsValid());
}

TEST_F(SettingsEditing, ValueSetFromTextIsStoredAndSaved)
{
	EXPECT_TRUE(Set("port", " 5000 "));
	EXPECT_TRUE(Set("bAutoRecord", "true"));
	EXPECT_TRUE(Set("Address", "studio-host.local"));

	EXPECT_EQ(Settings->Port, 5000);
	EXPECT_TRUE(Settings->bAutoRecord);
	EXPECT_EQ(Project.Read("Config/DefaultGame.ini"),
		"[/Script/SettingsTests.SettingsTestSettings]\nAddress=studio-host.local\n"
		"Port=5000\nbAutoLens=True\nbAutoRecord=True\nGain=1.5\nRevision=3\nInternal=internal\n");
}

TEST_F(SettingsEditing, UnparsableNumberOrFlagChangesNothing)
{
	std::string Error;
	EXPECT_FALSE(Set("Port", "50OO", &Error));
	EXPECT_EQ(Error, "Port was not changed: \"50OO\" is not a whole decimal number.");
	EXPECT_FALSE(Set("bAutoLens", "maybe", &Error));
	EXPECT_NE(Error.find("bAutoLens was not changed: \"maybe\" is not a bool"), std::string::npos) << Error;

	EXPECT_EQ(Settings->Port, 9001);
	EXPECT_TRUE(Settings->bAutoLens);
	EXPECT_EQ(Project.Read("Config/DefaultGame.ini"), "<missing>");
}

TEST_F(SettingsEditing, UnknownHiddenAndReadOnlySettingsAreRefused)
{
	std::string Error;
	EXPECT_FALSE(Set("Missing", "1", &Error));
	EXPECT_EQ(Error, "Section Tavrix has no setting named Missing.");
	EXPECT_FALSE(Set("Internal", "changed", &Error));
	EXPECT_EQ(Error, "Section Tavrix has no setting named Internal.");
	EXPECT_FALSE(Set("Revision", "4", &Error));
	EXPECT_EQ(Error, "Revision in section Tavrix is read-only.");

	EXPECT_EQ(Settings->Internal.ToUtf8(), "internal");
	EXPECT_EQ(Settings->Revision, 3);
}

TEST_F(SettingsEditing, RefusedChangeIsRolledBack)
{
	int32 SeenPort = 0;
	Section->OnModified().BindLambda([&]() {
		SeenPort = Settings->Port;
		return false;
	});
	std::string Error;

	EXPECT_FALSE(Set("Port", "5000", &Error));

	EXPECT_EQ(SeenPort, 5000);
	EXPECT_EQ(Settings->Port, 9001);
	EXPECT_EQ(Error, "The change to Port was refused by the owner of section Tavrix; it keeps 9001.");
	EXPECT_EQ(Project.Read("Config/DefaultGame.ini"), "<missing>");
}

TEST_F(SettingsEditing, ChangeThatCannotBeWrittenIsRolledBack)
{
	std::filesystem::create_directories(Project.Path("Config/DefaultGame.ini.tmp"));
	std::string Error;

	EXPECT_FALSE(Set("Gain", "0.1", &Error));

	EXPECT_EQ(Settings->Gain, 1.5f);
	EXPECT_NE(Error.find("The change to Gain could not be saved to "), std::string::npos) << Error;
	EXPECT_NE(Error.find("DefaultGame.ini (the log says why); it keeps 1.5."), std::string::npos) << Error;
}

TEST_F(SettingsEditing, ScratchSettingIsNeverStored)
{
	EXPECT_TRUE(Set("Scratch", "12"));

	EXPECT_EQ(Settings->Scratch, 12);
	EXPECT_EQ(Project.Read("Config/DefaultGame.ini").find("Scratch"), std::string::npos);
}
