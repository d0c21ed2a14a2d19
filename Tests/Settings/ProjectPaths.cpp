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
	// The saved folder is relative to the current folder, as the editor's is to its binaries folder.
	EXPECT_TRUE(std::filesystem::path(FPaths::ProjectSavedDir().ToUtf8()).is_relative()) << FPaths::ProjectSavedDir().ToUtf8();
	EXPECT_EQ(FPaths::ConvertRelativePathToFull(FPaths::ProjectSavedDir()).ToUtf8(), Root + "Saved/");
}

TEST(ProjectPaths, FullPathsStartAtTheCurrentFolderAndAreNormal)
{
	const std::string Current = std::filesystem::current_path().generic_string();

	EXPECT_EQ(FPaths::ConvertRelativePathToFull(TEXT("A/./B/../C.pcap")).ToUtf8(), Current + "/A/C.pcap");
	EXPECT_EQ(
		FPaths::ConvertRelativePathToFull(TEXT("../A/")).ToUtf8(), std::filesystem::current_path().parent_path().generic_string() + "/A/");
	EXPECT_EQ(FPaths::ConvertRelativePathToFull(TEXT("/X/Y/../Z")).ToUtf8(), "/X/Z");
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
