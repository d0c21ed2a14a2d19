#include "TavrixCommandLineErrors.h"

namespace TavrixSend
{
namespace
{
/** CLI11 says only "argument mismatch": find the switch that was given a value, or the option left without one. */
std::string ExplainArgumentMismatch(const CLI::App& InApp, std::span<const std::string> InArguments)
{
	for (size_t Index = 0; Index < InArguments.size(); ++Index)
	{
		const std::string& Argument = InArguments[Index];
		const size_t Equals = Argument.find('=');
		const std::string Name = Argument.substr(0, Equals);
		const CLI::Option* Option = Argument.starts_with("--") ? InApp.get_option_no_throw(Name) : nullptr;
		if (Option == nullptr)
		{
			continue;
		}
		const bool bSwitch = Option->get_expected_max() == 0;
		if (bSwitch && Equals != std::string::npos)
		{
			return Name + " takes no value";
		}
		if (!bSwitch && Equals == std::string::npos && ++Index == InArguments.size())
		{
			return Name + " needs a value";
		}
	}
	return {};
}
} // namespace

std::string DescribeParseError(const CLI::App& InApp, const CLI::ParseError& InError, std::span<const std::string> InArguments)
{
	if (dynamic_cast<const CLI::ExtrasError*>(&InError) != nullptr)
	{
		const std::vector<std::string> Extras = InApp.remaining();
		if (!Extras.empty())
		{
			const std::string& First = Extras.front();
			return First.starts_with("-") ? "unknown option '" + First.substr(0, First.find('=')) + "'"
										  : "unexpected argument '" + First + "'";
		}
	}
	if (dynamic_cast<const CLI::ArgumentMismatch*>(&InError) != nullptr)
	{
		if (std::string Explained = ExplainArgumentMismatch(InApp, InArguments); !Explained.empty())
		{
			return Explained;
		}
	}
	return InError.what();
}

std::string FindRepeatedOption(const CLI::App& InApp)
{
	for (const CLI::Option* Option : InApp.get_options())
	{
		if (Option->count() > 1)
		{
			return Option->get_name();
		}
	}
	return {};
}
} // namespace TavrixSend
