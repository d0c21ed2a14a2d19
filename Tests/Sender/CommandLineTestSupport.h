// Parsing helpers shared by the command-line suites.
#pragma once

#include "TavrixSendCommandLine.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

inline TavrixSend::FTavrixSendCommandLine Parse(std::vector<std::string_view> InArguments)
{
	return TavrixSend::FTavrixSendCommandLine::Parse(InArguments);
}

/** Expects the arguments to be refused with an error that mentions InMentioned. */
inline void ExpectRejected(std::vector<std::string_view> InArguments, std::string_view InMentioned)
{
	const TavrixSend::FTavrixSendCommandLine CommandLine = Parse(InArguments);
	std::string Joined;
	for (const std::string_view Argument : InArguments)
	{
		Joined += std::string(Argument) + ' ';
	}
	EXPECT_EQ(CommandLine.Action, TavrixSend::ETavrixCommandLineAction::Reject) << Joined;
	EXPECT_NE(CommandLine.Error.find(InMentioned), std::string::npos) << Joined << "-> " << CommandLine.Error;
}
