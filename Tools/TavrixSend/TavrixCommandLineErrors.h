// The tools' own wording for what CLI11 refuses, so that every refusal names the argument at fault.
#pragma once

#include <CLI/CLI.hpp>

#include <span>
#include <string>

namespace TavrixSend
{
/**
 * One line saying what is wrong with InArguments (without the program name), after InApp refused them with InError:
 * an unknown option or stray argument, a value missing at the end, a value given to a switch that takes none, or
 * else CLI11's own sentence.
 */
std::string DescribeParseError(const CLI::App& InApp, const CLI::ParseError& InError, std::span<const std::string> InArguments);

/** The first option of InApp given more than once, if any; its name, else empty. */
std::string FindRepeatedOption(const CLI::App& InApp);
} // namespace TavrixSend
