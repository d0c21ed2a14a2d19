#include "TavrixPcapFormat.h"

namespace TavrixPcapFormat
{
namespace
{
void PutLittle16(uint8* Out, uint32 Value)
{
	Out[0] = static_cast<uint8>(Value);
	Out[1] = static_cast<uint8>(Value >> 8);
}

void PutLittle32(uint8* Out, uint32 Value)
{
	PutLittle16(Out, Value & 0xFFFF);
	PutLittle16(Out + 2, Value >> 16);
}

void PutBig16(uint8* Out, uint32 Value)
{
	Out[0] = static_cast<uint8>(Value >> 8);
	Out[1] = static_cast<uint8>(Value);
}

void PutBig32(uint8* Out, uint32 Value)
{
	PutBig16(Out, Value >> 16);
	PutBig16(Out + 2, Value & 0xFFFF);
}

uint32 GetLittle32(const uint8* In)
{
	return uint32(In[0]) | (uint32(In[1]) << 8) | (uint32(In[2]) << 16) | (uint32(In[3]) << 24);
}
} // namespace

void WriteFileHeader(uint8* OutHeader)
{
	PutLittle32(OutHeader, 0xA1B2C3D4); // microsecond timestamps
	PutLittle16(OutHeader + 4, 2);
	PutLittle16(OutHeader + 6, 4);
	PutLittle32(OutHeader + 8, 0); // timestamps are UTC
	PutLittle32(OutHeader + 12, 0);
	PutLittle32(OutHeader + 16, 65535); // no packet is cut short
	PutLittle32(OutHeader + 20, LinkTypeRaw);
}

void WriteRecordHeaders(uint8* OutHeaders, int64 InArrivalMicroseconds, const FEndpoint& InSender, const FEndpoint& InReceiver,
	uint16 InIdentification, int32 InPayloadSize)
{
	const int64 Microseconds = InArrivalMicroseconds > 0 ? InArrivalMicroseconds : 0;
	const uint32 PacketSize = static_cast<uint32>(IPv4HeaderSize + UdpHeaderSize + InPayloadSize);

	uint8* Record = OutHeaders;
	PutLittle32(Record, static_cast<uint32>(Microseconds / 1000000));
	PutLittle32(Record + 4, static_cast<uint32>(Microseconds % 1000000));
	PutLittle32(Record + 8, PacketSize);
	PutLittle32(Record + 12, PacketSize);

	uint8* IPv4 = Record + RecordHeaderSize;
	IPv4[0] = 0x45; // version 4, five 32-bit words of header
	IPv4[1] = 0;
	PutBig16(IPv4 + 2, PacketSize);
	PutBig16(IPv4 + 4, InIdentification);
	PutBig16(IPv4 + 6, 0); // a whole datagram: no fragment flags, offset 0
	IPv4[8] = 64;
	IPv4[9] = 17; // UDP
	PutBig16(IPv4 + 10, 0);
	PutBig32(IPv4 + 12, InSender.Address);
	PutBig32(IPv4 + 16, InReceiver.Address);
	PutBig16(IPv4 + 10, IPv4HeaderChecksum(IPv4, IPv4HeaderSize));

	uint8* Udp = IPv4 + IPv4HeaderSize;
	PutBig16(Udp, InSender.Port);
	PutBig16(Udp + 2, InReceiver.Port);
	PutBig16(Udp + 4, static_cast<uint32>(UdpHeaderSize + InPayloadSize));
	PutBig16(Udp + 6, 0);
}

int64 ReadRecordSize(const uint8* InRecord)
{
	return RecordHeaderSize + static_cast<int64>(GetLittle32(InRecord + 8));
}

uint16 IPv4HeaderChecksum(const uint8* InHeader, int32 InSize)
{
	uint32 Sum = 0;
	for (int32 Index = 0; Index + 1 < InSize; Index += 2)
	{
		Sum += (uint32(InHeader[Index]) << 8) | InHeader[Index + 1];
	}
	while (Sum > 0xFFFF)
	{
		Sum = (Sum & 0xFFFF) + (Sum >> 16);
	}
	return static_cast<uint16>(~Sum);
}
} // namespace TavrixPcapFormat
