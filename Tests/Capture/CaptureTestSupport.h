// Folders, tools and leak counts shared by the capture tests.
#pragma once

#include "CoreMinimal.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace CaptureTest
{
/** A fresh folder in the test's temporary directory, removed with everything in it when the object goes. */
class FTempFolder
{
public:
	FTempFolder();
	~FTempFolder();
	FTempFolder(const FTempFolder&) = delete;
	FTempFolder& operator=(const FTempFolder&) = delete;

	const std::string& Get() const { return Path; }
	FString GetFString() const { return FString::FromUtf8(Path); }

private:
	std::string Path;
};

/** The executable InName on PATH (or in the usual system folders); nothing when it is not installed. */
std::optional<std::string> FindTool(const std::string& InName);

/** Open file descriptors of this process. */
int CountOpenDescriptors();
/** Threads of this process, as the system counts them. */
int CountThreads();

/** The regular files in InFolder whose names end in ".pcap", sorted by name. */
std::vector<std::string> ListCaptures(const std::string& InFolder);
int64_t FileSize(const std::string& InPath);

/** One packet as `tcpdump -r FILE -n -tt -vv -X` prints it. */
struct FTcpdumpPacket
{
	/** The lines before the hex dump: timestamp, IPv4 details, addresses and ports. */
	std::string Summary;
	/** The packet's bytes, read back from the hex dump. */
	std::vector<uint8_t> Bytes;
};

struct FTcpdumpReading
{
	int ExitCode = -1;
	std::vector<FTcpdumpPacket> Packets;
	std::string Err;
};

/** Runs tcpdump on a capture file and reads every packet it prints. */
FTcpdumpReading ReadWithTcpdump(const std::string& InTcpdump, const std::string& InPath);

/** A datagram as a test hands it to the writer. */
struct FOfferedDatagram
{
	int64_t ArrivalMicroseconds = 0;
	uint32_t SenderAddress = 0;
	uint16_t SenderPort = 0;
	std::string Payload;
};
} // namespace CaptureTest
