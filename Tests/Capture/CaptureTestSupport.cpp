#include "CaptureTestSupport.h"

#include "SenderTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <system_error>
#include <unistd.h>

namespace CaptureTest
{
FTempFolder::FTempFolder()
{
	std::string Template = ::testing::TempDir() + "TavrixCaptureTest-XXXXXX";
	if (::mkdtemp(Template.data()) != nullptr)
	{
		Path = Template;
	}
}

FTempFolder::~FTempFolder()
{
	if (!Path.empty())
	{
		std::error_code Error;
		std::filesystem::remove_all(Path, Error);
	}
}

std::optional<std::string> FindTool(const std::string& InName)
{
	std::string Directories = "/usr/sbin:/usr/bin:/sbin:/bin";
	if (const char* Path = std::getenv("PATH"))
	{
		Directories = std::string(Path) + ":" + Directories;
	}
	std::istringstream Stream(Directories);
	std::string Directory;
	while (std::getline(Stream, Directory, ':'))
	{
		const std::string Candidate = Directory + "/" + InName;
		if (!Directory.empty() && ::access(Candidate.c_str(), X_OK) == 0)
		{
			return Candidate;
		}
	}
	return std::nullopt;
}

namespace
{
int CountEntries(const char* InFolder)
{
	std::error_code Error;
	int Count = 0;
	for (std::filesystem::directory_iterator It(InFolder, Error), End; !Error && It != End; It.increment(Error))
	{
		++Count;
	}
	return Count;
}
} // namespace

int CountOpenDescriptors()
{
	// The iterator's own descriptor is counted every time alike.
	return CountEntries("/proc/self/fd");
}

int CountThreads()
{
	return CountEntries("/proc/self/task");
}

std::vector<std::string> ListCaptures(const std::string& InFolder)
{
	std::vector<std::string> Files;
	std::error_code Error;
	for (std::filesystem::directory_iterator It(InFolder, Error), End; !Error && It != End; It.increment(Error))
	{
		if (It->is_regular_file() && It->path().extension() == ".pcap")
		{
			Files.push_back(It->path().string());
		}
	}
	std::sort(Files.begin(), Files.end());
	return Files;
}

int64_t FileSize(const std::string& InPath)
{
	std::error_code Error;
	const auto Size = std::filesystem::file_size(InPath, Error);
	return Error ? -1 : static_cast<int64_t>(Size);
}

FTcpdumpReading ReadWithTcpdump(const std::string& InTcpdump, const std::string& InPath)
{
	FChildProcess Process({InTcpdump, "-r", InPath, "-n", "-tt", "-vv", "-X"});
	const FProcessResult Result = Process.Finish(std::chrono::seconds(60));
	FTcpdumpReading Reading;
	Reading.ExitCode = Result.ExitCode;
	Reading.Err = Result.Err;

	std::istringstream Lines(Result.Out);
	std::string Line;
	while (std::getline(Lines, Line))
	{
		// Hex lines read "\t0x0010:  4500 0030 ...  ascii"; every other line is part of a packet's summary, the
		// first one starting with the timestamp.
		const size_t Offset = Line.find("0x");
		const size_t Colon = Line.find(':', Offset == std::string::npos ? 0 : Offset);
		const bool bHexLine = Offset != std::string::npos && Line.find_first_not_of(" \t") == Offset && Colon != std::string::npos;
		if (!bHexLine)
		{
			if (!Line.empty() && std::isdigit(static_cast<unsigned char>(Line[0])))
			{
				Reading.Packets.emplace_back();
			}
			if (!Reading.Packets.empty())
			{
				Reading.Packets.back().Summary += Line + "\n";
			}
			continue;
		}
		if (Reading.Packets.empty())
		{
			continue;
		}
		// The hex groups end at the first double space after the colon's own two spaces.
		const size_t HexStart = Colon + 3;
		const size_t HexEnd = Line.find("  ", HexStart);
		const std::string Hex = Line.substr(HexStart, HexEnd == std::string::npos ? std::string::npos : HexEnd - HexStart);
		std::string Digits;
		for (const char Character : Hex)
		{
			if (std::isxdigit(static_cast<unsigned char>(Character)))
			{
				Digits.push_back(Character);
			}
		}
		for (size_t Index = 0; Index + 1 < Digits.size(); Index += 2)
		{
			Reading.Packets.back().Bytes.push_back(static_cast<uint8_t>(std::stoi(Digits.substr(Index, 2), nullptr, 16)));
		}
	}
	return Reading;
}
} // namespace CaptureTest
