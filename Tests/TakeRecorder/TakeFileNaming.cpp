#include "TakeRecorderTestSupport.h"

namespace
{
/** Letters, digits, '_' and '-' only, starting with a letter or digit, ending in ".jsonl". */
bool IsSafeTakeFileName(const std::string& Name)
{
	const std::string Extension = ".jsonl";
	if (Name.size() <= Extension.size() || !Name.ends_with(Extension))
	{
		return false;
	}
	const auto IsAlphaNumeric = [](char C) { return (C >= 'A' && C <= 'Z') || (C >= 'a' && C <= 'z') || (C >= '0' && C <= '9'); };
	if (!IsAlphaNumeric(Name.front()))
	{
		return false;
	}
	for (size_t Index = 0; Index < Name.size() - Extension.size(); ++Index)
	{
		if (!IsAlphaNumeric(Name[Index]) && Name[Index] != '_' && Name[Index] != '-')
		{
			return false;
		}
	}
	return true;
}

class TakeFileNaming : public FTakeRecorderFixture
{
protected:
	/** Records one empty take under Slate and returns its file. */
	std::filesystem::path RecordTake(const FString& Slate, int32 TakeNumber)
	{
		UTakeRecorderPanel* Panel = UTakeRecorderBlueprintLibrary::OpenTakeRecorderPanel();
		Panel->GetTakeMetaData()->SetSlate(Slate, false);
		Panel->GetTakeMetaData()->SetTakeNumber(TakeNumber, false);
		Panel->StartRecording();
		EXPECT_TRUE(UTakeRecorderBlueprintLibrary::IsRecording());
		Panel->StopRecording();
		return CurrentTakePath();
	}
};

TEST_F(TakeFileNaming, ExistingTakeFilesAreNeverOverwritten)
{
	std::filesystem::create_directories(TakesDir);
	std::ofstream(TakesDir / "Scene_4_007.jsonl") << "recorded elsewhere\n";
	const FLiveLinkSubjectKey Key = AddCameraSubject("Tavrix - Camera");
	UTakeRecorderPanel* Panel = OpenPanel("Scene 4", 7);
	Panel->StartRecording();
	PushFrame(Key, MakeFrame(1.0f));
	Panel->StopRecording();
	const std::filesystem::path First = CurrentTakePath();
	const std::string FirstBytes = ReadBytes(First);

	const std::filesystem::path Second = RecordTake(TEXT("Scene 4"), 7);

	EXPECT_EQ(First.filename(), "Scene_4_007_2.jsonl");
	EXPECT_EQ(Second.filename(), "Scene_4_007_3.jsonl");
	EXPECT_EQ(ReadBytes(TakesDir / "Scene_4_007.jsonl"), "recorded elsewhere\n");
	EXPECT_EQ(ReadBytes(First), FirstBytes);
	EXPECT_EQ(ReadLines(Second).size(), 2u);
}

TEST_F(TakeFileNaming, HostileSlatesGiveSafeNamesInsideTheTakesFolder)
{
	const char16_t LoneSurrogate[] = {u'a', 0xD800, u'b', 0};
	const char16_t WithNul[] = {u'x', 0, u'y'};
	const std::vector<FString> Slates = {
		FString(),
		TEXT("."),
		TEXT(".."),
		TEXT("../../escaped"),
		TEXT("/absolute/path"),
		TEXT("a/b\\c:d*e?f\"g<h>i|j"),
		TEXT("\x01\n\t\r\x7f"),
		TEXT("Szene Über 🎬 シーン"),
		TEXT("-rf"),
		TEXT("___"),
		TEXT("CON"),
		FString(LoneSurrogate),
		FString(3, WithNul),
		FString(std::u16string(1000, u'W')),
		FString(std::u16string(300, u'/')),
	};
	for (const FString& Slate : Slates)
	{
		SCOPED_TRACE(Slate.ToUtf8());
		const std::filesystem::path Take = RecordTake(Slate, 7);
		EXPECT_TRUE(std::filesystem::equivalent(Take.parent_path(), TakesDir));
		EXPECT_TRUE(IsSafeTakeFileName(Take.filename().string())) << Take.filename();
		EXPECT_LE(Take.filename().string().size(), 100u);
		const std::vector<nlohmann::json> Lines = ReadLines(Take);
		ASSERT_EQ(Lines.size(), 2u);
		EXPECT_EQ(Lines[0]["slate"], Slate.ToUtf8()) << "the header keeps the slate as given";
	}
	EXPECT_EQ(TakeFiles().size(), Slates.size());
	// Nothing was written beside the takes folder.
	size_t EntriesInRoot = 0;
	for ([[maybe_unused]] const std::filesystem::directory_entry& Entry : std::filesystem::directory_iterator(Root))
	{
		++EntriesInRoot;
	}
	EXPECT_EQ(EntriesInRoot, 1u);
}

TEST_F(TakeFileNaming, SafeSlatesKeepTheirLettersDigitsAndDashesAndTheTakeIsPadded)
{
	EXPECT_EQ(RecordTake(TEXT("Scene-4b"), 12).filename(), "Scene-4b_012.jsonl");
	EXPECT_EQ(RecordTake(TEXT("  Big   Scene  "), 1).filename(), "Big_Scene_001.jsonl");
	EXPECT_EQ(RecordTake(TEXT("A"), 1234).filename(), "A_1234.jsonl");
	EXPECT_EQ(RecordTake(TEXT("A"), -3).filename(), "A_001.jsonl") << "a take number is at least 1";
}
} // namespace
