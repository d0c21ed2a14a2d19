// Reading a capture file (pcap or pcapng, as tcpdump, Wireshark or the plug-in write them) into the UDP datagrams over
// IPv4 it holds, through libpcap.
#pragma once

#include "TavrixCaptureReplayer.h"

#include <cstdint>
#include <string>
#include <vector>

namespace TavrixSend
{
/** Packets of a capture that are not replayed, by reason. */
struct FTavrixCaptureSkips
{
	uint64_t FilteredOut = 0;
	uint64_t NotIPv4 = 0;
	uint64_t NotUdp = 0;
	uint64_t Fragments = 0;
	uint64_t Truncated = 0;
	uint64_t Malformed = 0;

	uint64_t Total() const { return FilteredOut + NotIPv4 + NotUdp + Fragments + Truncated + Malformed; }
	/** "2 not IPv4, 1 fragment", reasons with a count only; empty when nothing was skipped. */
	std::string Describe() const;
};

enum class ETavrixCaptureProblem
{
	None,
	/** Cannot be opened, or is not a pcap or pcapng file. */
	Unreadable,
	/** A link layer that cannot carry IPv4 as this reader knows it. */
	UnsupportedLinkType,
	/** The filter does not compile for the capture's link type. */
	InvalidFilter,
	/** Nothing left to replay once the filter and the skipped packets are taken out. */
	NoDatagrams,
};

struct FTavrixCapture
{
	/** In the order of the file. */
	std::vector<FTavrixCapturedDatagram> Datagrams;
	FTavrixCaptureSkips Skipped;
	/** Set when the file ends in a damaged or cut-off record; the datagrams before it are kept. */
	std::string ReadError;
};

struct FTavrixCaptureLoad
{
	ETavrixCaptureProblem Problem = ETavrixCaptureProblem::None;
	/** One line naming the file and saying what is wrong with it, when Problem is set. */
	std::string Error;
	FTavrixCapture Capture;
};

/**
 * Reads the whole capture at InPath into memory, so that a loop replays from memory and a capture with nothing to
 * replay is refused before anything is sent. InFilter is an expression in tcpdump's language ("udp port 9001"),
 * compiled for the capture's link type; empty keeps every packet. Timestamps keep the file's precision, down to
 * nanoseconds.
 */
FTavrixCaptureLoad LoadCapture(const std::string& InPath, const std::string& InFilter);
} // namespace TavrixSend
