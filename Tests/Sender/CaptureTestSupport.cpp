#include "CaptureTestSupport.h"

#include <gtest/gtest.h>
#include <pcap/pcap.h>

#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace CaptureTest
{
namespace
{
void PutBig16(FBytes& OutBytes, uint32_t InValue)
{
	OutBytes.push_back(static_cast<uint8_t>(InValue >> 8));
	OutBytes.push_back(static_cast<uint8_t>(InValue));
}

void PutBig32(FBytes& OutBytes, uint32_t InValue)
{
	PutBig16(OutBytes, InValue >> 16);
	PutBig16(OutBytes, InValue & 0xFFFF);
}

void Append(FBytes& OutBytes, const FBytes& InMore)
{
	OutBytes.insert(OutBytes.end(), InMore.begin(), InMore.end());
}

void Append(FBytes& OutBytes, std::string_view InMore)
{
	OutBytes.insert(OutBytes.end(), InMore.begin(), InMore.end());
}

uint16_t HeaderChecksum(const uint8_t* InHeader, size_t InSize)
{
	uint32_t Sum = 0;
	for (size_t Index = 0; Index + 1 < InSize; Index += 2)
	{
		Sum += (uint32_t{InHeader[Index]} << 8) | InHeader[Index + 1];
	}
	while (Sum > 0xFFFF)
	{
		Sum = (Sum & 0xFFFF) + (Sum >> 16);
	}
	return static_cast<uint16_t>(~Sum);
}

FBytes UdpSegment(std::string_view InPayload, uint16_t InSourcePort, uint16_t InDestinationPort)
{
	FBytes Udp;
	PutBig16(Udp, InSourcePort);
	PutBig16(Udp, InDestinationPort);
	PutBig16(Udp, static_cast<uint32_t>(8 + InPayload.size()));
	PutBig16(Udp, 0);
	Append(Udp, InPayload);
	return Udp;
}

/** Host-order words, as a pcapng writer on this machine lays them out; readers follow the byte-order magic. */
void PutHost32(std::string& OutBytes, uint32_t InValue)
{
	OutBytes.append(reinterpret_cast<const char*>(&InValue), sizeof(InValue));
}

void PutHost16(std::string& OutBytes, uint16_t InValue)
{
	OutBytes.append(reinterpret_cast<const char*>(&InValue), sizeof(InValue));
}
} // namespace

FBytes MakeIPv4Udp(std::string_view InPayload, const TavrixSend::FTavrixEndpoint& InFrom, const TavrixSend::FTavrixEndpoint& InTo,
	const FIPv4Shape& InShape)
{
	const FBytes Body = InShape.Protocol == 17 ? UdpSegment(InPayload, InFrom.Port, InTo.Port) : FBytes(InPayload.begin(), InPayload.end());
	const size_t HeaderSize = 20 + InShape.OptionWords * 4;
	FBytes Packet;
	Packet.push_back(static_cast<uint8_t>(0x40 | (HeaderSize / 4)));
	Packet.push_back(0);
	PutBig16(Packet, static_cast<uint32_t>(HeaderSize + Body.size()));
	PutBig16(Packet, 0x1234);
	PutBig16(Packet, InShape.FragmentField);
	Packet.push_back(64);
	Packet.push_back(InShape.Protocol);
	PutBig16(Packet, 0);
	PutBig32(Packet, InFrom.Address);
	PutBig32(Packet, InTo.Address);
	// No-operation options: any option bytes would do, the payload must be found after them.
	Packet.insert(Packet.end(), InShape.OptionWords * 4, 0x01);
	const uint16_t Checksum = HeaderChecksum(Packet.data(), HeaderSize);
	Packet[10] = static_cast<uint8_t>(Checksum >> 8);
	Packet[11] = static_cast<uint8_t>(Checksum);
	Append(Packet, Body);
	return Packet;
}

FBytes MakeIPv6Udp(std::string_view InPayload, uint16_t InDestinationPort)
{
	const FBytes Udp = UdpSegment(InPayload, CameraHost.Port, InDestinationPort);
	FBytes Packet{0x60, 0, 0, 0};
	PutBig16(Packet, static_cast<uint32_t>(Udp.size()));
	Packet.push_back(17);
	Packet.push_back(64);
	for (const uint8_t LastByte : {uint8_t{5}, uint8_t{9}})
	{
		const FBytes Address{0xFD, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, LastByte};
		Append(Packet, Address);
	}
	Append(Packet, Udp);
	return Packet;
}

FBytes Ethernet(const FBytes& InNetwork, uint16_t InEtherType, const std::vector<uint16_t>& InTagTypes)
{
	FBytes Linked{0x02, 0, 0, 0, 0, 0x09, 0x02, 0, 0, 0, 0, 0x05};
	for (const uint16_t TagType : InTagTypes)
	{
		PutBig16(Linked, TagType);
		PutBig16(Linked, 0x0064);
	}
	PutBig16(Linked, InEtherType);
	Append(Linked, InNetwork);
	return Linked;
}

FBytes Cooked(const FBytes& InNetwork, uint16_t InProtocol)
{
	FBytes Linked;
	PutBig16(Linked, 0); // addressed to this host
	PutBig16(Linked, 1); // ARPHRD_ETHER
	PutBig16(Linked, 6);
	Append(Linked, FBytes{0x02, 0, 0, 0, 0, 0x05, 0, 0});
	PutBig16(Linked, InProtocol);
	Append(Linked, InNetwork);
	return Linked;
}

FBytes Cooked2(const FBytes& InNetwork, uint16_t InProtocol)
{
	FBytes Linked;
	PutBig16(Linked, InProtocol);
	PutBig16(Linked, 0);
	PutBig32(Linked, 2); // interface index
	PutBig16(Linked, 1); // ARPHRD_ETHER
	Linked.push_back(0); // addressed to this host
	Linked.push_back(6);
	Append(Linked, FBytes{0x02, 0, 0, 0, 0, 0x05, 0, 0});
	Append(Linked, InNetwork);
	return Linked;
}

FBytes Loopback(const FBytes& InNetwork, uint32_t InFamily, bool bInBigEndian)
{
	FBytes Linked;
	PutBig32(Linked, InFamily);
	if (!bInBigEndian)
	{
		std::reverse(Linked.begin(), Linked.end());
	}
	Append(Linked, InNetwork);
	return Linked;
}

FBytes Frame(int InLinkType, const FBytes& InIPv4Packet)
{
	switch (InLinkType)
	{
	case DLT_EN10MB:
		return Ethernet(InIPv4Packet);
	case DLT_LINUX_SLL:
		return Cooked(InIPv4Packet);
	case DLT_LINUX_SLL2:
		return Cooked2(InIPv4Packet);
	case DLT_NULL:
		return Loopback(InIPv4Packet, 2, false);
	case DLT_LOOP:
		return Loopback(InIPv4Packet, 2, true);
	default:
		return InIPv4Packet;
	}
}

TavrixSend::FTavrixDuration CaptureTime(std::chrono::microseconds InSinceStart)
{
	return std::chrono::seconds(1'700'000'000) + InSinceStart;
}

bool WritePcap(const std::string& InPath, int InLinkType, const std::vector<FCaptureRecord>& InRecords, bool bInNanoseconds)
{
	pcap_t* Dead =
		pcap_open_dead_with_tstamp_precision(InLinkType, 65535, bInNanoseconds ? PCAP_TSTAMP_PRECISION_NANO : PCAP_TSTAMP_PRECISION_MICRO);
	if (Dead == nullptr)
	{
		return false;
	}
	pcap_dumper_t* Dumper = pcap_dump_open(Dead, InPath.c_str());
	if (Dumper == nullptr)
	{
		pcap_close(Dead);
		return false;
	}
	for (const FCaptureRecord& Record : InRecords)
	{
		const int64_t Nanoseconds = Record.Timestamp.count();
		pcap_pkthdr Header{};
		Header.ts.tv_sec = static_cast<time_t>(Nanoseconds / 1'000'000'000);
		Header.ts.tv_usec = static_cast<suseconds_t>(bInNanoseconds ? Nanoseconds % 1'000'000'000 : Nanoseconds % 1'000'000'000 / 1000);
		Header.len = static_cast<bpf_u_int32>(Record.Bytes.size());
		Header.caplen = static_cast<bpf_u_int32>(std::min(Record.CapturedSize, Record.Bytes.size()));
		pcap_dump(reinterpret_cast<u_char*>(Dumper), &Header, Record.Bytes.data());
	}
	pcap_dump_close(Dumper);
	pcap_close(Dead);
	return true;
}

bool WritePcapng(const std::string& InPath, uint16_t InLinkType, const std::vector<FCaptureRecord>& InRecords)
{
	std::string File;
	// Section header block: byte-order magic, version 1.0, section length unknown.
	PutHost32(File, 0x0A0D0D0A);
	PutHost32(File, 28);
	PutHost32(File, 0x1A2B3C4D);
	PutHost16(File, 1);
	PutHost16(File, 0);
	PutHost32(File, 0xFFFFFFFF);
	PutHost32(File, 0xFFFFFFFF);
	PutHost32(File, 28);
	// Interface description block without options: timestamps in microseconds.
	PutHost32(File, 1);
	PutHost32(File, 20);
	PutHost16(File, InLinkType);
	PutHost16(File, 0);
	PutHost32(File, 65535);
	PutHost32(File, 20);
	for (const FCaptureRecord& Record : InRecords)
	{
		const size_t Captured = std::min(Record.CapturedSize, Record.Bytes.size());
		const size_t Padded = (Captured + 3) / 4 * 4;
		const uint32_t BlockSize = static_cast<uint32_t>(32 + Padded);
		const uint64_t Microseconds = static_cast<uint64_t>(Record.Timestamp.count() / 1000);
		PutHost32(File, 6);
		PutHost32(File, BlockSize);
		PutHost32(File, 0);
		PutHost32(File, static_cast<uint32_t>(Microseconds >> 32));
		PutHost32(File, static_cast<uint32_t>(Microseconds));
		PutHost32(File, static_cast<uint32_t>(Captured));
		PutHost32(File, static_cast<uint32_t>(Record.Bytes.size()));
		File.append(reinterpret_cast<const char*>(Record.Bytes.data()), Captured);
		File.append(Padded - Captured, '\0');
		PutHost32(File, BlockSize);
	}
	std::FILE* Out = std::fopen(InPath.c_str(), "wb");
	if (Out == nullptr)
	{
		return false;
	}
	const bool bWritten = std::fwrite(File.data(), 1, File.size(), Out) == File.size();
	return std::fclose(Out) == 0 && bWritten;
}

FTempPath::FTempPath(std::string_view InName)
	: Path(::testing::TempDir() + "TavrixCapture-" + std::to_string(::getpid()) + "-" + std::string(InName))
{
}

FTempPath::~FTempPath()
{
	std::remove(Path.c_str());
}

std::string ToText(std::span<const uint8_t> InBytes)
{
	return std::string(reinterpret_cast<const char*>(InBytes.data()), InBytes.size());
}
} // namespace CaptureTest
