#include "JsonTestSupport.h"
#include "LogCapture.h"

#include "HAL/Runnable.h"
#include "HAL/RunnableThread.h"
#include "Serialization/JsonReaderTesting.h"

#include <gtest/gtest.h>

#include <bit>
#include <chrono>
#include <cstdlib>
#include <random>
#include <limits>
#include <string>

namespace
{
std::string Nested(int Depth, char Open, char Close)
{
	return "{\"a\":" + std::string(static_cast<size_t>(Depth - 1), Open) + std::string(static_cast<size_t>(Depth - 1), Close) + "}";
}

TEST(JsonReading, MembersAreKeyedLikeTheEnginesMapIgnoringCase)
{
	// A later member of the same name replaces the earlier one, name and value, where the earlier one stood.
	const TSharedPtr<FJsonObject> Object = ParseDatagramBytes(R"({"b":1,"A":2,"c":3,"a":4})");
	ASSERT_TRUE(Object.IsValid());
	ASSERT_EQ(Object->Values.Num(), 3);
	EXPECT_EQ(Object->Values[0].Key.ToUtf8(), "b");
	EXPECT_EQ(Object->Values[1].Key.ToUtf8(), "a");
	EXPECT_EQ(Object->Values[2].Key.ToUtf8(), "c");
	double Number = 0.0;
	ASSERT_TRUE(Object->TryGetNumberField(TEXT("A"), Number));
	EXPECT_EQ(Number, 4.0);
	EXPECT_FALSE(Object->HasField(TEXT("d")));

	// The same in an object large enough to be indexed.
	std::string Large = "{";
	for (int Member = 0; Member < 100; ++Member)
	{
		Large += "\"m" + std::to_string(Member % 40) + "\":" + std::to_string(Member) + ",";
	}
	Large += "\"M0\":-1}";
	const TSharedPtr<FJsonObject> Indexed = ParseDatagramBytes(Large);
	ASSERT_TRUE(Indexed.IsValid());
	ASSERT_EQ(Indexed->Values.Num(), 40);
	EXPECT_EQ(Indexed->Values[0].Key.ToUtf8(), "M0");
	ASSERT_TRUE(Indexed->TryGetNumberField(TEXT("m0"), Number));
	EXPECT_EQ(Number, -1.0);
	ASSERT_TRUE(Indexed->TryGetNumberField(TEXT("m39"), Number));
	EXPECT_EQ(Number, 79.0);
}

TEST(JsonReading, OnlyOneObjectWithWhiteSpaceAroundItIsAccepted)
{
	EXPECT_TRUE(ParseDatagramBytes(" \t\r\n{\"a\":[]} \n").IsValid());
	for (const char* Text :
		{"", " ", "[]", "1", "\"x\"", "null", "{} {}", "{}x", "{}\f", "\f{}", "{\"a\":1,}", "{\"a\":NaN}", "{\"a\":1e400}", "{\"a\":01}"})
	{
		EXPECT_FALSE(ParseDatagramBytes(Text).IsValid()) << Text;
	}
}

TEST(JsonReading, NestingBeyondTheLimitIsRejectedQuickly)
{
	ASSERT_EQ(FJsonReaderTesting::GetMaxDepth(), 64);
	EXPECT_TRUE(ParseDatagramBytes(Nested(64, '[', ']')).IsValid());
	EXPECT_FALSE(ParseDatagramBytes(Nested(65, '[', ']')).IsValid());

	const auto Start = std::chrono::steady_clock::now();
	for (int Round = 0; Round < 20; ++Round)
	{
		EXPECT_FALSE(ParseDatagramBytes(Nested(100000, '[', ']')).IsValid());
	}
	EXPECT_LT(std::chrono::steady_clock::now() - Start, std::chrono::seconds(5));
}

/** Parses hostile texts on a thread with the receive thread's stack size. */
class FSmallStackParser : public FRunnable
{
public:
	uint32 Run() override
	{
		for (const std::string& Text : {Nested(100000, '[', ']'), "{\"a\":" + std::string(100000, '['), std::string(50000, '{'),
				 "{\"a\":" + std::string(30000, '{') + "}"})
		{
			bAllRejected = bAllRejected && !ParseDatagramBytes(Text).IsValid();
		}
		std::string DeepestAccepted = "{\"a\":";
		for (int Level = 1; Level < 64; ++Level)
		{
			DeepestAccepted += "{\"a\":";
		}
		DeepestAccepted += "1" + std::string(64, '}');
		bDeepestAccepted = ParseDatagramBytes(DeepestAccepted).IsValid();
		return 0;
	}
	bool bAllRejected = true;
	bool bDeepestAccepted = false;
};

TEST(JsonReading, TheLimitCanBeLiftedAsTheEnginesReaderHasNone)
{
	FJsonReaderTesting::SetMaxDepth(0);
	const bool bDeepParsed = ParseDatagramBytes(Nested(1000, '[', ']')).IsValid();
	FJsonReaderTesting::SetMaxDepth(64);
	EXPECT_TRUE(bDeepParsed);
	EXPECT_FALSE(ParseDatagramBytes(Nested(1000, '[', ']')).IsValid());
}

TEST(JsonReading, HostileNestingIsSafeOnASmallThreadStack)
{
	FSmallStackParser Parser;
	FRunnableThread* Thread = FRunnableThread::Create(&Parser, TEXT("SmallStack"), 128 * 1024);
	ASSERT_NE(Thread, nullptr);
	Thread->WaitForCompletion();
	delete Thread;
	EXPECT_TRUE(Parser.bAllRejected);
	EXPECT_TRUE(Parser.bDeepestAccepted);
}

TEST(JsonReading, ValuesConvertBetweenKindsAsTheEngineDoesAndLogWhereItCannot)
{
	const TSharedPtr<FJsonObject> Object =
		ParseDatagramBytes(R"({"v":["2.5","-7","x","1e3"," 1","+.5",true,false,null,[1],{},7,0.1,1e21,-0.0]})");
	ASSERT_TRUE(Object.IsValid());
	const TArray<TSharedPtr<FJsonValue>>* Values = nullptr;
	ASSERT_TRUE(Object->TryGetArrayField(TEXT("V"), Values));
	const double Numbers[] = {2.5, -7, 0, 0, 0, 0.5, 1, 0, 0, 0, 0, 7, 0.1, 1e21, 0};
	const char* Texts[] = {"2.5", "-7", "x", "1e3", " 1", "+.5", "true", "false", "", "", "", "7", "0.1", "1e+21", "-0"};
	ASSERT_EQ(Values->Num(), 15);
	FLogCapture Log;
	for (int32 Index = 0; Index < Values->Num(); ++Index)
	{
		EXPECT_EQ((*Values)[Index]->AsNumber(), Numbers[Index]) << Index;
		EXPECT_EQ((*Values)[Index]->AsString().ToUtf8(), Texts[Index]) << Index;
	}
	// A text that is not numeric, null, an array and an object have no number; the last three have no text either.
	EXPECT_EQ(Log.CountLines("LogJson", "Json Value of type 'String' used as a 'Number'."), 3);
	EXPECT_EQ(Log.CountLines("LogJson", "Json Value of type 'Null' used as a 'String'."), 1);
	EXPECT_EQ(Log.CountLines("LogJson", "Json Value of type 'Array' used as a 'Number'."), 1);
	EXPECT_EQ(Log.CountLines("LogJson", "Json Value of type 'Object' used as a 'String'."), 1);
	EXPECT_EQ(Log.GetLines().size(), 9u);

	// An object asked of a value that is not one is a shared empty object, not null.
	const TSharedPtr<FJsonObject>& NotAnObject = (*Values)[9]->AsObject();
	ASSERT_TRUE(NotAnObject.IsValid());
	EXPECT_EQ(NotAnObject->Values.Num(), 0);
	EXPECT_EQ((*Values)[0]->AsArray().Num(), 0);
	EXPECT_EQ((*Values)[9]->AsArray().Num(), 1);
}

TEST(JsonReading, ArrayFieldsAreFoundOnlyWhenTheMemberIsAnArray)
{
	const TSharedPtr<FJsonObject> Object =
		ParseDatagramBytes(R"({"empty":[],"pair":[1,"x"],"text":"1,2,3","number":3,"object":{"a":[1]},"yes":true,"none":null})");
	ASSERT_TRUE(Object.IsValid());
	const TArray<TSharedPtr<FJsonValue>>* Array = nullptr;
	ASSERT_TRUE(Object->TryGetArrayField(TEXT("Pair"), Array));
	ASSERT_NE(Array, nullptr);
	EXPECT_EQ(Array->Num(), 2);
	ASSERT_TRUE(Object->TryGetArrayField(TEXT("empty"), Array));
	EXPECT_EQ(Array->Num(), 0);

	const TArray<TSharedPtr<FJsonValue>> Untouched;
	for (const TCHAR* Name : {TEXT("text"), TEXT("number"), TEXT("object"), TEXT("yes"), TEXT("none"), TEXT("missing"), TEXT("a")})
	{
		Array = &Untouched;
		EXPECT_FALSE(Object->TryGetArrayField(Name, Array)) << FString(Name).ToUtf8();
		EXPECT_EQ(Array, &Untouched) << FString(Name).ToUtf8();
	}
}

TEST(JsonReading, IntegerFieldsAreNumbersOrNumericTextsTruncated)
{
	const TSharedPtr<FJsonObject> Object = ParseDatagramBytes(R"({"a":2.9,"b":-2.9,"e":"2","f":true,"g":null,"h":"x"})");
	ASSERT_TRUE(Object.IsValid());
	int32 Value = 42;
	ASSERT_TRUE(Object->TryGetNumberField(TEXT("a"), Value));
	EXPECT_EQ(Value, 2);
	ASSERT_TRUE(Object->TryGetNumberField(TEXT("b"), Value));
	EXPECT_EQ(Value, -2);
	ASSERT_TRUE(Object->TryGetNumberField(TEXT("e"), Value));
	EXPECT_EQ(Value, 2);
	ASSERT_TRUE(Object->TryGetNumberField(TEXT("f"), Value));
	EXPECT_EQ(Value, 1);
	Value = 42;
	EXPECT_FALSE(Object->TryGetNumberField(TEXT("g"), Value));
	EXPECT_FALSE(Object->TryGetNumberField(TEXT("h"), Value));
	EXPECT_FALSE(Object->TryGetNumberField(TEXT("missing"), Value));
	EXPECT_EQ(Value, 42);
}

TEST(JsonReading, EscapesDecodeToUtf16IncludingSurrogatePairs)
{
	const TSharedPtr<FJsonObject> Object = ParseDatagramBytes(R"({"s":"\u00e9\"\\\/\b\f\n\r\t\ud83c\udfac\u0000"})");
	ASSERT_TRUE(Object.IsValid());
	const FString Text = Object->GetStringField(TEXT("s"));
	ASSERT_EQ(Text.Len(), 12);
	EXPECT_EQ(Text[0], 0x00E9);
	EXPECT_EQ(Text[9], 0xD83C);
	EXPECT_EQ(Text[10], 0xDFAC);
	EXPECT_EQ(Text[11], 0);
	EXPECT_FALSE(ParseDatagramBytes(R"({"s":"\ud83c"})").IsValid()) << "a lone high surrogate escape";
	// A lone low surrogate is kept as the code unit it names (the packaged reader asserts on it unless told).
	const TSharedPtr<FJsonObject> Low = ParseDatagramBytes(R"({"s":"a\udc00"})");
	ASSERT_TRUE(Low.IsValid());
	ASSERT_EQ(Low->GetStringField(TEXT("s")).Len(), 2);
	EXPECT_EQ(Low->GetStringField(TEXT("s"))[1], 0xDC00);
}

TEST(JsonReading, ATreeOutlivesItsReaderAndHoldsItsElements)
{
	TSharedPtr<FJsonValue> Element;
	{
		const TSharedPtr<FJsonObject> Object = ParseDatagramBytes(R"({"a":[{"b":"kept"}]})");
		ASSERT_TRUE(Object.IsValid());
		Element = Object->TryGetField(TEXT("a"))->AsArray()[0];
	}
	// The element keeps what it needs alive after the document is gone.
	EXPECT_EQ(Element->AsObject()->GetStringField(TEXT("b")).ToUtf8(), "kept");
}

TEST(JsonReading, NumbersReadAsTheDoubleNearestToTheirText)
{
	// Short numbers take a one-step exact path, the rest the full conversion: both must agree with strtod bit for
	// bit, across the border between them (17 digits, 2^53, 10^22) and far from it.
	std::vector<std::string> Texts = {"0", "-0", "0.0", "-0.0e5", "0e300", "9007199254740992", "9007199254740993", "-9007199254740993",
		"1e22", "1e23", "123456789012345678", "0.1", "0.30000000000000004", "1.7976931348623157e308", "4.9e-324", "2.2250738585072011e-308",
		"1.7777777777777777", "0.0130526", "120.53125", "1E+2", "1e-22", "7e-23", "0.00000000000000000000000000001",
		"100000000000000000000000000000.5"};
	std::mt19937_64 Random(20261208);
	for (int Count = 0; Count < 4000; ++Count)
	{
		std::string Text = (Random() % 4 == 0) ? "-" : "";
		const int IntegerDigits = static_cast<int>(Random() % 12);
		Text += IntegerDigits == 0 ? "0" : std::to_string(1 + Random() % 9);
		for (int Index = 1; Index < IntegerDigits; ++Index)
		{
			Text += static_cast<char>('0' + Random() % 10);
		}
		if (const int FractionDigits = static_cast<int>(Random() % 14); FractionDigits > 0)
		{
			Text += '.';
			for (int Index = 0; Index < FractionDigits; ++Index)
			{
				Text += static_cast<char>('0' + Random() % 10);
			}
		}
		if (Random() % 2 == 0)
		{
			Text += 'e' + std::to_string(static_cast<int>(Random() % 61) - 30);
		}
		Texts.push_back(Text);
	}

	std::string Document = R"({"n":[)";
	for (size_t Index = 0; Index < Texts.size(); ++Index)
	{
		Document += (Index == 0 ? "" : ",") + Texts[Index];
	}
	Document += "]}";
	const TSharedPtr<FJsonObject> Object = ParseDatagramBytes(Document);
	ASSERT_TRUE(Object.IsValid());
	const TArray<TSharedPtr<FJsonValue>>& Numbers = Object->TryGetField(TEXT("n"))->AsArray();
	ASSERT_EQ(Numbers.Num(), static_cast<int32>(Texts.size()));
	for (size_t Index = 0; Index < Texts.size(); ++Index)
	{
		const double Expected = std::strtod(Texts[Index].c_str(), nullptr);
		EXPECT_EQ(std::bit_cast<uint64_t>(Numbers[static_cast<int32>(Index)]->AsNumber()), std::bit_cast<uint64_t>(Expected))
			<< Texts[Index];
	}
}

TEST(JsonReading, AZeroCharacterInsideTheTextIsNeverTakenForItsEnd)
{
	const auto Parse = [](std::u16string Text) {
		TSharedPtr<FJsonObject> Object;
		const bool bParsed = FJsonSerializer::Deserialize(TJsonReaderFactory<TCHAR>::Create(FString(MoveTemp(Text))), Object);
		EXPECT_EQ(bParsed, Object.IsValid());
		return bParsed;
	};
	EXPECT_TRUE(Parse(u"{\"a\":1}"));
	EXPECT_FALSE(Parse(std::u16string(u"{\"a\":1}\0{\"b\":2}", 15))) << "text after a zero character is still text";
	EXPECT_FALSE(Parse(std::u16string(u"{\"a\":\"x\0y\"}", 11)));
	EXPECT_FALSE(Parse(std::u16string(u"{\"a\":1\0}", 8)));
	EXPECT_FALSE(Parse(u""));
}
} // namespace
