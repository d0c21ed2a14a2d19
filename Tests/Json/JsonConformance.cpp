#include "JsonTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

namespace
{
namespace fs = std::filesystem;

std::string ReadFile(const fs::path& Path)
{
	std::ifstream Stream(Path, std::ios::binary);
	return std::string(std::istreambuf_iterator<char>(Stream), std::istreambuf_iterator<char>());
}

/** The first character that is not JSON white space, or 0. */
char FirstSignificant(const std::string& Bytes)
{
	for (const char Byte : Bytes)
	{
		if (Byte != ' ' && Byte != '\t' && Byte != '\n' && Byte != '\r' && Byte != '\0')
		{
			return Byte;
		}
	}
	return 0;
}

/**
 * Files whose verdict the datagram's byte rules change: zero bytes are dropped before the reader sees the text.
 * (Bytes become Latin-1 characters one by one, so invalid UTF-8 changes no verdict: no file of the suite is
 * invalid for its encoding alone.)
 */
const std::map<std::string, std::string> ChangedVerdicts = {
	{"n_multidigit_number_then_00.json", "the zero byte after the number is dropped, leaving the number alone"},
	{"n_structure_null-byte-outside-string.json", "the zero byte between the tokens is dropped"},
	{"n_string_unescaped_ctrl_char.json", "the raw zero byte inside the string is dropped, leaving a plain string"},
};

TEST(JsonConformance, EveryFileOfThePublicSuiteGetsItsVerdict)
{
	const fs::path SuiteDir = TAVRIX_JSON_TEST_SUITE_DIR;
	ASSERT_TRUE(fs::is_directory(SuiteDir)) << SuiteDir << " is missing: the conformance files belong to the tree";
	int Files = 0;
	for (const fs::directory_entry& Entry : fs::directory_iterator(SuiteDir))
	{
		const std::string Name = Entry.path().filename().string();
		const std::string Bytes = ReadFile(Entry.path());
		// Only an object may stand at the top of a message: any other text is read as the value of a member, so
		// that every file still tests the reader's verdict on its value.
		const bool bObjectTop = FirstSignificant(Bytes) == '{';
		const bool bAccepted = ParseDatagramBytes(bObjectTop ? Bytes : "{\"v\":" + Bytes + "}").IsValid();
		if (!bObjectTop)
		{
			EXPECT_FALSE(ParseDatagramBytes(Bytes).IsValid()) << Name << ": a top-level value that is not an object";
		}
		++Files;
		if (const auto Changed = ChangedVerdicts.find(Name); Changed != ChangedVerdicts.end())
		{
			EXPECT_TRUE(bAccepted) << Name << ": " << Changed->second;
			continue;
		}
		if (Name.rfind("y_", 0) == 0)
		{
			EXPECT_TRUE(bAccepted) << Name;
		}
		else if (Name.rfind("n_", 0) == 0)
		{
			EXPECT_FALSE(bAccepted) << Name;
		}
		// i_ files: either verdict, as long as nothing breaks.
	}
	EXPECT_GT(Files, 300);
}
} // namespace
