#include "TavrixCameraMessage.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>

using namespace TavrixSend;

namespace
{
std::string Escaped(std::string_view InUtf8)
{
	std::string Out;
	AppendJsonString(Out, InUtf8);
	return Out;
}

bool IsPrintableAscii(std::string_view InText)
{
	return std::all_of(InText.begin(), InText.end(), [](char InChar) { return InChar >= 0x20 && InChar <= 0x7E; });
}
} // namespace

TEST(TextEscaping, EveryAsciiCharacterReadsBackUnchanged)
{
	std::string Text;
	for (int Code = 1; Code < 0x80; ++Code)
	{
		Text += static_cast<char>(Code);
	}
	const std::string Json = Escaped(Text);
	EXPECT_TRUE(IsPrintableAscii(Json)) << Json;
	EXPECT_EQ(nlohmann::json::parse(Json).get<std::string>(), Text);
}

TEST(TextEscaping, NonAsciiBecomesUnicodeEscapes)
{
	EXPECT_EQ(Escaped("Caf\xC3\xA9"), "\"Caf\\u00E9\"");
	EXPECT_EQ(Escaped("\xE6\x97\xA5\xE6\x9C\xAC"), "\"\\u65E5\\u672C\"");
	EXPECT_EQ(Escaped("\xEF\xBF\xBF"), "\"\\uFFFF\"");
	// Beyond the basic plane: a surrogate pair.
	EXPECT_EQ(Escaped("\xF0\x9F\x8E\xAC"), "\"\\uD83C\\uDFAC\"");
	EXPECT_EQ(Escaped("\xF4\x8F\xBF\xBF"), "\"\\uDBFF\\uDFFF\"");
}

TEST(TextEscaping, WellFormedUtf8ReadsBackIntact)
{
	const std::string Scene = "Sc\xC3\xA8ne \xE2\x84\x96 4 \xF0\x9F\x8E\xAC \xD0\x9A\xD0\xB0\xD0\xB4\xD1\x80";
	const std::string Json = Escaped(Scene);
	EXPECT_TRUE(IsPrintableAscii(Json)) << Json;
	EXPECT_EQ(nlohmann::json::parse(Json).get<std::string>(), Scene);
}

TEST(TextEscaping, MalformedUtf8BecomesOneReplacementPerByte)
{
	const std::string Replacement = "\\uFFFD";
	EXPECT_EQ(Escaped("\xC3("), "\"" + Replacement + "(\"");
	EXPECT_EQ(Escaped("\xC0\xAF"), "\"" + Replacement + Replacement + "\"") << "overlong";
	EXPECT_EQ(Escaped("\xED\xA0\x80"), "\"" + Replacement + Replacement + Replacement + "\"") << "encoded surrogate";
	EXPECT_EQ(Escaped("\xF4\x90\x80\x80"), "\"" + Replacement + Replacement + Replacement + Replacement + "\"") << "beyond U+10FFFF";
	EXPECT_EQ(Escaped("a\xE2\x82"), "\"a" + Replacement + Replacement + "\"") << "cut short at the end";
	EXPECT_EQ(Escaped("\xFF\xFE"), "\"" + Replacement + Replacement + "\"");
}

TEST(TextEscaping, SceneNameInAMessageStaysAscii)
{
	FTavrixCameraMessage Message;
	Message.Metadata = {"\x01first", "Caf\xC3\xA9 \xF0\x9F\x8E\xAC", "12"};
	const std::string Text = BuildCameraMessage(Message);
	EXPECT_TRUE(IsPrintableAscii(Text)) << Text;
	const nlohmann::json Metadata = nlohmann::json::parse(Text)["TVKCamera"][0]["Metadata"];
	EXPECT_EQ(Metadata[0].get<std::string>(), Message.Metadata[0]);
	EXPECT_EQ(Metadata[1].get<std::string>(), Message.Metadata[1]);
	EXPECT_EQ(Metadata[2].get<std::string>(), Message.Metadata[2]);
}
