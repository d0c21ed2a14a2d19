#include "CaptureTestSupport.h"
#include "TavrixCapturedPacket.h"

#include <gtest/gtest.h>
#include <pcap/dlt.h>

using namespace TavrixSend;
using namespace CaptureTest;

namespace
{
const std::string Payload = R"({"TVKCamera":[{"Version":1,"State":2}]})";

ETavrixPacketKind KindOf(int InLinkType, const FBytes& InBytes)
{
	return ReadCapturedPacket(InLinkType, InBytes).Kind;
}

FBytes Cut(FBytes InBytes, size_t InSize)
{
	InBytes.resize(InSize);
	return InBytes;
}
} // namespace

TEST(CapturedPacketReading, FindsThePayloadBehindEveryLinkLayer)
{
	const FTavrixEndpoint From{0xC0A80A05, 40123};
	const FTavrixEndpoint To{0x7F000001, 9001};
	for (const int LinkType : ReplayableLinkTypes)
	{
		EXPECT_TRUE(IsReplayableLinkType(LinkType)) << LinkType;
		const FBytes Framed = Frame(LinkType, MakeIPv4Udp(Payload, From, To));
		const FTavrixCapturedPacket Packet = ReadCapturedPacket(LinkType, Framed);
		ASSERT_EQ(Packet.Kind, ETavrixPacketKind::UdpDatagram) << "link type " << LinkType;
		EXPECT_EQ(ToText(Packet.Payload), Payload) << "link type " << LinkType;
		EXPECT_EQ(Packet.Source, From);
		EXPECT_EQ(Packet.Destination, To);
	}
	// A capture's link type that carries no IPv4 this reader knows of.
	EXPECT_FALSE(IsReplayableLinkType(DLT_IEEE802_11));
	EXPECT_EQ(KindOf(DLT_IEEE802_11, MakeIPv4Udp(Payload)), ETavrixPacketKind::NotIPv4);
}

TEST(CapturedPacketReading, BinaryAndEmptyPayloadsAreKeptExactly)
{
	const std::string Binary("\0\xFF{\"a\":1}\r\n\x80", 13);
	EXPECT_EQ(ToText(ReadCapturedPacket(DLT_RAW, MakeIPv4Udp(Binary)).Payload), Binary);
	const FBytes EmptyFrame = Ethernet(MakeIPv4Udp(""));
	const FTavrixCapturedPacket Empty = ReadCapturedPacket(DLT_EN10MB, EmptyFrame);
	EXPECT_EQ(Empty.Kind, ETavrixPacketKind::UdpDatagram);
	EXPECT_TRUE(Empty.Payload.empty());
}

TEST(CapturedPacketReading, FollowsVlanTagsOnEthernetAndCookedLinks)
{
	const FBytes Packet = MakeIPv4Udp(Payload);
	for (const std::vector<uint16_t>& Tags : {std::vector<uint16_t>{0x8100}, {0x88A8, 0x8100}, {0x9100, 0x8100, 0x8100}})
	{
		const FBytes Framed = Ethernet(Packet, EtherTypeIPv4, Tags);
		const FTavrixCapturedPacket Tagged = ReadCapturedPacket(DLT_EN10MB, Framed);
		ASSERT_EQ(Tagged.Kind, ETavrixPacketKind::UdpDatagram) << Tags.size() << " tags";
		EXPECT_EQ(ToText(Tagged.Payload), Payload);
	}
	// Linux puts the tag it took off the frame back after the cooked header's protocol field: the control word and
	// the inner protocol, as they follow the tag type in an Ethernet frame.
	const FBytes OneTag = Ethernet(Packet, EtherTypeIPv4, {0x8100});
	const FBytes AfterTagType(OneTag.begin() + 14, OneTag.end());
	EXPECT_EQ(ToText(ReadCapturedPacket(DLT_LINUX_SLL, Cooked(AfterTagType, 0x8100)).Payload), Payload);

	EXPECT_EQ(KindOf(DLT_EN10MB, Ethernet(MakeIPv6Udp(Payload), EtherTypeIPv6, {0x8100})), ETavrixPacketKind::NotIPv4);
	EXPECT_EQ(KindOf(DLT_EN10MB, Cut(OneTag, 16)), ETavrixPacketKind::Truncated);
}

TEST(CapturedPacketReading, SkipsWhatIsNotIPv4)
{
	EXPECT_EQ(KindOf(DLT_EN10MB, Ethernet(MakeIPv6Udp(Payload), EtherTypeIPv6)), ETavrixPacketKind::NotIPv4);
	EXPECT_EQ(KindOf(DLT_EN10MB, Ethernet(FBytes(28, 0), EtherTypeArp)), ETavrixPacketKind::NotIPv4);
	EXPECT_EQ(KindOf(DLT_LINUX_SLL, Cooked(MakeIPv6Udp(Payload), EtherTypeIPv6)), ETavrixPacketKind::NotIPv4);
	EXPECT_EQ(KindOf(DLT_LINUX_SLL2, Cooked2(MakeIPv6Udp(Payload), EtherTypeIPv6)), ETavrixPacketKind::NotIPv4);
	EXPECT_EQ(KindOf(DLT_RAW, MakeIPv6Udp(Payload)), ETavrixPacketKind::NotIPv4);
	EXPECT_EQ(KindOf(DLT_IPV4, MakeIPv6Udp(Payload)), ETavrixPacketKind::NotIPv4);
	// IPv6's address family differs between systems (10, 24, 28, 30); none of them is IPv4's 2.
	for (const uint32_t Family : {10u, 24u, 28u, 30u})
	{
		EXPECT_EQ(KindOf(DLT_NULL, Loopback(MakeIPv6Udp(Payload), Family, false)), ETavrixPacketKind::NotIPv4) << Family;
		EXPECT_EQ(KindOf(DLT_LOOP, Loopback(MakeIPv6Udp(Payload), Family, true)), ETavrixPacketKind::NotIPv4) << Family;
	}
}

TEST(CapturedPacketReading, LoopbackFamilyByteOrderFollowsTheLinkType)
{
	const FBytes Packet = MakeIPv4Udp(Payload);
	// DLT_NULL records the family in the capturing machine's byte order, whichever it was.
	EXPECT_EQ(KindOf(DLT_NULL, Loopback(Packet, 2, false)), ETavrixPacketKind::UdpDatagram);
	EXPECT_EQ(KindOf(DLT_NULL, Loopback(Packet, 2, true)), ETavrixPacketKind::UdpDatagram);
	// DLT_LOOP always records it in network byte order.
	EXPECT_EQ(KindOf(DLT_LOOP, Loopback(Packet, 2, true)), ETavrixPacketKind::UdpDatagram);
	EXPECT_EQ(KindOf(DLT_LOOP, Loopback(Packet, 2, false)), ETavrixPacketKind::NotIPv4);
}

TEST(CapturedPacketReading, SkipsOtherIPv4Protocols)
{
	for (const uint8_t Protocol : {uint8_t{1}, uint8_t{6}, uint8_t{47}})
	{
		const FBytes Packet = MakeIPv4Udp(std::string(20, 'x'), CameraHost, Workstation, FIPv4Shape{Protocol});
		EXPECT_EQ(KindOf(DLT_EN10MB, Ethernet(Packet)), ETavrixPacketKind::NotUdp) << int{Protocol};
	}
}

TEST(CapturedPacketReading, SkipsEveryPieceOfAFragmentedDatagram)
{
	const auto Shaped = [](uint16_t InFragmentField) {
		return MakeIPv4Udp(Payload, CameraHost, Workstation, FIPv4Shape{17, InFragmentField});
	};
	// First piece (more to come, offset 0), a middle one, the last one (offset only).
	for (const uint16_t Field : {uint16_t{0x2000}, uint16_t{0x2000 | 185}, uint16_t{370}, uint16_t{0x4000 | 0x2000}})
	{
		EXPECT_EQ(KindOf(DLT_RAW, Shaped(Field)), ETavrixPacketKind::Fragment) << std::hex << Field;
	}
	// "Don't fragment" alone marks a whole datagram.
	EXPECT_EQ(KindOf(DLT_RAW, Shaped(0x4000)), ETavrixPacketKind::UdpDatagram);
}

TEST(CapturedPacketReading, PayloadStartsAfterIPv4OptionsAndEndsBeforeLinkPadding)
{
	for (const size_t Words : {size_t{1}, size_t{10}})
	{
		const FBytes WithOptions = MakeIPv4Udp(Payload, CameraHost, Workstation, FIPv4Shape{17, 0, Words});
		const FTavrixCapturedPacket Packet = ReadCapturedPacket(DLT_RAW, WithOptions);
		ASSERT_EQ(Packet.Kind, ETavrixPacketKind::UdpDatagram) << Words;
		EXPECT_EQ(ToText(Packet.Payload), Payload);
	}
	// A short datagram in a minimum-size Ethernet frame, padded with bytes that are not part of it.
	FBytes Padded = Ethernet(MakeIPv4Udp("hi"));
	ASSERT_LT(Padded.size(), 60u);
	Padded.resize(60, 0xEE);
	EXPECT_EQ(ToText(ReadCapturedPacket(DLT_EN10MB, Padded).Payload), "hi");
	// A capture that kept the datagram but not all of the padding has lost nothing that is replayed.
	EXPECT_EQ(ToText(ReadCapturedPacket(DLT_EN10MB, Cut(Padded, 50)).Payload), "hi");
}

TEST(CapturedPacketReading, PacketsCutShortAreTruncated)
{
	const FBytes Whole = Ethernet(MakeIPv4Udp(Payload));
	EXPECT_EQ(KindOf(DLT_EN10MB, Whole), ETavrixPacketKind::UdpDatagram);
	// Inside the link header, the IPv4 header, the UDP header, the payload; and one byte short.
	for (const size_t Size : {size_t{0}, size_t{13}, size_t{14}, size_t{20}, size_t{36}, size_t{40}, size_t{50}, Whole.size() - 1})
	{
		EXPECT_EQ(KindOf(DLT_EN10MB, Cut(Whole, Size)), ETavrixPacketKind::Truncated) << Size << " bytes kept";
	}
	for (const int LinkType : {DLT_LINUX_SLL, DLT_LINUX_SLL2, DLT_NULL, DLT_LOOP, DLT_RAW})
	{
		const FBytes Framed = Frame(LinkType, MakeIPv4Udp(Payload));
		EXPECT_EQ(KindOf(LinkType, Cut(Framed, Framed.size() - 1)), ETavrixPacketKind::Truncated) << LinkType;
		EXPECT_EQ(KindOf(LinkType, Cut(Framed, 3)), ETavrixPacketKind::Truncated) << LinkType;
	}
}

TEST(CapturedPacketReading, HeadersThatContradictThemselvesAreMalformed)
{
	const FBytes Good = MakeIPv4Udp(Payload);
	const auto Edited = [&Good](size_t InOffset, uint8_t InValue) {
		FBytes Packet = Good;
		Packet[InOffset] = InValue;
		return Packet;
	};
	EXPECT_EQ(KindOf(DLT_RAW, Edited(0, 0x44)), ETavrixPacketKind::Malformed) << "header length 16";
	EXPECT_EQ(KindOf(DLT_RAW, Edited(3, 12)), ETavrixPacketKind::Malformed) << "total length below the header's";
	EXPECT_EQ(KindOf(DLT_RAW, Edited(3, 24)), ETavrixPacketKind::Malformed) << "no room for a UDP header";
	EXPECT_EQ(KindOf(DLT_RAW, Edited(25, 7)), ETavrixPacketKind::Malformed) << "UDP length below its header";
	EXPECT_EQ(KindOf(DLT_RAW, Edited(25, static_cast<uint8_t>(Good.size() - 20 + 1))), ETavrixPacketKind::Malformed)
		<< "UDP length past the IPv4 packet";
	// A UDP length shorter than the packet it sits in bounds the payload.
	const FBytes ShorterUdp = Edited(25, 8 + 5);
	const FTavrixCapturedPacket Shorter = ReadCapturedPacket(DLT_RAW, ShorterUdp);
	ASSERT_EQ(Shorter.Kind, ETavrixPacketKind::UdpDatagram);
	EXPECT_EQ(ToText(Shorter.Payload), Payload.substr(0, 5));
}
