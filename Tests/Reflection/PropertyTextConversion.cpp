#include "ReflectionTestTypes.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <memory>

namespace
{
class PropertyTextConversion : public ::testing::Test
{
protected:
	const FProperty& Property(const char* Name) const { return *Object->GetClass()->FindPropertyByName(FName(Name)); }

	/** ImportText's result, with the error it gave (empty when it succeeded). */
	bool Import(const char* Name, const char* Text, std::string* OutError = nullptr)
	{
		FString Error;
		const bool bImported = Property(Name).ImportText(FString::FromUtf8(Text), Object.get(), &Error);
		if (OutError != nullptr)
		{
			*OutError = Error.ToUtf8();
		}
		return bImported;
	}

	std::unique_ptr<UReflectionTestSettings> Object{NewObject<UReflectionTestSettings>()};
};
} // namespace

TEST_F(PropertyTextConversion, BoolAcceptsTheEngineWordsInAnyCase)
{
	for (const char* Text : {"True", "true", " YES ", "on", "1"})
	{
		Object->bEnabled = false;
		EXPECT_TRUE(Import("bEnabled", Text)) << Text;
		EXPECT_TRUE(Object->bEnabled) << Text;
	}
	for (const char* Text : {"False", "FALSE", "no", "Off", "0\t"})
	{
		Object->bEnabled = true;
		EXPECT_TRUE(Import("bEnabled", Text)) << Text;
		EXPECT_FALSE(Object->bEnabled) << Text;
	}
	EXPECT_EQ(Property("bEnabled").ExportText(Object.get()).ToUtf8(), "False");
}

TEST_F(PropertyTextConversion, BoolRefusesOtherWordsAndKeepsItsValue)
{
	for (const char* Text : {"maybe", "", "2", "truee", "t"})
	{
		Object->bEnabled = true;
		std::string Error;
		EXPECT_FALSE(Import("bEnabled", Text, &Error)) << Text;
		EXPECT_TRUE(Object->bEnabled) << Text;
		EXPECT_NE(Error.find(std::string("\"") + Text + "\" is not a bool"), std::string::npos) << Error;
	}
}

TEST_F(PropertyTextConversion, IntAcceptsDecimalNumbersInRange)
{
	EXPECT_TRUE(Import("Port", "-2147483648"));
	EXPECT_EQ(Object->Port, std::numeric_limits<int32>::min());
	EXPECT_TRUE(Import("Port", " +42 "));
	EXPECT_EQ(Object->Port, 42);
	EXPECT_TRUE(Import("Port", "2147483647"));
	EXPECT_EQ(Property("Port").ExportText(Object.get()).ToUtf8(), "2147483647");
}

TEST_F(PropertyTextConversion, IntRefusesMalformedAndOutOfRangeText)
{
	for (const char* Text : {"12abc", "1.5", "0x10", "", "+-1", "abc", "1 2"})
	{
		std::string Error;
		EXPECT_FALSE(Import("Port", Text, &Error)) << Text;
		EXPECT_NE(Error.find("is not a whole decimal number"), std::string::npos) << Error;
	}
	std::string Error;
	EXPECT_FALSE(Import("Port", "2147483648", &Error));
	EXPECT_NE(Error.find("outside the int32 range"), std::string::npos) << Error;
	EXPECT_EQ(Object->Port, 9001);
}

TEST_F(PropertyTextConversion, FloatTextReadsBackBitForBit)
{
	for (const float Value :
		{0.1f, 1.5f, -0.0f, 1e-30f, 3.4028235e38f, std::numeric_limits<float>::denorm_min(), std::numeric_limits<float>::infinity()})
	{
		Object->Gain = Value;
		const FString Text = Property("Gain").ExportText(Object.get());
		Object->Gain = 12345.0f;
		ASSERT_TRUE(Import("Gain", Text.ToUtf8().c_str())) << Text.ToUtf8();
		EXPECT_EQ(std::bit_cast<uint32>(Object->Gain), std::bit_cast<uint32>(Value)) << Text.ToUtf8();
	}
	Object->Gain = 1.5f;
	EXPECT_EQ(Property("Gain").ExportText(Object.get()).ToUtf8(), "1.5");
}

TEST_F(PropertyTextConversion, FloatRefusesMalformedAndOutOfRangeText)
{
	for (const char* Text : {"abc", "1.5f", "1,5", ""})
	{
		std::string Error;
		EXPECT_FALSE(Import("Gain", Text, &Error)) << Text;
		EXPECT_NE(Error.find("is not a number"), std::string::npos) << Error;
	}
	std::string Error;
	EXPECT_FALSE(Import("Gain", "1e99", &Error));
	EXPECT_NE(Error.find("outside the float range"), std::string::npos) << Error;
	EXPECT_EQ(Object->Gain, 1.5f);
}

TEST_F(PropertyTextConversion, StringIsTakenAsItIs)
{
	const char* Text = "  two\nlines \"quoted\"\t";
	EXPECT_TRUE(Import("Address", Text));
	EXPECT_EQ(Object->Address.ToUtf8(), Text);
	EXPECT_EQ(Property("Address").ExportText(Object.get()).ToUtf8(), Text);
}

TEST_F(PropertyTextConversion, IdenticalToTextComparesValuesNotSpelling)
{
	Object->bEnabled = true;
	Object->Port = 5;
	Object->Gain = 0.0f;
	Object->Address = TEXT("Host");

	EXPECT_TRUE(Property("bEnabled").IdenticalToText(Object.get(), TEXT("yes")));
	EXPECT_FALSE(Property("bEnabled").IdenticalToText(Object.get(), TEXT("False")));
	EXPECT_FALSE(Property("bEnabled").IdenticalToText(Object.get(), TEXT("garbage")));
	EXPECT_TRUE(Property("Port").IdenticalToText(Object.get(), TEXT("+5")));
	EXPECT_FALSE(Property("Port").IdenticalToText(Object.get(), TEXT("6")));
	EXPECT_TRUE(Property("Gain").IdenticalToText(Object.get(), TEXT("0.000")));
	EXPECT_FALSE(Property("Gain").IdenticalToText(Object.get(), TEXT("-0")));
	EXPECT_TRUE(Property("Address").IdenticalToText(Object.get(), TEXT("Host")));
	EXPECT_FALSE(Property("Address").IdenticalToText(Object.get(), TEXT("host")));
}
