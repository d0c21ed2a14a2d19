#include "Misc/Paths.h"
#include "SettingsTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

TEST(ProjectPaths, FoldersHangOffTheProjectFolder)
{
	FTemporaryProject Project;
	const std::string Root = std::filesystem::path(Project.Path("")).generic_string();

	EXPECT_EQ(FPaths::ProjectDir().ToUtf8(), Root);
	EXPECT_EQ(FPaths::ProjectConfigDir().ToUtf8(), Root + "Config/");
	EXPECT_EQ(FPaths::ProjectSavedDir().ToUtf8(), Root + "Saved/");
}

TEST(ProjectPaths, RelativeFolderIsMadeAbsoluteAndNormal)
{
	FTemporaryProject Project;
	const std::string Current = std::filesystem::current_path().generic_string();

	FPaths::SetProjectDir(TEXT("Game/../Studio/./Project"));

	EXPECT_EQ(FPaths::ProjectDir().ToUtf8(), Current + "/Studio/Project/");
}

TEST(ProjectPaths, EmptyFolderMeansTheCurrentOne)
{
	FTemporaryProject Project;

	FPaths::SetProjectDir(FString());

	EXPECT_EQ(FPaths::ProjectDir().ToUtf8(), std::filesystem::current_path().generic_string() + "/");
}

TEST(ProjectPaths, CombineJoinsWithExactlyOneSlash)
{
	EXPECT_EQ(FPaths::Combine(TEXT("A/"), TEXT("/B.ini")).ToUtf8(), "A/B.ini");
	EXPECT_EQ(FPaths::Combine(TEXT("A"), TEXT("B.ini")).ToUtf8(), "A/B.ini");
	EXPECT_EQ(FPaths::Combine(FString(), TEXT("B.ini")).ToUtf8(), "B.ini");
}
