#pragma once

#include "LiveLinkTestSource.h"

#include "CoreMinimal.h"
#include "LiveLinkClient.h"
#include "Recorder/TakeRecorderPanel.h"
#include "Roles/LiveLinkCameraRole.h"
#include "TakeMetaData.h"
#include "Recorder/TakeRecorderBlueprintLibrary.h"
#include "TakeRecorderHost.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

/**
 * A Take Recorder wired to a fresh Live Link client, writing into a folder of its own under the system's temporary
 * folder; the recorder is shut down and the folder removed after each test. The panel is not opened.
 */
class FTakeRecorderFixture : public testing::Test
{
protected:
	void SetUp() override
	{
		std::string Pattern = (std::filesystem::temp_directory_path() / "TavrixTakeRecorder-XXXXXX").string();
		ASSERT_NE(::mkdtemp(Pattern.data()), nullptr);
		Root = Pattern;
		TakesDir = Root / "Takes";
		FTakeRecorderHost::SetLiveLinkClient(&Client);
		FTakeRecorderHost::SetTakesDirectory(FString::FromUtf8(TakesDir.string()));
		StartedHandle =
			FTakeRecorderHost::OnRecordingStarted().AddLambda([this](const FString& Path) { StartedPaths.push_back(Path.ToUtf8()); });
		StoppedHandle = FTakeRecorderHost::OnRecordingStopped().AddLambda([this](const FString& Path, int64 Frames) {
			StoppedPaths.push_back(Path.ToUtf8());
			StoppedFrames.push_back(Frames);
		});
	}

	void TearDown() override
	{
		FTakeRecorderHost::OnRecordingStarted().Remove(StartedHandle);
		FTakeRecorderHost::OnRecordingStopped().Remove(StoppedHandle);
		FTakeRecorderHost::Shutdown();
		FTakeRecorderHost::SetTakesDirectory(FString());
		std::error_code Ignored;
		std::filesystem::remove_all(Root, Ignored);
	}

	UTakeRecorderPanel* OpenPanel(const char* Slate = "Scene 4", int32 TakeNumber = 7)
	{
		UTakeRecorderPanel* Panel = UTakeRecorderBlueprintLibrary::OpenTakeRecorderPanel();
		Panel->GetTakeMetaData()->SetSlate(FString::FromUtf8(Slate), false);
		Panel->GetTakeMetaData()->SetTakeNumber(TakeNumber, false);
		return Panel;
	}

	FLiveLinkSubjectKey AddCameraSubject(const char* Name)
	{
		// The client takes subjects only from a source it holds, and applies them on its next tick.
		const FLiveLinkSubjectKey Key(Client.AddSource(MakeShared<FLiveLinkTestSource>()), FName(Name));
		Client.PushSubjectStaticData_AnyThread(
			Key, ULiveLinkCameraRole::StaticClass(), FLiveLinkStaticDataStruct(FLiveLinkCameraStaticData::StaticStruct()));
		Client.Tick();
		return Key;
	}

	/** A frame whose every value derives from Seed, so each pushed frame can be told apart in the file. */
	static FLiveLinkCameraFrameData MakeFrame(float Seed)
	{
		FLiveLinkCameraFrameData Frame;
		Frame.Transform =
			FTransform(FQuat(0.1f * Seed, 0.2f, 0.3f, 0.9f), FVector(Seed, Seed + 1.0f, Seed + 2.0f), FVector(1.0f, 2.0f, 3.0f));
		Frame.WorldTime = FLiveLinkWorldTime(16777216.0 + Seed, 1e-7);
		Frame.MetaData.SceneTime = FQualifiedFrameTime(FFrameTime(FFrameNumber(500 + static_cast<int32>(Seed)), 0.25f), FFrameRate(25, 1));
		Frame.FocalLength = 35.0f + Seed;
		return Frame;
	}

	void PushFrame(const FLiveLinkSubjectKey& Key, const FLiveLinkCameraFrameData& Frame)
	{
		FLiveLinkFrameDataStruct Data(FLiveLinkCameraFrameData::StaticStruct());
		*Data.Cast<FLiveLinkCameraFrameData>() = Frame;
		Client.PushSubjectFrameData_AnyThread(Key, MoveTemp(Data));
	}

	static std::string ReadBytes(const std::filesystem::path& Path)
	{
		std::ifstream File(Path, std::ios::binary);
		return std::string(std::istreambuf_iterator<char>(File), std::istreambuf_iterator<char>());
	}

	/** Every line of the file, parsed; a line that is not one complete JSON object fails the test. */
	static std::vector<nlohmann::json> ReadLines(const std::filesystem::path& Path)
	{
		std::vector<nlohmann::json> Lines;
		const std::string Bytes = ReadBytes(Path);
		EXPECT_TRUE(Bytes.empty() || Bytes.back() == '\n') << "the last line is cut short";
		size_t Start = 0;
		while (Start < Bytes.size())
		{
			size_t End = Bytes.find('\n', Start);
			End = End == std::string::npos ? Bytes.size() : End;
			nlohmann::json Line = nlohmann::json::parse(Bytes.substr(Start, End - Start), nullptr, false);
			EXPECT_TRUE(Line.is_object()) << "not a JSON object: " << Bytes.substr(Start, End - Start);
			Lines.push_back(MoveTemp(Line));
			Start = End + 1;
		}
		return Lines;
	}

	static std::filesystem::path CurrentTakePath() { return std::filesystem::path(FTakeRecorderHost::GetTakeFilePath().ToUtf8()); }

	std::vector<std::filesystem::path> TakeFiles() const
	{
		std::vector<std::filesystem::path> Files;
		std::error_code Ignored;
		for (const std::filesystem::directory_entry& Entry : std::filesystem::directory_iterator(TakesDir, Ignored))
		{
			Files.push_back(Entry.path());
		}
		return Files;
	}

	std::filesystem::path Root;
	std::filesystem::path TakesDir;
	FLiveLinkClient Client;
	std::vector<std::string> StartedPaths;
	std::vector<std::string> StoppedPaths;
	std::vector<int64> StoppedFrames;

private:
	FDelegateHandle StartedHandle;
	FDelegateHandle StoppedHandle;
};
