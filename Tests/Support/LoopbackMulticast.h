#pragma once

#include "LoopbackUdp.h"

#include <cerrno>
#include <cstring>
#include <optional>
#include <poll.h>
#include <string>

/**
 * The group tests send to: administratively scoped, and reached with a time to live of 0, so nothing leaves this
 * machine. Tests apart use ports apart (FreeLoopbackPort), which keeps their traffic apart on the one group.
 */
inline constexpr uint32_t TestMulticastGroup = (239u << 24) | (255u << 16) | (77u << 8) | 41u;

/** The test group as a dotted quad. */
inline std::string TestMulticastGroupText()
{
	return std::to_string(TestMulticastGroup >> 24) + '.' + std::to_string((TestMulticastGroup >> 16) & 0xFF) + '.' +
		std::to_string((TestMulticastGroup >> 8) & 0xFF) + '.' + std::to_string(TestMulticastGroup & 0xFF);
}

inline sockaddr_in MakeGroupAddress(uint16_t Port)
{
	sockaddr_in Address{};
	Address.sin_family = AF_INET;
	Address.sin_addr.s_addr = htonl(TestMulticastGroup);
	Address.sin_port = htons(Port);
	return Address;
}

/**
 * Sends to the test group with a time to live of 0 on the interface the system chooses, with loopback on, so the
 * datagrams reach this machine's members and nobody else.
 */
class FLocalMulticastSender
{
public:
	FLocalMulticastSender()
	{
		Descriptor = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
		const int TimeToLive = 0;
		const int Loopback = 1;
		::setsockopt(Descriptor, IPPROTO_IP, IP_MULTICAST_TTL, &TimeToLive, sizeof(TimeToLive));
		::setsockopt(Descriptor, IPPROTO_IP, IP_MULTICAST_LOOP, &Loopback, sizeof(Loopback));
	}
	~FLocalMulticastSender() { ::close(Descriptor); }
	FLocalMulticastSender(const FLocalMulticastSender&) = delete;
	FLocalMulticastSender& operator=(const FLocalMulticastSender&) = delete;

	uint16_t GetPort() const
	{
		sockaddr_in Address{};
		socklen_t Size = sizeof(Address);
		::getsockname(Descriptor, reinterpret_cast<sockaddr*>(&Address), &Size);
		return ntohs(Address.sin_port);
	}

	/** Empty on success, else why the system refused. */
	std::string SendTo(uint16_t Port, std::string_view Payload) const
	{
		const sockaddr_in Address = MakeGroupAddress(Port);
		const ssize_t Sent =
			::sendto(Descriptor, Payload.data(), Payload.size(), 0, reinterpret_cast<const sockaddr*>(&Address), sizeof(Address));
		return Sent == static_cast<ssize_t>(Payload.size()) ? std::string() : std::string(std::strerror(errno));
	}

private:
	int Descriptor = -1;
};

/**
 * Why this machine cannot carry a group datagram from one of its programs to another (no interface that joins
 * groups, no route for them), or nothing when it can: a member joined on the system's interface must get a datagram
 * sent as FLocalMulticastSender sends it. Tests that need groups skip with this reason.
 */
inline std::optional<std::string> WhyLocalMulticastIsUnavailable()
{
	const int Member = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
	sockaddr_in Any{};
	Any.sin_family = AF_INET;
	Any.sin_addr.s_addr = htonl(INADDR_ANY);
	Any.sin_port = htons(FreeLoopbackPort());
	ip_mreq Request{};
	Request.imr_multiaddr.s_addr = htonl(TestMulticastGroup);
	Request.imr_interface.s_addr = htonl(INADDR_ANY);
	std::optional<std::string> Why;
	if (::bind(Member, reinterpret_cast<sockaddr*>(&Any), sizeof(Any)) != 0)
	{
		Why = std::string("cannot bind a port for the group test: ") + std::strerror(errno);
	}
	else if (::setsockopt(Member, IPPROTO_IP, IP_ADD_MEMBERSHIP, &Request, sizeof(Request)) != 0)
	{
		Why = std::string("no interface of this machine joins multicast groups: ") + std::strerror(errno);
	}
	else if (const std::string SendError = FLocalMulticastSender().SendTo(ntohs(Any.sin_port), "probe"); !SendError.empty())
	{
		Why = "this machine has no route for multicast datagrams: " + SendError;
	}
	else
	{
		pollfd Poll{Member, POLLIN, 0};
		if (::poll(&Poll, 1, 5000) != 1)
		{
			Why = "a multicast datagram sent on this machine does not come back to its members";
		}
	}
	::close(Member);
	return Why;
}
