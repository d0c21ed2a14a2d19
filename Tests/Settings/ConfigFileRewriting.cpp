#include "Misc/ConfigCacheIni.h"
#include "SettingsTestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace
{
/** A project file written by hand: comments, odd spacing, CRLF endings, repeated sections, no final line break. */
const std::string HandWritten = "\xEF\xBB\xBF; project settings\r\n"
								"[/Script/Engine.Renderer]\r\n"
								"  r.Quality   =   High  \r\n"
								"\r\n"
								"# hash comment\r\n"
								"[/Script/Sample.Settings]\r\n"
								"Port=9001\r\n"
								"Name = \" padded \"\r\n"
								"\r\n"
								"; belongs to the next section\r\n"
								"[Other]\r\n"
								"Port=1\r\n"
								"[/Script/Sample.Settings]\r\n"
								"Port=2\r\n"
								"Tail=last";

class ConfigFileRewriting : public ::testing::Test
{
protected:
	/** The file read from Bytes, written back and read again as bytes. */
	std::string RoundTrip(const std::string& Bytes, void (*Change)(FConfigFile&))
	{
		Project.Write("Config/Test.ini", Bytes);
		FConfigFile File;
		EXPECT_TRUE(File.Read(Project.File("Config/Test.ini")));
		Change(File);
		EXPECT_TRUE(File.Write(Project.File("Config/Test.ini")));
		return Project.Read("Config/Test.ini");
	}

	FTemporaryProject Project;
};
} // namespace

TEST_F(ConfigFileRewriting, UnchangedFileIsWrittenBackByteForByte)
{
	EXPECT_EQ(RoundTrip(HandWritten, [](FConfigFile&) {}), HandWritten);
}

TEST_F(ConfigFileRewriting, ReadsValuesIgnoringCaseSpacingAndQuotes)
{
	Project.Write("Config/Test.ini", HandWritten);
	FConfigFile File;
	ASSERT_TRUE(File.Read(Project.File("Config/Test.ini")));
	FString Value;

	ASSERT_TRUE(File.GetString(TEXT("/script/engine.renderer"), TEXT("R.QUALITY"), Value));
	EXPECT_EQ(Value.ToUtf8(), "High");
	ASSERT_TRUE(File.GetString(TEXT("/Script/Sample.Settings"), TEXT("Name"), Value));
	EXPECT_EQ(Value.ToUtf8(), " padded ");
	ASSERT_TRUE(File.GetString(TEXT("/Script/Sample.Settings"), TEXT("Port"), Value));
	EXPECT_EQ(Value.ToUtf8(), "9001");
	ASSERT_TRUE(File.GetString(TEXT("/Script/Sample.Settings"), TEXT("Tail"), Value));
	EXPECT_EQ(Value.ToUtf8(), "last");
	EXPECT_FALSE(File.GetString(TEXT("/Script/Sample.Settings"), TEXT("project settings"), Value));
	EXPECT_FALSE(File.GetString(TEXT("Missing"), TEXT("Port"), Value));
}

TEST_F(ConfigFileRewriting, ChangingAValueRewritesOnlyItsLine)
{
	const std::string Written =
		RoundTrip(HandWritten, [](FConfigFile& File) { File.SetString(TEXT("/Script/Engine.Renderer"), TEXT("r.quality"), TEXT("Low")); });

	std::string Expected = HandWritten;
	Expected.replace(Expected.find("  r.Quality   =   High  "), 24, "  r.Quality   =   Low");
	EXPECT_EQ(Written, Expected);
}

TEST_F(ConfigFileRewriting, MissingKeyGoesAfterTheLastKeyOfTheFirstSection)
{
	const std::string Written =
		RoundTrip(HandWritten, [](FConfigFile& File) { File.SetString(TEXT("/Script/Sample.Settings"), TEXT("Added"), TEXT("1")); });

	std::string Expected = HandWritten;
	Expected.insert(Expected.find("\r\n; belongs to the next section"), "Added=1\r\n");
	EXPECT_EQ(Written, Expected);
}

TEST_F(ConfigFileRewriting, MissingSectionGoesAtTheEndKeepingTheLastLineUnended)
{
	const std::string Written = RoundTrip(HandWritten, [](FConfigFile& File) { File.SetString(TEXT("New"), TEXT("Key"), TEXT("Value")); });

	EXPECT_EQ(Written, HandWritten + "\r\n\r\n[New]\r\nKey=Value");
}

TEST_F(ConfigFileRewriting, NewFileGetsTheSectionAndKey)
{
	const std::string Written = RoundTrip("", [](FConfigFile& File) { File.SetString(TEXT("S"), TEXT("K"), TEXT("V")); });

	EXPECT_EQ(Written, "[S]\nK=V\n");
}

TEST_F(ConfigFileRewriting, SettingTheValueAKeyHoldsChangesNothing)
{
	Project.Write("Config/Test.ini", HandWritten);
	FConfigFile File;
	ASSERT_TRUE(File.Read(Project.File("Config/Test.ini")));

	EXPECT_TRUE(File.SetString(TEXT("/Script/Sample.Settings"), TEXT("Name"), TEXT(" padded ")));
	EXPECT_TRUE(File.SetString(TEXT("/Script/Engine.Renderer"), TEXT("r.Quality"), TEXT("High")));
	EXPECT_FALSE(File.IsDirty());
}

TEST_F(ConfigFileRewriting, ValuesThatWouldBreakTheLineReadBackAsSet)
{
	const char* Values[] = {"two\nlines", "  spaced  ", "\"quoted\"", "\"", "back\\slash", "tab\tinside", "", "carriage\rreturn", "\\n"};
	Project.Write("Config/Test.ini", "[S]\n");
	{
		FConfigFile File;
		ASSERT_TRUE(File.Read(Project.File("Config/Test.ini")));
		for (size_t Index = 0; Index < std::size(Values); ++Index)
		{
			EXPECT_TRUE(File.SetString(TEXT("S"), *FString::FromInt(static_cast<int32>(Index)), FString::FromUtf8(Values[Index])));
		}
		ASSERT_TRUE(File.Write(Project.File("Config/Test.ini")));
	}
	const std::string Bytes = Project.Read("Config/Test.ini");
	EXPECT_EQ(std::count(Bytes.begin(), Bytes.end(), '\n'), static_cast<std::ptrdiff_t>(std::size(Values) + 1));

	FConfigFile File;
	ASSERT_TRUE(File.Read(Project.File("Config/Test.ini")));
	for (size_t Index = 0; Index < std::size(Values); ++Index)
	{
		FString Value;
		ASSERT_TRUE(File.GetString(TEXT("S"), *FString::FromInt(static_cast<int32>(Index)), Value));
		EXPECT_EQ(Value.ToUtf8(), Values[Index]);
	}
}

TEST_F(ConfigFileRewriting, RefusesNamesThatCannotStandInALine)
{
	FConfigFile File;
	ASSERT_TRUE(File.Read(Project.File("Config/Test.ini")));

	EXPECT_FALSE(File.SetString(TEXT("S"), TEXT("a=b"), TEXT("1")));
	EXPECT_FALSE(File.SetString(TEXT("S"), TEXT("two\nlines"), TEXT("1")));
	EXPECT_FALSE(File.SetString(TEXT("S"), TEXT(" padded"), TEXT("1")));
	EXPECT_FALSE(File.SetString(TEXT("S"), TEXT(";comment"), TEXT("1")));
	EXPECT_FALSE(File.SetString(TEXT("a]b"), TEXT("K"), TEXT("1")));
	EXPECT_FALSE(File.SetString(TEXT(""), TEXT("K"), TEXT("1")));
	EXPECT_FALSE(File.IsDirty());
}
