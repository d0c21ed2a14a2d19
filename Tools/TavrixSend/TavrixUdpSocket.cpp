#include "TavrixUdpSocket.h"

#include <arpa/inet.h>
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace TavrixSend
{
namespace
{
/** A decimal number without sign or leading zero, at most InMax; consumes InText up to InStop or its end. */
std::optional<uint32_t> ReadDecimal(std::string_view& InOutText, char InStop, uint32_t InMax)
{
	const size_t End = std::min(InOutText.find(InStop), InOutText.size());
	const std::string_view Digits = InOutText.substr(0, End);
	if (Digits.empty() || Digits.size() > 5 || (Digits.size() > 1 && Digits.front() == '0'))
	{
		return std::nullopt;
	}
	uint32_t Value = 0;
	const std::from_chars_result Result = std::from_chars(Digits.data(), Digits.data() + Digits.size(), Value);
	if (Result.ec != std::errc() || Result.ptr != Digits.data() + Digits.size() || Value > InMax)
	{
		return std::nullopt;
	}
	InOutText.remove_prefix(End);
	return Value;
}
} // namespace

namespace
{
/** Reads four decimal octets separated by points and stops at what follows them. */
std::optional<uint32_t> ReadAddress(std::string_view& InOutText, char InStop)
{
	uint32_t Address = 0;
	for (int Octet = 0; Octet < 4; ++Octet)
	{
		const char Separator = Octet < 3 ? '.' : InStop;
		const std::optional<uint32_t> Value = ReadDecimal(InOutText, Separator, 255);
		if (!Value)
		{
			return std::nullopt;
		}
		if (Octet < 3)
		{
			if (InOutText.empty() || InOutText.front() != '.')
			{
				return std::nullopt;
			}
			InOutText.remove_prefix(1);
		}
		Address = (Address << 8) | *Value;
	}
	return Address;
}
} // namespace

std::optional<uint32_t> ParseIPv4Address(std::string_view InText)
{
	const std::optional<uint32_t> Address = ReadAddress(InText, '\0');
	return Address && InText.empty() ? Address : std::nullopt;
}

std::optional<FTavrixEndpoint> FTavrixEndpoint::Parse(std::string_view InText)
{
	FTavrixEndpoint Endpoint;
	const std::optional<uint32_t> Address = ReadAddress(InText, ':');
	if (!Address || InText.empty() || InText.front() != ':')
	{
		return std::nullopt;
	}
	InText.remove_prefix(1);
	Endpoint.Address = *Address;
	const std::optional<uint32_t> Port = ReadDecimal(InText, '\0', 65535);
	if (!Port || *Port == 0 || !InText.empty())
	{
		return std::nullopt;
	}
	Endpoint.Port = static_cast<uint16_t>(*Port);
	return Endpoint;
}

std::string FTavrixEndpoint::ToString() const
{
	return std::to_string(Address >> 24) + '.' + std::to_string((Address >> 16) & 0xFF) + '.' + std::to_string((Address >> 8) & 0xFF) +
		'.' + std::to_string(Address & 0xFF) + ':' + std::to_string(Port);
}

std::unique_ptr<FTavrixUdpSocket> FTavrixUdpSocket::Open(
	const FTavrixEndpoint& InDestination, const FTavrixMulticastOptions& InMulticast, std::error_code& OutError)
{
	const int Descriptor = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
	if (Descriptor < 0)
	{
		OutError = std::error_code(errno, std::system_category());
		return nullptr;
	}
	if (InDestination.IsMulticast())
	{
		// Loopback on: on Linux the sending socket decides whether members on this machine (an editor beside the
		// sender) get the datagrams.
		const int TimeToLive = InMulticast.TimeToLive;
		const int Loopback = 1;
		in_addr Interface{};
		Interface.s_addr = htonl(InMulticast.Interface.value_or(INADDR_ANY));
		if (::setsockopt(Descriptor, IPPROTO_IP, IP_MULTICAST_TTL, &TimeToLive, sizeof(TimeToLive)) != 0 ||
			::setsockopt(Descriptor, IPPROTO_IP, IP_MULTICAST_LOOP, &Loopback, sizeof(Loopback)) != 0 ||
			(InMulticast.Interface && ::setsockopt(Descriptor, IPPROTO_IP, IP_MULTICAST_IF, &Interface, sizeof(Interface)) != 0))
		{
			OutError = std::error_code(errno, std::system_category());
			::close(Descriptor);
			return nullptr;
		}
	}
	OutError.clear();
	return std::unique_ptr<FTavrixUdpSocket>(new FTavrixUdpSocket(Descriptor, InDestination));
}

FTavrixUdpSocket::FTavrixUdpSocket(int InDescriptor, const FTavrixEndpoint& InDestination)
	: Descriptor(InDescriptor)
	, Destination(InDestination)
{
}

FTavrixUdpSocket::~FTavrixUdpSocket()
{
	::close(Descriptor);
}

std::error_code FTavrixUdpSocket::Send(std::string_view InPayload)
{
	sockaddr_in Address{};
	Address.sin_family = AF_INET;
	Address.sin_addr.s_addr = htonl(Destination.Address);
	Address.sin_port = htons(Destination.Port);
	for (;;)
	{
		const ssize_t Sent = ::sendto(
			Descriptor, InPayload.data(), InPayload.size(), MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&Address), sizeof(Address));
		if (Sent >= 0)
		{
			return {};
		}
		if (errno != EINTR)
		{
			return std::error_code(errno, std::system_category());
		}
	}
}
} // namespace TavrixSend
