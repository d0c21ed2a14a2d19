#include "ISettingsModule.h"
#include "LogCapture.h"
#include "SettingsModule.h"
#include "SettingsTestSupport.h"
#include "SettingsTestTypes.h"

#include <gtest/gtest.h>

#include <memory>

namespace
{
class SettingsSectionSave : public ::testing::Test
{
protected:
	FTemporaryProject Project;
	FSettingsModule Module;
	std::unique_ptr<USettingsTestSettings> Settings{NewObject<USettingsTestSettings>()};
	ISettingsSectionPtr Section = Module.RegisterSettings("Project", "Plugins", "Tavrix", FText(), FText(), Settings.get());
};
} // namespace

TEST_F(SettingsSectionSave, UnboundHandlerAcceptsAndTheDefaultFileIsWritten)
{
	Settings->Port = 5000;

	EXPECT_TRUE(Section->Save());

	EXPECT_NE(Project.Read("Config/DefaultGame.ini").find("\nPort=5000\n"), std::string::npos);
}

TEST_F(SettingsSectionSave, AcceptingHandlerIsCalledOnceAndSeesTheChange)
{
	int32 Calls = 0;
	int32 SeenPort = 0;
	Section->OnModified().BindLambda([&]() {
		++Calls;
		SeenPort = Settings->Port;
		return true;
	});
	Settings->Port = 5000;

	EXPECT_TRUE(Section->Save());

	EXPECT_EQ(Calls, 1);
	EXPECT_EQ(SeenPort, 5000);
	EXPECT_NE(Project.Read("Config/DefaultGame.ini").find("\nPort=5000\n"), std::string::npos);
}

TEST_F(SettingsSectionSave, RefusingHandlerPreventsTheSave)
{
	Project.Write("Config/DefaultGame.ini", "; untouched\n");
	int32 Calls = 0;
	Section->OnModified().BindLambda([&Calls]() {
		++Calls;
		return false;
	});
	Settings->Port = 5000;

	EXPECT_FALSE(Section->Save());

	EXPECT_EQ(Calls, 1);
	EXPECT_EQ(Project.Read("Config/DefaultGame.ini"), "; untouched\n");
}

TEST_F(SettingsSectionSave, SectionWhoseObjectIsGoneSavesNothing)
{
	Settings.reset();
	FLogCapture Log;

	EXPECT_FALSE(Section->Save());

	EXPECT_FALSE(Section->GetSettingsObject().IsValid());
	EXPECT_EQ(Project.Read("Config/DefaultGame.ini"), "<missing>");
	EXPECT_EQ(Log.GetLines().size(), 1u);
}

TEST_F(SettingsSectionSave, PerUserSettingsSaveToTheUsersFile)
{
	std::unique_ptr<UPerUserTestSettings> PerUser(NewObject<UPerUserTestSettings>());
	const ISettingsSectionPtr UserSection = Module.RegisterSettings("Editor", "General", "Counts", FText(), FText(), PerUser.get());
	PerUser->Count = 7;

	EXPECT_TRUE(UserSection->Save());

	EXPECT_EQ(Project.Read("Saved/Config/Editor.ini"), "[/Script/SettingsTests.PerUserTestSettings]\nCount=7\n");
	EXPECT_EQ(Project.Read("Config/DefaultEditor.ini"), "<missing>");
}

namespace
{
/** Binds its handler the way a plug-in module does: a raw member function returning bool. */
class FModuleLikeOwner
{
public:
	bool HandleSettingsModified()
	{
		++Calls;
		return true;
	}
	int32 Calls = 0;
};
} // namespace

TEST_F(SettingsSectionSave, MemberFunctionHandlerBoundRawAccepts)
{
	FModuleLikeOwner Owner;
	Section->OnModified().BindRaw(&Owner, &FModuleLikeOwner::HandleSettingsModified);

	EXPECT_TRUE(Section->Save());

	EXPECT_EQ(Owner.Calls, 1);
	EXPECT_NE(Project.Read("Config/DefaultGame.ini"), "<missing>");
}
