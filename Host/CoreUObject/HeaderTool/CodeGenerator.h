// The header tool's writer: the .generated.h (what GENERATED_BODY expands to) and the .gen.cpp (StaticClass and the
// registration of class metadata and offsetof-based properties) for one reflected header.
#pragma once

#include "HeaderParser.h"

#include <string>

struct FGeneratedCode
{
	std::string Header;
	std::string Source;
};

/**
 * ModuleName gives the package ("/Script/<ModuleName>"); HeaderPath is how the .gen.cpp includes the header;
 * HeaderFileName is the header's file name, from which the GENERATED_BODY macro names are made.
 */
FGeneratedCode GenerateReflectionCode(
	const FReflectedHeader& Header, const std::string& ModuleName, const std::string& HeaderPath, const std::string& HeaderFileName);

/** Text as a C++ string literal body: quotes, backslashes and control characters escaped, other bytes as they are. */
std::string EscapeForCppLiteral(const std::string& Text);
