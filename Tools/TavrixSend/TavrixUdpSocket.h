// An IPv4 UDP socket that sends datagrams to one fixed destination.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace TavrixSend
{
/** An IPv4 address and UDP port, both in host byte order. */
struct FTavrixEndpoint
{
	uint32_t Address = 0x7F000001;
	uint16_t Port = 9001;

	/**
	 * Reads "A.B.C.D:PORT": four decimal octets 0-255, a colon, a decimal port 1-65535, no signs, no white space and
	 * no leading zeros (a leading zero reads as octal elsewhere, so it is refused rather than guessed).
	 */
	static std::optional<FTavrixEndpoint> Parse(std::string_view InText);
	std::string ToString() const;

	/** True for a multicast group, 224.0.0.0 to 239.255.255.255. */
	bool IsMulticast() const { return (Address >> 28) == 0xE; }

	friend bool operator==(const FTavrixEndpoint&, const FTavrixEndpoint&) = default;
};

/** "A.B.C.D" read as FTavrixEndpoint::Parse reads the address part; host byte order. */
std::optional<uint32_t> ParseIPv4Address(std::string_view InText);

/** How datagrams to a group leave: they always reach members on this machine too. */
struct FTavrixMulticastOptions
{
	/** Router hops a group datagram may cross; 0 keeps it on this machine, 1 (the usual default) on the local network. */
	uint8_t TimeToLive = 1;
	/** Address of the interface to send from, host byte order; none lets the system choose by its routes. */
	std::optional<uint32_t> Interface;
};

/** Where the send loop hands its payloads. Send is called from the loop's thread only. */
class ITavrixDatagramSink
{
public:
	virtual ~ITavrixDatagramSink() = default;
	/** Sends InPayload as one datagram, as is; an empty payload is an empty datagram. A failure is returned, not
	 * retried. */
	virtual std::error_code Send(std::string_view InPayload) = 0;
};

class FTavrixUdpSocket final : public ITavrixDatagramSink
{
public:
	/**
	 * Opens a socket that sends to InDestination from an ephemeral port of the system's choosing. It is never
	 * connected, so a destination with no listener does not turn later sends into errors. For a group destination the
	 * multicast options apply. Null with OutError set when no socket can be opened or configured.
	 */
	static std::unique_ptr<FTavrixUdpSocket> Open(const FTavrixEndpoint& InDestination, std::error_code& OutError)
	{
		return Open(InDestination, FTavrixMulticastOptions(), OutError);
	}
	static std::unique_ptr<FTavrixUdpSocket> Open(
		const FTavrixEndpoint& InDestination, const FTavrixMulticastOptions& InMulticast, std::error_code& OutError);

	~FTavrixUdpSocket() override;
	FTavrixUdpSocket(const FTavrixUdpSocket&) = delete;
	FTavrixUdpSocket& operator=(const FTavrixUdpSocket&) = delete;

	//~ Begin ITavrixDatagramSink interface
	std::error_code Send(std::string_view InPayload) override;
	//~ End ITavrixDatagramSink interface

	const FTavrixEndpoint& GetDestination() const { return Destination; }

private:
	FTavrixUdpSocket(int InDescriptor, const FTavrixEndpoint& InDestination);

	int Descriptor;
	FTavrixEndpoint Destination;
};
} // namespace TavrixSend
