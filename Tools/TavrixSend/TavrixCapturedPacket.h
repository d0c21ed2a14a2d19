// One captured packet read down to its UDP payload: link header, IPv4, UDP. Pure, so that every link layer and every
// malformed packet can be checked without a capture file.
#pragma once

#include "TavrixUdpSocket.h"

#include <cstdint>
#include <span>

namespace TavrixSend
{
enum class ETavrixPacketKind
{
	/** A whole, unfragmented UDP datagram over IPv4: the only kind replayed. */
	UdpDatagram,
	/** IPv6, ARP and anything else the link carries that is not IPv4. */
	NotIPv4,
	/** IPv4 carrying another protocol (TCP, ICMP, ...). */
	NotUdp,
	/** A piece of a fragmented UDP datagram, the first piece included: it carries only part of the payload. */
	Fragment,
	/** Cut short by the capture's snapshot length, before the end of the UDP payload. */
	Truncated,
	/** Headers that contradict themselves, such as a length shorter than the header it counts. */
	Malformed,
};

struct FTavrixCapturedPacket
{
	ETavrixPacketKind Kind = ETavrixPacketKind::Malformed;
	/** Only for UdpDatagram: the payload as sent, a view into the captured bytes. */
	std::span<const uint8_t> Payload;
	/** Only for UdpDatagram: the datagram's addresses and ports. */
	FTavrixEndpoint Source{0, 0};
	FTavrixEndpoint Destination{0, 0};
};

/**
 * Link types (libpcap DLT_ values, as pcap_datalink returns them) that can carry IPv4: Ethernet (with 802.1Q / 802.1ad
 * tags), Linux cooked SLL and SLL2, raw IP (DLT_RAW and DLT_IPV4) and BSD loopback (DLT_NULL, DLT_LOOP).
 */
bool IsReplayableLinkType(int InLinkType);

/**
 * Reads the bytes captured of one packet of link type InLinkType. Lengths are taken from the IPv4 and UDP headers, not
 * from what the capture says was on the wire, so trailing link padding is ignored and a packet cut short only in its
 * padding still counts as whole. Checksums are not verified: captures taken on the sending host routinely hold ones
 * the network card fills in later. A link type that is not replayable reads as NotIPv4.
 */
FTavrixCapturedPacket ReadCapturedPacket(int InLinkType, std::span<const uint8_t> InCaptured);
} // namespace TavrixSend
