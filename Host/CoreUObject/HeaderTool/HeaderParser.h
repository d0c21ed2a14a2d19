// The header tool's reader: finds the UCLASS classes of one C++ header with their UPROPERTY members, the way the
// engine's header tool does, from the tokens alone (comments skipped, preprocessor lines not evaluated).
#pragma once

#include <string>
#include <utility>
#include <vector>

/** One "Key = Value" of a declaration (Category, ToolTip, ...), the value as the text the literal stands for. */
using FReflectedMetaData = std::vector<std::pair<std::string, std::string>>;

struct FReflectedProperty
{
	std::string Name;
	/** As declared: "bool", "int32", "float" or "FString". */
	std::string Type;
	bool bConfig = false;
	bool bEdit = false;
	bool bEditConst = false;
	bool bTransient = false;
	FReflectedMetaData MetaData;
	int Line = 0;
};

struct FReflectedClass
{
	/** With its prefix: "UTavrixLiveLinkRuntimeSettings". */
	std::string Name;
	std::string SuperName;
	/** config = <Name>; empty when the class names no configuration. */
	std::string ConfigName;
	bool bDefaultConfig = false;
	bool bAbstract = false;
	FReflectedMetaData MetaData;
	/** The line of GENERATED_BODY(), which names the macro the generated header defines. */
	int GeneratedBodyLine = 0;
	std::vector<FReflectedProperty> Properties;
	int Line = 0;
};

struct FReflectedHeader
{
	std::vector<FReflectedClass> Classes;
};

/**
 * Reads the header text Text of the file FileName. False on anything the tool cannot reflect faithfully (an
 * unsupported type or specifier, a missing GENERATED_BODY, a missing or misplaced "<Name>.generated.h" include),
 * with OutError in the compiler's form "<FileName>:<Line>: error: <what>".
 */
bool ParseReflectedHeader(const std::string& Text, const std::string& FileName, FReflectedHeader& OutHeader, std::string& OutError);
