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

	friend bool operator==(const FTavrixEndpoint&, const FTavrixEndpoint&) = default;
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
	 * connected, so a destination with no listener does not turn later sends into errors. Null with OutError set when
	 * no socket can be opened.
	 */
	static std::unique_ptr<FTavrixUdpSocket> Open(const FTavrixEndpoint& InDestination, std::error_code& OutError);

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
