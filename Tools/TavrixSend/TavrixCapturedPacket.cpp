#include "TavrixCapturedPacket.h"

#include <pcap/dlt.h>

namespace TavrixSend
{
namespace
{
constexpr uint16_t EtherTypeIPv4 = 0x0800;
constexpr uint16_t EtherTypeVlan = 0x8100;
constexpr uint16_t EtherTypeProviderVlan = 0x88A8;
constexpr uint16_t EtherTypeOldProviderVlan = 0x9100;
constexpr uint32_t LoopbackFamilyInet = 2;
constexpr size_t VlanTagSize = 4;
constexpr size_t EthernetHeaderSize = 14;
constexpr size_t CookedHeaderSize = 16;
constexpr size_t Cooked2HeaderSize = 20;
constexpr size_t LoopbackHeaderSize = 4;
constexpr size_t MinIPv4HeaderSize = 20;
constexpr size_t UdpHeaderSize = 8;
constexpr uint8_t IpProtocolUdp = 17;
constexpr uint16_t MoreFragmentsAndOffset = 0x3FFF;

uint16_t ReadBig16(std::span<const uint8_t> InBytes, size_t InOffset)
{
	return static_cast<uint16_t>((InBytes[InOffset] << 8) | InBytes[InOffset + 1]);
}

uint32_t ReadBig32(std::span<const uint8_t> InBytes, size_t InOffset)
{
	return (uint32_t{ReadBig16(InBytes, InOffset)} << 16) | ReadBig16(InBytes, InOffset + 2);
}

uint32_t ReadLittle32(std::span<const uint8_t> InBytes, size_t InOffset)
{
	return uint32_t{InBytes[InOffset]} | (uint32_t{InBytes[InOffset + 1]} << 8) | (uint32_t{InBytes[InOffset + 2]} << 16) |
		(uint32_t{InBytes[InOffset + 3]} << 24);
}

bool IsVlanTag(uint16_t InEtherType)
{
	return InEtherType == EtherTypeVlan || InEtherType == EtherTypeProviderVlan || InEtherType == EtherTypeOldProviderVlan;
}

/** Where the IPv4 header starts, or why there is none. */
struct FNetworkStart
{
	bool bIPv4 = false;
	ETavrixPacketKind Otherwise = ETavrixPacketKind::NotIPv4;
	size_t Offset = 0;
};

FNetworkStart IPv4At(size_t InOffset)
{
	return FNetworkStart{true, ETavrixPacketKind::UdpDatagram, InOffset};
}

FNetworkStart Skip(ETavrixPacketKind InKind)
{
	return FNetworkStart{false, InKind, 0};
}

/**
 * Follows an EtherType at InTypeOffset whose payload starts at InPayloadOffset. Each VLAN tag is four bytes at the
 * start of the payload, the tag's control word and then the EtherType of what follows it; tags can be stacked.
 */
FNetworkStart FollowEtherType(std::span<const uint8_t> InCaptured, size_t InTypeOffset, size_t InPayloadOffset)
{
	uint16_t EtherType = ReadBig16(InCaptured, InTypeOffset);
	while (IsVlanTag(EtherType))
	{
		if (InCaptured.size() < InPayloadOffset + VlanTagSize)
		{
			return Skip(ETavrixPacketKind::Truncated);
		}
		EtherType = ReadBig16(InCaptured, InPayloadOffset + 2);
		InPayloadOffset += VlanTagSize;
	}
	return EtherType == EtherTypeIPv4 ? IPv4At(InPayloadOffset) : Skip(ETavrixPacketKind::NotIPv4);
}

FNetworkStart FindIPv4(int InLinkType, std::span<const uint8_t> InCaptured)
{
	switch (InLinkType)
	{
	case DLT_EN10MB:
		if (InCaptured.size() < EthernetHeaderSize)
		{
			return Skip(ETavrixPacketKind::Truncated);
		}
		return FollowEtherType(InCaptured, 12, EthernetHeaderSize);
	case DLT_LINUX_SLL:
		if (InCaptured.size() < CookedHeaderSize)
		{
			return Skip(ETavrixPacketKind::Truncated);
		}
		return FollowEtherType(InCaptured, 14, CookedHeaderSize);
	case DLT_LINUX_SLL2:
		if (InCaptured.size() < Cooked2HeaderSize)
		{
			return Skip(ETavrixPacketKind::Truncated);
		}
		return FollowEtherType(InCaptured, 0, Cooked2HeaderSize);
	case DLT_NULL:
	case DLT_LOOP:
	{
		if (InCaptured.size() < LoopbackHeaderSize)
		{
			return Skip(ETavrixPacketKind::Truncated);
		}
		// DLT_LOOP writes the address family in network byte order; DLT_NULL in the byte order of the capturing machine,
		// which the file does not record. AF_INET is 2 on every system, so either order is recognised.
		const bool bInet =
			ReadBig32(InCaptured, 0) == LoopbackFamilyInet || (InLinkType == DLT_NULL && ReadLittle32(InCaptured, 0) == LoopbackFamilyInet);
		return bInet ? IPv4At(LoopbackHeaderSize) : Skip(ETavrixPacketKind::NotIPv4);
	}
	case DLT_RAW:
	case DLT_IPV4:
		// Raw IP may hold IPv6 as well; the version field below tells them apart.
		return IPv4At(0);
	default:
		return Skip(ETavrixPacketKind::NotIPv4);
	}
}

FTavrixCapturedPacket Verdict(ETavrixPacketKind InKind)
{
	FTavrixCapturedPacket Packet;
	Packet.Kind = InKind;
	return Packet;
}
} // namespace

bool IsReplayableLinkType(int InLinkType)
{
	switch (InLinkType)
	{
	case DLT_EN10MB:
	case DLT_LINUX_SLL:
	case DLT_LINUX_SLL2:
	case DLT_NULL:
	case DLT_LOOP:
	case DLT_RAW:
	case DLT_IPV4:
		return true;
	default:
		return false;
	}
}

FTavrixCapturedPacket ReadCapturedPacket(int InLinkType, std::span<const uint8_t> InCaptured)
{
	const FNetworkStart Network = FindIPv4(InLinkType, InCaptured);
	if (!Network.bIPv4)
	{
		return Verdict(Network.Otherwise);
	}
	const std::span<const uint8_t> Ip = InCaptured.subspan(Network.Offset);
	if (Ip.empty())
	{
		return Verdict(ETavrixPacketKind::Truncated);
	}
	if ((Ip[0] >> 4) != 4)
	{
		return Verdict(ETavrixPacketKind::NotIPv4);
	}
	const size_t HeaderSize = size_t{Ip[0] & 0x0Fu} * 4;
	if (HeaderSize < MinIPv4HeaderSize)
	{
		return Verdict(ETavrixPacketKind::Malformed);
	}
	if (Ip.size() < HeaderSize)
	{
		return Verdict(ETavrixPacketKind::Truncated);
	}
	const size_t TotalSize = ReadBig16(Ip, 2);
	if (TotalSize < HeaderSize)
	{
		return Verdict(ETavrixPacketKind::Malformed);
	}
	if (Ip[9] != IpProtocolUdp)
	{
		return Verdict(ETavrixPacketKind::NotUdp);
	}
	if ((ReadBig16(Ip, 6) & MoreFragmentsAndOffset) != 0)
	{
		return Verdict(ETavrixPacketKind::Fragment);
	}
	if (Ip.size() < TotalSize)
	{
		return Verdict(ETavrixPacketKind::Truncated);
	}
	const std::span<const uint8_t> Udp = Ip.subspan(HeaderSize, TotalSize - HeaderSize);
	if (Udp.size() < UdpHeaderSize)
	{
		return Verdict(ETavrixPacketKind::Malformed);
	}
	const size_t UdpSize = ReadBig16(Udp, 4);
	if (UdpSize < UdpHeaderSize || UdpSize > Udp.size())
	{
		return Verdict(ETavrixPacketKind::Malformed);
	}

	FTavrixCapturedPacket Packet;
	Packet.Kind = ETavrixPacketKind::UdpDatagram;
	Packet.Payload = Udp.subspan(UdpHeaderSize, UdpSize - UdpHeaderSize);
	Packet.Source = FTavrixEndpoint{ReadBig32(Ip, 12), ReadBig16(Udp, 0)};
	Packet.Destination = FTavrixEndpoint{ReadBig32(Ip, 16), ReadBig16(Udp, 2)};
	return Packet;
}
} // namespace TavrixSend
