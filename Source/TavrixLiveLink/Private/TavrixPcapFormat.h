#pragma once

#include "CoreMinimal.h"

/**
 * The classic pcap file format (not pcapng), as tcpdump and Wireshark write and read it: a 24-byte file header, then
 * one record per packet. Each received datagram is written as the packet that carried it, link type raw IPv4: an IPv4
 * header (checksum filled in), a UDP header (checksum 0, "none", which IPv4 allows) and the payload. Every field is
 * written little-endian; readers tell the byte order from the magic number. Timestamps are in microseconds.
 */
namespace TavrixPcapFormat
{
/** LINKTYPE_RAW: packets begin with their IP header, no link header. */
constexpr uint32 LinkTypeRaw = 101;
constexpr int32 FileHeaderSize = 24;
constexpr int32 RecordHeaderSize = 16;
constexpr int32 IPv4HeaderSize = 20;
constexpr int32 UdpHeaderSize = 8;
/** Bytes a record adds to the payload it carries. */
constexpr int32 RecordOverhead = RecordHeaderSize + IPv4HeaderSize + UdpHeaderSize;
/** The largest UDP payload an IPv4 packet can carry: its total length is a 16-bit field. */
constexpr int32 MaxPayloadSize = 65535 - IPv4HeaderSize - UdpHeaderSize;

/** One end of a datagram; the address in host order (127.0.0.1 is 0x7F000001). */
struct FEndpoint
{
	uint32 Address = 0;
	uint16 Port = 0;
};

/** Writes the file header into OutHeader (FileHeaderSize bytes). */
void WriteFileHeader(uint8* OutHeader);

/**
 * Writes the record header, IPv4 header and UDP header of one datagram of InPayloadSize bytes (0 to MaxPayloadSize)
 * into OutHeaders (RecordOverhead bytes); the payload follows them in the file unchanged. InArrivalMicroseconds counts
 * from the Unix epoch (UTC); the file format holds seconds up to 2106.
 */
void WriteRecordHeaders(uint8* OutHeaders, int64 InArrivalMicroseconds, const FEndpoint& InSender, const FEndpoint& InReceiver,
	uint16 InIdentification, int32 InPayloadSize);

/** The size of the record that begins at InRecord: its headers plus the packet bytes its header announces. */
int64 ReadRecordSize(const uint8* InRecord);

/** The Internet checksum (RFC 1071) of an IPv4 header whose checksum field holds zero. */
uint16 IPv4HeaderChecksum(const uint8* InHeader, int32 InSize);
} // namespace TavrixPcapFormat
