#pragma once

#include "CoreMinimal.h"
#include "Misc/Paths.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

/** A fresh, empty project folder under the system's temporary folder, made the project while it lives. */
class FTemporaryProject
{
public:
	FTemporaryProject()
		: PreviousProjectDir(FPaths::ProjectDir())
	{
		std::random_device Random;
		Root = std::filesystem::temp_directory_path() / ("TavrixSettingsTest-" + std::to_string(Random()) + std::to_string(Random()));
		std::filesystem::create_directories(Root);
		FPaths::SetProjectDir(FString::FromUtf8(Root.string()));
	}
	~FTemporaryProject()
	{
		FPaths::SetProjectDir(PreviousProjectDir);
		std::error_code Ignored;
		std::filesystem::remove_all(Root, Ignored);
	}
	FTemporaryProject(const FTemporaryProject&) = delete;
	FTemporaryProject& operator=(const FTemporaryProject&) = delete;

	std::filesystem::path Path(const std::string& Relative) const { return Root / Relative; }
	FString File(const std::string& Relative) const { return FString::FromUtf8(Path(Relative).string()); }
	std::filesystem::path DefaultGameIni() const { return Path("Config/DefaultGame.ini"); }

	void Write(const std::string& Relative, const std::string& Bytes) const
	{
		std::filesystem::create_directories(Path(Relative).parent_path());
		std::ofstream(Path(Relative), std::ios::binary) << Bytes;
	}

	/** The file's bytes; "<missing>" when there is no such file. */
	std::string Read(const std::string& Relative) const
	{
		std::ifstream Stream(Path(Relative), std::ios::binary);
		return Stream ? std::string(std::istreambuf_iterator<char>(Stream), std::istreambuf_iterator<char>()) : "<missing>";
	}

private:
	FString PreviousProjectDir;
	std::filesystem::path Root;
};
