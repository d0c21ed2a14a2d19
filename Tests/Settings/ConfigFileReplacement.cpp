#include "LogCapture.h"
#include "Misc/ConfigCacheIni.h"
#include "SettingsTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

namespace
{
bool LoggedConfigError(const FLogCapture& Log, const std::string& Fragment)
{
	for (const FLogCapture::FLine& Line : Log.GetLines())
	{
		if (Line.Category == "LogConfig" && Line.Verbosity == ELogVerbosity::Error && Line.Text.find(Fragment) != std::string::npos)
		{
			return true;
		}
	}
	return false;
}

FConfigFile ChangedFile(const FTemporaryProject& Project)
{
	FConfigFile File;
	EXPECT_TRUE(File.Read(Project.File("Config/DefaultGame.ini")));
	File.SetString(TEXT("S"), TEXT("K"), TEXT("new"));
	return File;
}
} // namespace

TEST(ConfigFileReplacement, FailedWriteLeavesTheOldFileIntact)
{
	FTemporaryProject Project;
	Project.Write("Config/DefaultGame.ini", "[S]\nK=old\n");
	const FConfigFile File = ChangedFile(Project);
	// A folder where the temporary file must go stops every writer, root included.
	std::filesystem::create_directories(Project.Path("Config/DefaultGame.ini.tmp/occupied"));
	FLogCapture Log;

	EXPECT_FALSE(File.Write(Project.File("Config/DefaultGame.ini")));

	EXPECT_EQ(Project.Read("Config/DefaultGame.ini"), "[S]\nK=old\n");
	EXPECT_TRUE(std::filesystem::exists(Project.Path("Config/DefaultGame.ini.tmp/occupied")));
	EXPECT_TRUE(LoggedConfigError(Log, "DefaultGame.ini"));
}

TEST(ConfigFileReplacement, SuccessfulWriteLeavesNoTemporaryFile)
{
	FTemporaryProject Project;
	Project.Write("Config/DefaultGame.ini", "[S]\nK=old\n");

	EXPECT_TRUE(ChangedFile(Project).Write(Project.File("Config/DefaultGame.ini")));

	EXPECT_EQ(Project.Read("Config/DefaultGame.ini"), "[S]\nK=new\n");
	EXPECT_FALSE(std::filesystem::exists(Project.Path("Config/DefaultGame.ini.tmp")));
}

TEST(ConfigFileReplacement, CreatesTheConfigFolderWhenMissing)
{
	FTemporaryProject Project;

	EXPECT_TRUE(ChangedFile(Project).Write(Project.File("Config/DefaultGame.ini")));

	EXPECT_EQ(Project.Read("Config/DefaultGame.ini"), "[S]\nK=new\n");
}

TEST(ConfigFileReplacement, FolderBlockedByAFileFailsCleanly)
{
	FTemporaryProject Project;
	Project.Write("Config", "not a folder");
	FLogCapture Log;

	EXPECT_FALSE(ChangedFile(Project).Write(Project.File("Config/DefaultGame.ini")));

	EXPECT_EQ(Project.Read("Config"), "not a folder");
	EXPECT_TRUE(LoggedConfigError(Log, "cannot create its folder"));
}

TEST(ConfigFileReplacement, KeepsTheFilesPermissions)
{
	FTemporaryProject Project;
	Project.Write("Config/DefaultGame.ini", "[S]\nK=old\n");
	::chmod(Project.DefaultGameIni().c_str(), 0600);

	ASSERT_TRUE(ChangedFile(Project).Write(Project.File("Config/DefaultGame.ini")));

	struct stat Status;
	ASSERT_EQ(::stat(Project.DefaultGameIni().c_str(), &Status), 0);
	EXPECT_EQ(Status.st_mode & 07777, 0600u);
}

TEST(ConfigFileReplacement, SymbolicLinkStaysALinkToTheReplacedFile)
{
	FTemporaryProject Project;
	Project.Write("Shared/Game.ini", "[S]\nK=old\n");
	std::filesystem::create_directories(Project.Path("Config"));
	std::filesystem::create_symlink("../Shared/Game.ini", Project.DefaultGameIni());

	ASSERT_TRUE(ChangedFile(Project).Write(Project.File("Config/DefaultGame.ini")));

	EXPECT_TRUE(std::filesystem::is_symlink(Project.DefaultGameIni()));
	EXPECT_EQ(Project.Read("Shared/Game.ini"), "[S]\nK=new\n");
}

TEST(ConfigFileReplacement, FileThatCannotBeReadIsNeverOverwritten)
{
	FTemporaryProject Project;
	std::filesystem::create_directories(Project.Path("Config/DefaultGame.ini"));
	FLogCapture Log;

	FConfigFile File;
	EXPECT_FALSE(File.Read(Project.File("Config/DefaultGame.ini")));
	EXPECT_TRUE(File.IsNoSave());
	File.SetString(TEXT("S"), TEXT("K"), TEXT("new"));

	EXPECT_FALSE(File.Write(Project.File("Config/DefaultGame.ini")));
	EXPECT_TRUE(std::filesystem::is_directory(Project.DefaultGameIni()));
	EXPECT_TRUE(LoggedConfigError(Log, "could not be read"));
}

TEST(ConfigFileReplacement, Utf16FileIsNeitherReadNorOverwritten)
{
	FTemporaryProject Project;
	const std::string Utf16("\xFF\xFE[\0S\0]\0\n\0", 10);
	Project.Write("Config/DefaultGame.ini", Utf16);

	FConfigFile File;
	EXPECT_FALSE(File.Read(Project.File("Config/DefaultGame.ini")));
	File.SetString(TEXT("S"), TEXT("K"), TEXT("new"));

	EXPECT_FALSE(File.Write(Project.File("Config/DefaultGame.ini")));
	EXPECT_EQ(Project.Read("Config/DefaultGame.ini"), Utf16);
}
