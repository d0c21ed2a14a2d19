#include "TakeRecorderTestSupport.h"

#include "LogCapture.h"
#include "Misc/Paths.h"
#include "Roles/LiveLinkTransformRole.h"
#include "TestWaits.h"
#include "LiveLinkClientTesting.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cfloat>
#include <cmath>
#include <functional>
#include <thread>
#include <utility>

namespace
{
class TakeRecording : public FTakeRecorderFixture
{
};

uint32 Bits(float Value)
{
	return std::bit_cast<uint32>(Value);
}

void ExpectOneErrorMentioning(const FLogCapture& Log, const std::string& Text)
{
	const std::vector<FLogCapture::FLine> Lines = Log.GetLines();
	ASSERT_EQ(Lines.size(), 1u);
	EXPECT_EQ(Lines[0].Category, "LogTakeRecorder");
	EXPECT_EQ(Lines[0].Verbosity, ELogVerbosity::Error);
	EXPECT_NE(Lines[0].Text.find(Text), std::string::npos) << Lines[0].Text;
	EXPECT_NE(Lines[0].Text.find("did not start"), std::string::npos) << Lines[0].Text;
}

/** True for "YYYY-MM-DDThh:mm:ss.mmmZ". */
bool IsUtcTimestamp(const std::string& Text)
{
	const std::string Shape = "0000-00-00T00:00:00.000Z";
	return Text.size() == Shape.size() && std::equal(Shape.begin(), Shape.end(), Text.begin(), [](char Expected, char Actual) {
		return Expected == '0' ? (Actual >= '0' && Actual <= '9') : Actual == Expected;
	});
}

/** The float a number of the file stands for; a null (no value) reads as NaN. */
float ReadFloat(const nlohmann::json& Value)
{
	return Value.is_null() ? NAN : static_cast<float>(Value.get<double>());
}

TEST_F(TakeRecording, WritesHeaderTheFramesPushedWhileRecordingAndAClosingLine)
{
	UTakeRecorderPanel* Panel = OpenPanel("Scene 4", 7);
	const FLiveLinkSubjectKey Key = AddCameraSubject("Tavrix - Camera");
	PushFrame(Key, MakeFrame(1.0f));

	Panel->StartRecording();
	ASSERT_TRUE(UTakeRecorderBlueprintLibrary::IsRecording());
	PushFrame(Key, MakeFrame(2.0f));
	PushFrame(Key, MakeFrame(3.0f));
	PushFrame(Key, MakeFrame(4.0f));
	EXPECT_EQ(FTakeRecorderHost::GetFramesWritten(), 3);
	Panel->StopRecording();
	EXPECT_FALSE(UTakeRecorderBlueprintLibrary::IsRecording());
	PushFrame(Key, MakeFrame(5.0f));

	const std::filesystem::path Path = CurrentTakePath();
	EXPECT_EQ(Path.filename(), "Scene_4_007.jsonl");
	EXPECT_TRUE(std::filesystem::equivalent(Path.parent_path(), TakesDir));
	const std::vector<nlohmann::json> Lines = ReadLines(Path);
	ASSERT_EQ(Lines.size(), 5u);

	EXPECT_EQ(Lines[0]["record"], "take");
	EXPECT_EQ(Lines[0]["slate"], "Scene 4");
	EXPECT_EQ(Lines[0]["takeNumber"], 7);
	EXPECT_TRUE(IsUtcTimestamp(Lines[0]["startTime"].get<std::string>())) << Lines[0]["startTime"];
	EXPECT_TRUE(IsUtcTimestamp(Lines[4]["stopTime"].get<std::string>())) << Lines[4]["stopTime"];
	for (int Index = 0; Index < 3; ++Index)
	{
		const nlohmann::json& Frame = Lines[1 + Index];
		EXPECT_EQ(Frame["record"], "frame");
		EXPECT_EQ(Frame["index"], Index);
		EXPECT_EQ(Frame["subject"], "Tavrix - Camera");
		EXPECT_EQ(Frame["source"], Key.Source.ToString().ToUtf8());
		EXPECT_EQ(Frame["location"][0], 2.0 + Index);
	}
	EXPECT_EQ(Lines[4]["record"], "end");
	EXPECT_EQ(Lines[4]["frames"], 3);

	EXPECT_EQ(FTakeRecorderHost::GetFramesWritten(), 3);
	EXPECT_EQ(StartedPaths, std::vector<std::string>{Path.string()});
	EXPECT_EQ(StoppedPaths, std::vector<std::string>{Path.string()});
	EXPECT_EQ(StoppedFrames, std::vector<int64>{3});
}

TEST_F(TakeRecording, ValuesReadBackExactly)
{
	UTakeRecorderPanel* Panel = OpenPanel();
	const FLiveLinkSubjectKey Key = AddCameraSubject("Tavrix - Camera");
	FLiveLinkCameraFrameData Awkward;
	Awkward.Transform = FTransform(FQuat(1.0f / 3.0f, -0.0f, std::nextafter(1.0f, 2.0f), 0.70710677f), FVector(0.1f, -1e-38f, FLT_MAX),
		FVector(std::numeric_limits<float>::denorm_min(), 123456.79f, -7.0f));
	Awkward.WorldTime = FLiveLinkWorldTime(16777216.0 + 1234.56789, 1e-7);
	Awkward.MetaData.SceneTime = FQualifiedFrameTime(FFrameTime(FFrameNumber(-12), FFrameTime::MaxSubframe), FFrameRate(30000, 1001));
	Awkward.FocalLength = 35.123f;
	Awkward.FocusDistance = 1e10f;
	Awkward.AspectRatio = 16.0f / 9.0f;
	Awkward.FieldOfView = 0.3f;
	Awkward.Aperture = 1.4f;
	FLiveLinkCameraFrameData Unusual = MakeFrame(1.0f);
	Unusual.MetaData.SceneTime.Rate = FFrameRate(25, 0); // a rate without a denominator: no scene time
	Unusual.Transform.Translation.X = std::numeric_limits<float>::infinity();
	Unusual.FocalLength = std::numeric_limits<float>::quiet_NaN();

	Panel->StartRecording();
	PushFrame(Key, Awkward);
	PushFrame(Key, Unusual);
	Panel->StopRecording();

	const std::vector<nlohmann::json> Lines = ReadLines(CurrentTakePath());
	ASSERT_EQ(Lines.size(), 4u);
	const nlohmann::json& Frame = Lines[1];
	const FTransform& Transform = Awkward.Transform;
	const float Expected[] = {Transform.Translation.X, Transform.Translation.Y, Transform.Translation.Z, Transform.Rotation.X,
		Transform.Rotation.Y, Transform.Rotation.Z, Transform.Rotation.W, Transform.Scale3D.X, Transform.Scale3D.Y, Transform.Scale3D.Z};
	const float Read[] = {ReadFloat(Frame["location"][0]), ReadFloat(Frame["location"][1]), ReadFloat(Frame["location"][2]),
		ReadFloat(Frame["rotation"][0]), ReadFloat(Frame["rotation"][1]), ReadFloat(Frame["rotation"][2]), ReadFloat(Frame["rotation"][3]),
		ReadFloat(Frame["scale"][0]), ReadFloat(Frame["scale"][1]), ReadFloat(Frame["scale"][2])};
	for (size_t Index = 0; Index < std::size(Expected); ++Index)
	{
		EXPECT_EQ(Bits(Read[Index]), Bits(Expected[Index])) << "component " << Index << ": " << Expected[Index];
	}
	EXPECT_EQ(Bits(ReadFloat(Frame["focalLength"])), Bits(Awkward.FocalLength));
	EXPECT_EQ(Bits(ReadFloat(Frame["focusDistance"])), Bits(Awkward.FocusDistance));
	EXPECT_EQ(Bits(ReadFloat(Frame["aspectRatio"])), Bits(Awkward.AspectRatio));
	EXPECT_EQ(Bits(ReadFloat(Frame["fieldOfView"])), Bits(Awkward.FieldOfView));
	EXPECT_EQ(Bits(ReadFloat(Frame["aperture"])), Bits(Awkward.Aperture));
	EXPECT_EQ(Frame["worldTime"].get<double>(), Awkward.WorldTime.GetOffsettedTime());
	const nlohmann::json& SceneTime = Frame["sceneTime"];
	EXPECT_EQ(SceneTime["frame"], -12);
	EXPECT_EQ(Bits(ReadFloat(SceneTime["subFrame"])), Bits(FFrameTime::MaxSubframe));
	EXPECT_EQ(SceneTime["rateNumerator"], 30000);
	EXPECT_EQ(SceneTime["rateDenominator"], 1001);

	// No scene time, and values JSON cannot hold, are null.
	EXPECT_TRUE(Lines[2]["sceneTime"].is_null());
	EXPECT_TRUE(Lines[2]["location"][0].is_null());
	EXPECT_TRUE(Lines[2]["focalLength"].is_null());
	EXPECT_EQ(Lines[2]["location"][1], 2.0);
}

TEST_F(TakeRecording, EveryCameraSubjectIsRecordedAndOtherRolesAreNot)
{
	UTakeRecorderPanel* Panel = OpenPanel();
	const FLiveLinkSubjectKey First = AddCameraSubject("Camera A");
	const FLiveLinkSubjectKey Second = AddCameraSubject("Camera B");
	const FLiveLinkSubjectKey Tracker(FGuid::NewGuid(), FName("Tracker"));
	Client.PushSubjectStaticData_AnyThread(
		Tracker, ULiveLinkTransformRole::StaticClass(), FLiveLinkStaticDataStruct(FLiveLinkTransformStaticData::StaticStruct()));

	Panel->StartRecording();
	PushFrame(First, MakeFrame(1.0f));
	Client.PushSubjectFrameData_AnyThread(Tracker, FLiveLinkFrameDataStruct(FLiveLinkTransformFrameData::StaticStruct()));
	PushFrame(Second, MakeFrame(2.0f));
	Panel->StopRecording();

	const std::vector<nlohmann::json> Lines = ReadLines(CurrentTakePath());
	ASSERT_EQ(Lines.size(), 4u);
	EXPECT_EQ(Lines[1]["subject"], "Camera A");
	EXPECT_EQ(Lines[2]["subject"], "Camera B");
	EXPECT_EQ(Lines[3]["frames"], 2);
}

TEST_F(TakeRecording, StartingWhileRecordingAndStoppingWhileIdleDoNothing)
{
	UTakeRecorderPanel* Panel = OpenPanel();
	const FLiveLinkSubjectKey Key = AddCameraSubject("Tavrix - Camera");
	Panel->StartRecording();
	PushFrame(Key, MakeFrame(1.0f));
	Panel->StartRecording();
	PushFrame(Key, MakeFrame(2.0f));
	UTakeRecorderBlueprintLibrary::StopRecording();
	const std::string Finished = ReadBytes(CurrentTakePath());
	Panel->StopRecording();
	UTakeRecorderBlueprintLibrary::StopRecording();

	EXPECT_FALSE(UTakeRecorderBlueprintLibrary::IsRecording());
	EXPECT_EQ(TakeFiles().size(), 1u);
	EXPECT_EQ(StartedPaths.size(), 1u);
	EXPECT_EQ(StoppedPaths.size(), 1u);
	EXPECT_EQ(ReadBytes(CurrentTakePath()), Finished);
	const std::vector<nlohmann::json> Lines = ReadLines(CurrentTakePath());
	ASSERT_EQ(Lines.size(), 4u);
	EXPECT_EQ(Lines[3]["frames"], 2);
}

TEST_F(TakeRecording, TakeBeingRecordedIsLockedAndTheNextTakeNumberFollows)
{
	UTakeRecorderPanel* Panel = OpenPanel("Scene 4", 7);
	Panel->StartRecording();
	Panel->GetTakeMetaData()->SetSlate(TEXT("Scene 5"), true);
	Panel->GetTakeMetaData()->SetTakeNumber(1, true);
	EXPECT_TRUE(Panel->GetTakeMetaData()->IsLocked());
	const std::filesystem::path First = CurrentTakePath();
	Panel->StopRecording();
	EXPECT_FALSE(Panel->GetTakeMetaData()->IsLocked());
	EXPECT_EQ(Panel->GetTakeMetaData()->GetSlate().ToUtf8(), "Scene 4") << "set while locked: ignored";
	EXPECT_EQ(Panel->GetTakeMetaData()->GetTakeNumber(), 8) << "the editor moves on to the next take";
	Panel->StartRecording();
	Panel->StopRecording();
	Panel->GetTakeMetaData()->SetSlate(TEXT("Scene 5"), true);
	Panel->StartRecording();
	Panel->StopRecording();

	EXPECT_EQ(First.filename(), "Scene_4_007.jsonl");
	EXPECT_EQ(ReadLines(First)[0]["slate"], "Scene 4");
	EXPECT_EQ(CurrentTakePath().filename(), "Scene_5_009.jsonl");
}

TEST_F(TakeRecording, WithoutAClientNothingStartsAndTheReasonIsLogged)
{
	UTakeRecorderPanel* Panel = OpenPanel();
	FTakeRecorderHost::SetLiveLinkClient(nullptr);
	FLogCapture Log;
	Panel->StartRecording();

	EXPECT_FALSE(UTakeRecorderBlueprintLibrary::IsRecording());
	EXPECT_TRUE(StartedPaths.empty());
	EXPECT_TRUE(TakeFiles().empty());
	ExpectOneErrorMentioning(Log, "Live Link client");
}

TEST_F(TakeRecording, UnusableTakesFolderIsLoggedAndNothingStartsUntilItIsUsable)
{
	// A regular file where the folder should be: creating the folder fails even for root.
	std::ofstream(TakesDir) << "not a folder";
	UTakeRecorderPanel* Panel = OpenPanel();
	const FString PathBefore = FTakeRecorderHost::GetTakeFilePath();
	{
		FLogCapture Log;
		Panel->StartRecording();
		ExpectOneErrorMentioning(Log, TakesDir.string());
	}
	EXPECT_FALSE(UTakeRecorderBlueprintLibrary::IsRecording());
	EXPECT_TRUE(StartedPaths.empty());
	EXPECT_TRUE(FTakeRecorderHost::GetTakeFilePath().Equals(PathBefore));
	EXPECT_EQ(ReadBytes(TakesDir), "not a folder");

	std::filesystem::remove(TakesDir);
	Panel->StartRecording();
	EXPECT_TRUE(UTakeRecorderBlueprintLibrary::IsRecording());
	EXPECT_EQ(TakeFiles().size(), 1u);
}

TEST_F(TakeRecording, ChangingTheClientEndsTheTakeFromTheOldOne)
{
	UTakeRecorderPanel* Panel = OpenPanel();
	const FLiveLinkSubjectKey Key = AddCameraSubject("Tavrix - Camera");
	Panel->StartRecording();
	PushFrame(Key, MakeFrame(1.0f));
	FLiveLinkClient Other;
	FTakeRecorderHost::SetLiveLinkClient(&Other);
	PushFrame(Key, MakeFrame(2.0f));

	EXPECT_FALSE(UTakeRecorderBlueprintLibrary::IsRecording());
	const std::vector<nlohmann::json> Lines = ReadLines(CurrentTakePath());
	ASSERT_EQ(Lines.size(), 3u);
	EXPECT_EQ(Lines[2]["frames"], 1);
	FTakeRecorderHost::SetLiveLinkClient(nullptr);
}

TEST_F(TakeRecording, NoFrameSubscriberOutlivesTheTake)
{
	const FLiveLinkSubjectKey Key = AddCameraSubject("Tavrix - Camera");
	FLiveLinkClient Other;
	const std::pair<const char*, std::function<void()>> Endings[] = {
		{"the panel's stop", [] { UTakeRecorderBlueprintLibrary::GetTakeRecorderPanel()->StopRecording(); }},
		{"the library's stop", [] { UTakeRecorderBlueprintLibrary::StopRecording(); }},
		{"closing the panel", [] { FTakeRecorderHost::ClosePanel(); }},
		{"another client", [&] { FTakeRecorderHost::SetLiveLinkClient(&Other); }},
		{"shut-down", [] { FTakeRecorderHost::Shutdown(); }},
	};
	for (const auto& [Name, End] : Endings)
	{
		FTakeRecorderHost::SetLiveLinkClient(&Client);
		OpenPanel()->StartRecording();
		ASSERT_TRUE(FLiveLinkClientTesting::OnFrameDataReceived(Client).IsBound()) << Name;
		PushFrame(Key, MakeFrame(1.0f));
		End();
		EXPECT_FALSE(UTakeRecorderBlueprintLibrary::IsRecording()) << Name;
		EXPECT_FALSE(FLiveLinkClientTesting::OnFrameDataReceived(Client).IsBound()) << Name;
		EXPECT_EQ(ReadLines(CurrentTakePath()).back()["record"], "end") << Name;
	}
	EXPECT_EQ(StoppedFrames, std::vector<int64>(std::size(Endings), 1));
}

TEST_F(TakeRecording, FramesFromAnotherThreadLandAsWholeLinesBeforeTheClosingLine)
{
	UTakeRecorderPanel* Panel = OpenPanel();
	const FLiveLinkSubjectKey Key = AddCameraSubject("Tavrix - Camera");
	std::atomic<bool> bPushing{true};
	std::thread Pusher([&] {
		for (int Seed = 0; bPushing.load(); ++Seed)
		{
			PushFrame(Key, MakeFrame(static_cast<float>(Seed)));
		}
	});
	Panel->StartRecording();
	const bool bEnoughFrames = WaitUntil([] { return FTakeRecorderHost::GetFramesWritten() >= 200; });
	Panel->StopRecording();
	bPushing.store(false);
	Pusher.join();
	ASSERT_TRUE(bEnoughFrames);

	const std::vector<nlohmann::json> Lines = ReadLines(CurrentTakePath());
	ASSERT_GE(Lines.size(), 202u);
	const size_t FrameCount = Lines.size() - 2;
	for (size_t Index = 0; Index < FrameCount; ++Index)
	{
		ASSERT_EQ(Lines[1 + Index]["index"], Index);
	}
	EXPECT_EQ(Lines.back()["record"], "end");
	EXPECT_EQ(Lines.back()["frames"], FrameCount);
	EXPECT_EQ(FTakeRecorderHost::GetFramesWritten(), static_cast<int64>(FrameCount));
}

TEST_F(TakeRecording, DefaultFolderIsTakesUnderTheProjectSavedFolder)
{
	const FString ProjectBefore = FPaths::ProjectDir();
	FPaths::SetProjectDir(FString::FromUtf8(Root.string()));
	FTakeRecorderHost::SetTakesDirectory(FString());
	UTakeRecorderPanel* Panel = OpenPanel();
	Panel->StartRecording();
	Panel->StopRecording();
	const FString TakesDirectory = FTakeRecorderHost::GetTakesDirectory();
	FPaths::SetProjectDir(ProjectBefore);

	EXPECT_TRUE(
		FPaths::ConvertRelativePathToFull(TakesDirectory).Equals(FPaths::Combine(FString::FromUtf8(Root.string()), TEXT("Saved/Takes/"))))
		<< TakesDirectory.ToUtf8();
	EXPECT_TRUE(std::filesystem::equivalent(CurrentTakePath().parent_path(), Root / "Saved" / "Takes"));
}
} // namespace
