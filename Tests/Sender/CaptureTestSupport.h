// Packets and capture files for the replay's tests: IPv4/IPv6 UDP packets, each link layer's header around them, and
// files written with libpcap's own writer (classic pcap) or block by block (pcapng).
#pragma once

#include "TavrixSyntheticCamera.h"
#include "TavrixUdpSocket.h"

#include <pcap/dlt.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace CaptureTest
{
using FBytes = std::vector<uint8_t>;

inline constexpr TavrixSend::FTavrixEndpoint CameraHost{0x0A000005, 50000};
inline constexpr TavrixSend::FTavrixEndpoint Workstation{0x0A000009, 9001};

struct FIPv4Shape
{
	uint8_t Protocol = 17;
	/** Flags and fragment offset as they stand in the header: 0x2000 more fragments, 0x4000 don't fragment. */
	uint16_t FragmentField = 0;
	/** 32-bit words of IPv4 options, 0-10. */
	size_t OptionWords = 0;
};

/** An IPv4 packet holding a UDP datagram with InPayload (or, for another protocol, InPayload as its body). */
FBytes MakeIPv4Udp(std::string_view InPayload, const TavrixSend::FTavrixEndpoint& InFrom = CameraHost,
	const TavrixSend::FTavrixEndpoint& InTo = Workstation, const FIPv4Shape& InShape = {});
FBytes MakeIPv6Udp(std::string_view InPayload, uint16_t InDestinationPort = Workstation.Port);

inline constexpr uint16_t EtherTypeIPv4 = 0x0800;
inline constexpr uint16_t EtherTypeIPv6 = 0x86DD;
inline constexpr uint16_t EtherTypeArp = 0x0806;

/** An Ethernet frame; each of InTagTypes (0x8100, 0x88A8) adds one VLAN tag, outermost first. */
FBytes Ethernet(const FBytes& InNetwork, uint16_t InEtherType = EtherTypeIPv4, const std::vector<uint16_t>& InTagTypes = {});
FBytes Cooked(const FBytes& InNetwork, uint16_t InProtocol = EtherTypeIPv4);
FBytes Cooked2(const FBytes& InNetwork, uint16_t InProtocol = EtherTypeIPv4);
/** The BSD loopback header: an address family, in big-endian byte order or little-endian. */
FBytes Loopback(const FBytes& InNetwork, uint32_t InFamily, bool bInBigEndian);

/** InPacket with the link header that InLinkType (a DLT_ value among the replayable ones) puts before IPv4. */
FBytes Frame(int InLinkType, const FBytes& InIPv4Packet);

struct FCaptureRecord
{
	TavrixSend::FTavrixDuration Timestamp{};
	FBytes Bytes;
	/** How much of the packet the capture kept; the whole packet when larger than it. */
	size_t CapturedSize = std::numeric_limits<size_t>::max();
};

/** A capture time well past the epoch, as real captures have. */
TavrixSend::FTavrixDuration CaptureTime(std::chrono::microseconds InSinceStart);

/** A record captured InTime after the capture's start, cut to InCapturedSize bytes when that is smaller. */
inline FCaptureRecord At(std::chrono::microseconds InTime, FBytes InBytes, size_t InCapturedSize = std::numeric_limits<size_t>::max())
{
	return FCaptureRecord{CaptureTime(InTime), std::move(InBytes), InCapturedSize};
}

/** Every link type a capture may have for its datagrams to be replayed. */
inline constexpr int ReplayableLinkTypes[] = {DLT_EN10MB, DLT_LINUX_SLL, DLT_LINUX_SLL2, DLT_NULL, DLT_LOOP, DLT_RAW, DLT_IPV4};

/** Writes a classic pcap file with libpcap's writer; false when it cannot. */
bool WritePcap(const std::string& InPath, int InLinkType, const std::vector<FCaptureRecord>& InRecords, bool bInNanoseconds = false);
/** Writes a pcapng file: a section header, one interface with microsecond timestamps, an enhanced packet per record. */
bool WritePcapng(const std::string& InPath, uint16_t InLinkType, const std::vector<FCaptureRecord>& InRecords);

/** A file name in the test's temporary directory, unique to this process, removed when the object goes. */
class FTempPath
{
public:
	explicit FTempPath(std::string_view InName);
	~FTempPath();
	FTempPath(const FTempPath&) = delete;
	FTempPath& operator=(const FTempPath&) = delete;

	const std::string& Get() const { return Path; }

private:
	std::string Path;
};

std::string ToText(std::span<const uint8_t> InBytes);
} // namespace CaptureTest
