#include "CodeGenerator.h"
#include "HeaderParser.h"

#include <gtest/gtest.h>

#include <string>

namespace
{
const std::string Prologue = "#pragma once\n#include \"UObject/Object.h\"\n#include \"Sample.generated.h\"\n";

/** The parse of Text as the header Sample.h; fails the test with the tool's message when it does not parse. */
FReflectedHeader Parse(const std::string& Text)
{
	FReflectedHeader Header;
	std::string Error;
	EXPECT_TRUE(ParseReflectedHeader(Text, "Sample.h", Header, Error)) << Error;
	return Header;
}

/** The tool's message for Text, which must not parse. */
std::string ParseError(const std::string& Text)
{
	FReflectedHeader Header;
	std::string Error;
	EXPECT_FALSE(ParseReflectedHeader(Text, "Sample.h", Header, Error));
	EXPECT_TRUE(Header.Classes.empty());
	return Error;
}

std::string ClassWith(const std::string& Members)
{
	return Prologue + "UCLASS()\nclass USample : public UObject\n{\n\tGENERATED_BODY()\n" + Members + "};\n";
}

std::string MetaValue(const FReflectedMetaData& MetaData, const std::string& Key)
{
	for (const auto& [EntryKey, Value] : MetaData)
	{
		if (EntryKey == Key)
		{
			return Value;
		}
	}
	return "<missing>";
}
} // namespace

TEST(HeaderToolParsing, ReadsAnEngineShapedSettingsClass)
{
	const FReflectedHeader Header = Parse(Prologue + R"(
UCLASS(config = Game, defaultconfig, meta = (ToolTip = "Implements the settings."))
class SAMPLE_API USampleSettings : public UObject
{
	GENERATED_BODY()
public:
	USampleSettings();
	UPROPERTY(config, EditAnywhere, Category = "Sample", meta = (ToolTip = "Address"))
	FString Address;
	UPROPERTY(config, EditAnywhere, Category = "Sample")
	int32 Port;
	UPROPERTY(VisibleAnywhere, Transient)
	bool bFlag = true;
};
)");

	ASSERT_EQ(Header.Classes.size(), 1u);
	const FReflectedClass& Class = Header.Classes[0];
	EXPECT_EQ(Class.Name, "USampleSettings");
	EXPECT_EQ(Class.SuperName, "UObject");
	EXPECT_EQ(Class.ConfigName, "Game");
	EXPECT_TRUE(Class.bDefaultConfig);
	EXPECT_FALSE(Class.bAbstract);
	EXPECT_EQ(MetaValue(Class.MetaData, "ToolTip"), "Implements the settings.");
	EXPECT_EQ(Class.GeneratedBodyLine, 8);
	ASSERT_EQ(Class.Properties.size(), 3u);
	EXPECT_EQ(Class.Properties[0].Name, "Address");
	EXPECT_EQ(Class.Properties[0].Type, "FString");
	EXPECT_TRUE(Class.Properties[0].bConfig && Class.Properties[0].bEdit && !Class.Properties[0].bEditConst);
	EXPECT_EQ(MetaValue(Class.Properties[0].MetaData, "Category"), "Sample");
	EXPECT_EQ(Class.Properties[1].Type, "int32");
	EXPECT_EQ(Class.Properties[1].Line, 13);
	EXPECT_TRUE(Class.Properties[2].bEditConst && Class.Properties[2].bTransient && !Class.Properties[2].bConfig);
}

TEST(HeaderToolParsing, SkipsCommentsStringsAndCharactersThatLookLikeDeclarations)
{
	const FReflectedHeader Header = Parse(Prologue + R"(
/* UCLASS() class UFake : public UObject { GENERATED_BODY() };
   UPROPERTY() int32 InComment; */
// UPROPERTY() int32 InLineComment; \
   UPROPERTY() int32 InContinuedComment;
#define NOT_A_DECLARATION UPROPERTY() int32 InMacro;
UCLASS()
class USample : public UObject
{
	GENERATED_BODY()
	const char* Text = "UPROPERTY() int32 InString; /* not a comment";
	char Quote = '"';
	UPROPERTY()
	int32 Real = 1'000;
	void Function() { if (Quote == '}') { Real = 0; } }
};
)");

	ASSERT_EQ(Header.Classes.size(), 1u);
	EXPECT_EQ(Header.Classes[0].Name, "USample");
	EXPECT_EQ(Header.Classes[0].GeneratedBodyLine, 13);
	ASSERT_EQ(Header.Classes[0].Properties.size(), 1u);
	EXPECT_EQ(Header.Classes[0].Properties[0].Name, "Real");
	EXPECT_EQ(Header.Classes[0].Properties[0].Line, 16);
}

TEST(HeaderToolParsing, ReadsMultiLineMetaAndEveryKindOfLiteral)
{
	const FReflectedHeader Header = Parse(ClassWith(R"(
	UPROPERTY(EditAnywhere,
		Category = Plain,
		meta = (
			ToolTip = "Say \"hi\" to C:\\Temp\n// kept",
			Joined = "one " u8"two " R"x(three "raw" \n)x",
			Escapes = "\x41\101\u00e9",
			ClampMin = -5,
			Flag))
	FString Text;
)"));

	ASSERT_EQ(Header.Classes.size(), 1u);
	ASSERT_EQ(Header.Classes[0].Properties.size(), 1u);
	const FReflectedMetaData& Meta = Header.Classes[0].Properties[0].MetaData;
	EXPECT_EQ(MetaValue(Meta, "Category"), "Plain");
	EXPECT_EQ(MetaValue(Meta, "ToolTip"), "Say \"hi\" to C:\\Temp\n// kept");
	EXPECT_EQ(MetaValue(Meta, "Joined"), "one two three \"raw\" \\n");
	EXPECT_EQ(MetaValue(Meta, "Escapes"), "AA\xC3\xA9");
	EXPECT_EQ(MetaValue(Meta, "ClampMin"), "-5");
	EXPECT_EQ(MetaValue(Meta, "Flag"), "");
}

TEST(HeaderToolParsing, ReadsSeveralClassesAndTheirBases)
{
	const FReflectedHeader Header = Parse(Prologue + R"(
UCLASS(Abstract, config = Engine)
class UFirst : public UObject
{
	GENERATED_BODY()
};
UCLASS(MinimalAPI)
class USecond final : public ::UFirst
{
	GENERATED_BODY()
};
)");

	ASSERT_EQ(Header.Classes.size(), 2u);
	EXPECT_TRUE(Header.Classes[0].bAbstract);
	EXPECT_EQ(Header.Classes[0].ConfigName, "Engine");
	EXPECT_EQ(Header.Classes[1].Name, "USecond");
	EXPECT_EQ(Header.Classes[1].SuperName, "::UFirst");
	EXPECT_EQ(Header.Classes[1].GeneratedBodyLine, 13);
}

TEST(HeaderToolParsing, HeaderWithoutReflectedClassesNeedsNoGeneratedInclude)
{
	FReflectedHeader Header;
	std::string Error;

	EXPECT_TRUE(ParseReflectedHeader("#pragma once\nstruct FPlain { int A; };\n", "Plain.h", Header, Error)) << Error;
	EXPECT_TRUE(Header.Classes.empty());
}

TEST(HeaderToolParsing, RefusesUnsupportedPropertyTypes)
{
	for (const char* Type : {"TArray<FString>", "int", "double", "const FString", "static bool", "FName"})
	{
		const std::string Error = ParseError(ClassWith(std::string("\tUPROPERTY()\n\t") + Type + " Value;\n"));
		EXPECT_NE(Error.find("Sample.h:9: error: unsupported property type"), std::string::npos) << Error;
	}
}

TEST(HeaderToolParsing, RefusesDeclarationsItCannotRegister)
{
	EXPECT_NE(ParseError(ClassWith("\tUPROPERTY()\n\tbool bFlag : 1;\n")).find("Sample.h:9: error: bit-field"), std::string::npos);
	EXPECT_NE(ParseError(ClassWith("\tUPROPERTY()\n\tint32 Values[4];\n")).find("Sample.h:9: error: array"), std::string::npos);
	EXPECT_NE(ParseError(ClassWith("\tUPROPERTY()\n\tint32 A, B;\n")).find("Sample.h:9: error: declare one member"), std::string::npos);
	EXPECT_NE(ParseError(ClassWith("\tUPROPERTY()\n\tint32 Get();\n")).find("not a function"), std::string::npos);
	EXPECT_NE(ParseError(ClassWith("\tUPROPERTY() int32 A;\n\tUPROPERTY() int32 A;\n")).find("declared twice"), std::string::npos);
	EXPECT_NE(ParseError(ClassWith("\tstruct FInner { UPROPERTY() int32 A; };\n")).find("Sample.h:8: error: UPROPERTY must declare"),
		std::string::npos);
}

TEST(HeaderToolParsing, RefusesUnknownSpecifiersNamingThem)
{
	const std::string PropertyError = ParseError(ClassWith("\tUPROPERTY(config, EditAnywere)\n\tint32 Value;\n"));
	EXPECT_NE(PropertyError.find("Sample.h:8: error: unsupported property specifier 'EditAnywere'"), std::string::npos) << PropertyError;

	const std::string ClassError = ParseError(Prologue + "UCLASS(Blueprintable)\nclass USample : public UObject { GENERATED_BODY() };\n");
	EXPECT_NE(ClassError.find("Sample.h:4: error: unsupported class specifier 'Blueprintable'"), std::string::npos) << ClassError;

	EXPECT_NE(ParseError(ClassWith("\tUPROPERTY(EditAnywhere, VisibleAnywhere)\n\tint32 Value;\n")).find("only one Edit or Visible"),
		std::string::npos);
	EXPECT_NE(ParseError(ClassWith("\tUPROPERTY(Category)\n\tint32 Value;\n")).find("Category needs a value"), std::string::npos);
	EXPECT_NE(ParseError(ClassWith("\tUPROPERTY(meta = \"x\")\n\tint32 Value;\n")).find("meta takes a list"), std::string::npos);
}

TEST(HeaderToolParsing, RefusesClassesItCannotRegister)
{
	EXPECT_NE(ParseError(Prologue + "UCLASS()\nclass USample : public UObject\n{\n};\n")
				  .find("Sample.h:4: error: class USample has no GENERATED_BODY()"),
		std::string::npos);
	EXPECT_NE(ParseError(Prologue + "UCLASS()\nclass FSample : public UObject { GENERATED_BODY() };\n").find("starting with U"),
		std::string::npos);
	EXPECT_NE(ParseError(Prologue + "UCLASS()\nclass USample { GENERATED_BODY() };\n").find("must derive"), std::string::npos);
	EXPECT_NE(ParseError(Prologue + "UCLASS()\nclass USample : public TBase<int> { GENERATED_BODY() };\n").find("plain reflected base"),
		std::string::npos);
	EXPECT_NE(ParseError(Prologue + "UCLASS()\nclass USample : public UObject\n{\n\tGENERATED_BODY()\n").find("is not closed"),
		std::string::npos);
	EXPECT_NE(
		ParseError(Prologue + "USTRUCT()\nstruct FSample { GENERATED_BODY() };\n").find("Sample.h:4: error: USTRUCT is not supported"),
		std::string::npos);
	EXPECT_NE(
		ParseError(ClassWith("\tUFUNCTION()\n\tvoid Run();\n")).find("Sample.h:8: error: UFUNCTION is not supported"), std::string::npos);
	EXPECT_NE(ParseError(Prologue + "UPROPERTY()\nint32 Loose;\n").find("Sample.h:4: error: UPROPERTY outside"), std::string::npos);
}

TEST(HeaderToolParsing, RefusesAMissingOrMisplacedGeneratedInclude)
{
	const std::string Body = "UCLASS()\nclass USample : public UObject { GENERATED_BODY() };\n";

	const std::string Missing = ParseError("#pragma once\n#include \"UObject/Object.h\"\n" + Body);
	EXPECT_NE(Missing.find("Sample.h:3: error: a header declaring UCLASS classes must include \"Sample.generated.h\""), std::string::npos)
		<< Missing;

	const std::string Misplaced = ParseError("#include \"Sample.generated.h\"\n#include \"UObject/Object.h\"\n" + Body);
	EXPECT_NE(Misplaced.find("Sample.h:2: error: \"Sample.generated.h\" must be the last include"), std::string::npos) << Misplaced;
}

TEST(HeaderToolParsing, RefusesUnclosedCommentsAndLiterals)
{
	EXPECT_NE(ParseError(Prologue + "/* open\n\nUCLASS()\n").find("Sample.h:4: error: comment is not closed"), std::string::npos);
	EXPECT_NE(ParseError(ClassWith("\tUPROPERTY(meta = (ToolTip = \"open))\n\tint32 A;\n"))
				  .find("Sample.h:8: error: string literal is not closed"),
		std::string::npos);
	EXPECT_NE(ParseError(ClassWith("\tUPROPERTY(meta = (ToolTip = \"\\q\"))\n\tint32 A;\n")).find("unknown escape \\q"), std::string::npos);
}

TEST(HeaderToolParsing, GeneratedLiteralsKeepEveryByte)
{
	EXPECT_EQ(EscapeForCppLiteral("a\"b\\c\nd\te"), "a\\\"b\\\\c\\nd\\te");
	// An octal escape always has three digits, so a digit after it stays a character of its own.
	EXPECT_EQ(EscapeForCppLiteral(std::string("\x01") + "7"), "\\0017");
	EXPECT_EQ(EscapeForCppLiteral("\xC3\xA9"), "\xC3\xA9");
}
