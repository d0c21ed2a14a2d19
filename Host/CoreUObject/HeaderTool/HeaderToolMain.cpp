// TavrixHeaderTool <ModuleName> <Header> <OutputDir>
// Writes <OutputDir>/<Stem>.generated.h and <OutputDir>/<Stem>.gen.cpp for the UCLASS classes of <Header>. Files whose
// contents would not change are left alone, so their dependents are not rebuilt. Errors go to stderr in the
// compiler's "file:line: error:" form and the exit status is 1.
#include "CodeGenerator.h"
#include "HeaderParser.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

namespace
{
bool ReadFile(const std::filesystem::path& Path, std::string& OutText)
{
	std::ifstream Stream(Path, std::ios::binary);
	if (!Stream)
	{
		return false;
	}
	OutText.assign(std::istreambuf_iterator<char>(Stream), std::istreambuf_iterator<char>());
	return !Stream.bad();
}

bool WriteFileIfChanged(const std::filesystem::path& Path, const std::string& Text)
{
	std::string Existing;
	if (ReadFile(Path, Existing) && Existing == Text)
	{
		return true;
	}
	std::ofstream Stream(Path, std::ios::binary | std::ios::trunc);
	Stream << Text;
	Stream.close();
	if (!Stream)
	{
		std::fprintf(stderr, "%s: error: cannot write the file\n", Path.string().c_str());
		return false;
	}
	return true;
}
} // namespace

int main(int ArgumentCount, char** Arguments)
{
	if (ArgumentCount != 4)
	{
		std::fprintf(stderr, "usage: TavrixHeaderTool <ModuleName> <Header> <OutputDir>\n");
		return 2;
	}
	const std::string ModuleName = Arguments[1];
	const std::filesystem::path HeaderPath = std::filesystem::absolute(Arguments[2]).lexically_normal();
	const std::filesystem::path OutputDir = Arguments[3];

	std::string Text;
	if (!ReadFile(HeaderPath, Text))
	{
		std::fprintf(stderr, "%s: error: cannot read the header\n", HeaderPath.string().c_str());
		return 1;
	}
	FReflectedHeader Header;
	std::string Error;
	if (!ParseReflectedHeader(Text, HeaderPath.generic_string(), Header, Error))
	{
		std::fprintf(stderr, "%s\n", Error.c_str());
		return 1;
	}
	std::error_code DirectoryError;
	std::filesystem::create_directories(OutputDir, DirectoryError);
	if (DirectoryError)
	{
		std::fprintf(stderr, "%s: error: %s\n", OutputDir.string().c_str(), DirectoryError.message().c_str());
		return 1;
	}
	const std::string Stem = HeaderPath.stem().string();
	const FGeneratedCode Code = GenerateReflectionCode(Header, ModuleName, HeaderPath.generic_string(), HeaderPath.filename().string());
	const bool bWritten = WriteFileIfChanged(OutputDir / (Stem + ".generated.h"), Code.Header) &&
		WriteFileIfChanged(OutputDir / (Stem + ".gen.cpp"), Code.Source);
	return bWritten ? 0 : 1;
}
