#include "CoreMinimal.h"

#include <gtest/gtest.h>

namespace
{
TEST(EngineStrings, EqualityIgnoresAsciiCaseUnlessAskedNotTo)
{
	EXPECT_TRUE(FString(TEXT("Scene 4")) == FString(TEXT("scene 4")));
	EXPECT_FALSE(FString(TEXT("Scene 4")).Equals(TEXT("scene 4"), ESearchCase::CaseSensitive));
	EXPECT_TRUE(FString(TEXT("Scene 4")).Equals(TEXT("Scene 4"), ESearchCase::CaseSensitive));
	// Only ASCII letters fold: é and É stay different.
	EXPECT_FALSE(FString(u"\u00e9") == FString(u"\u00c9"));
}

TEST(EngineStrings, Utf8RoundTripsEveryCodePointAndReplacesBrokenInput)
{
	const std::string Text = "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x8E\xAC";
	const FString Wide = FString::FromUtf8(Text);
	EXPECT_EQ(Wide.Len(), 5); // A, é, €, and a surrogate pair
	EXPECT_EQ(Wide.ToUtf8(), Text);
	EXPECT_EQ(FString::FromUtf8("\xC3").ToUtf8(), "\xEF\xBF\xBD");
	EXPECT_EQ(FString(u"\xD800").ToUtf8(), "\xEF\xBF\xBD");
}

TEST(EngineStrings, PrintfFormatsEngineStyleArguments)
{
	EXPECT_EQ(FString::Printf(TEXT("%s:%d %u %.2f %%"), TEXT("x"), -5, 7u, 1.5).ToUtf8(), "x:-5 7 1.50 %");
	FString Name(TEXT("Link"));
	Name.AppendInt(-12);
	EXPECT_EQ(Name.ToUtf8(), "Link-12");
}

TEST(EngineNames, NamesCompareIgnoringCaseAndLookupsDoNotAdd)
{
	const FName Camera("Tavrix - Camera");
	EXPECT_EQ(Camera, FName(TEXT("TAVRIX - camera")));
	EXPECT_TRUE(Camera == "tavrix - CAMERA");
	const int32 Before = FName::GetNameTableSize();
	EXPECT_TRUE(FName(TEXT("NeverAddedBefore123"), FNAME_Find).IsNone());
	EXPECT_FALSE(Camera == "NeverAddedBefore456");
	EXPECT_EQ(FName::GetNameTableSize(), Before);
}

TEST(EngineTexts, LocalisedTextsRememberNamespaceAndKey)
{
#define LOCTEXT_NAMESPACE "SomeNamespace"
	const FText Text = LOCTEXT("SomeKey", "Some text");
#undef LOCTEXT_NAMESPACE
	EXPECT_EQ(Text.ToString().ToUtf8(), "Some text");
	EXPECT_EQ(FTextInspector::GetNamespace(Text).ToUtf8(), "SomeNamespace");
	EXPECT_EQ(FTextInspector::GetKey(Text).ToUtf8(), "SomeKey");
	EXPECT_TRUE(FTextInspector::GetNamespace(FText::FromString(TEXT("x"))).IsEmpty());
}
} // namespace
