#include "TavrixCapturedPacket.h"
#include "TavrixPcapFormat.h"

#include <gtest/gtest.h>
#include <pcap/pcap.h>

#include <string>
#include <vector>

namespace
{
using namespace TavrixPcapFormat;

/** The packet a record carries: its IPv4 header onwards, headers and payload as they stand in the file. */
std::vector<uint8_t> MakePacket(const std::string& InPayload, const FEndpoint& InSender, const FEndpoint& InReceiver, int64 InArrival = 0)
{
	std::vector<uint8_t> Record(RecordOverhead);
	WriteRecordHeaders(Record.data(), InArrival, InSender, InReceiver, 7, static_cast<int32>(InPayload.size()));
	Record.insert(Record.end(), InPayload.begin(), InPayload.end());
	return std::vector<uint8_t>(Record.begin() + RecordHeaderSize, Record.end());
}
} // namespace

TEST(PcapRecordFormat, HeaderChecksumMatchesAWorkedExample)
{
	// A UDP packet from 192.168.0.1 to 192.168.0.199, as RFC 1071 style examples give it; its checksum is 0xB861.
	const uint8 Header[20] = {
		0x45, 0x00, 0x00, 0x73, 0x00, 0x00, 0x40, 0x00, 0x40, 0x11, 0x00, 0x00, 0xC0, 0xA8, 0x00, 0x01, 0xC0, 0xA8, 0x00, 0xC7};
	EXPECT_EQ(IPv4HeaderChecksum(Header, 20), 0xB861);
}

TEST(PcapRecordFormat, WrittenHeaderChecksumVerifies)
{
	// A header whose checksum is right sums, checksum included, to all ones: its checksum over itself is zero.
	for (const int32 PayloadSize : {0, 1, 300, MaxPayloadSize})
	{
		const std::vector<uint8_t> Packet =
			MakePacket(std::string(static_cast<size_t>(PayloadSize), 'x'), FEndpoint{0xC0A80A05, 50000}, FEndpoint{0x7F000001, 9001});
		EXPECT_EQ(IPv4HeaderChecksum(Packet.data(), IPv4HeaderSize), 0) << PayloadSize << " bytes";
	}
}

TEST(PcapRecordFormat, PacketReadsBackAsTheDatagramWithItsEnds)
{
	const std::string Payload = "{\"TVKCamera\":[{\"State\":2}]}";
	const std::vector<uint8_t> Packet = MakePacket(Payload, FEndpoint{0x0A000005, 50000}, FEndpoint{0x7F000001, 9001});
	const TavrixSend::FTavrixCapturedPacket Read = TavrixSend::ReadCapturedPacket(DLT_RAW, Packet);
	ASSERT_EQ(Read.Kind, TavrixSend::ETavrixPacketKind::UdpDatagram);
	EXPECT_EQ(std::string(Read.Payload.begin(), Read.Payload.end()), Payload);
	EXPECT_EQ(Read.Source, (TavrixSend::FTavrixEndpoint{0x0A000005, 50000}));
	EXPECT_EQ(Read.Destination, (TavrixSend::FTavrixEndpoint{0x7F000001, 9001}));
}

TEST(PcapRecordFormat, LargestPayloadFillsTheIPv4LengthExactly)
{
	const std::vector<uint8_t> Packet = MakePacket(std::string(static_cast<size_t>(MaxPayloadSize), 'y'), FEndpoint{1, 2}, FEndpoint{3, 4});
	ASSERT_EQ(Packet.size(), 65535u);
	EXPECT_EQ((Packet[2] << 8) | Packet[3], 65535);
	const TavrixSend::FTavrixCapturedPacket Read = TavrixSend::ReadCapturedPacket(DLT_RAW, Packet);
	ASSERT_EQ(Read.Kind, TavrixSend::ETavrixPacketKind::UdpDatagram);
	EXPECT_EQ(Read.Payload.size(), static_cast<size_t>(MaxPayloadSize));
}

TEST(PcapRecordFormat, RecordHeaderCarriesTimeAndLengths)
{
	std::vector<uint8_t> Record(RecordOverhead);
	WriteRecordHeaders(Record.data(), 1'700'000'123'456'789, FEndpoint{1, 2}, FEndpoint{3, 4}, 0, 100);
	auto Little32 = [&Record](size_t Offset) {
		return uint32_t(Record[Offset]) | (uint32_t(Record[Offset + 1]) << 8) | (uint32_t(Record[Offset + 2]) << 16) |
			(uint32_t(Record[Offset + 3]) << 24);
	};
	EXPECT_EQ(Little32(0), 1'700'000'123u);
	EXPECT_EQ(Little32(4), 456'789u);
	EXPECT_EQ(Little32(8), 128u);
	EXPECT_EQ(Little32(12), 128u);
	EXPECT_EQ(ReadRecordSize(Record.data()), RecordOverhead + 100);
}
