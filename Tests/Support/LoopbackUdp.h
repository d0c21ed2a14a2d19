#pragma once

#include <arpa/inet.h>
#include <cstdint>
#include <netinet/in.h>
#include <string>
#include <string_view>
#include <sys/socket.h>
#include <unistd.h>

/** A plain UDP socket on 127.0.0.1 for tests: sends datagrams to loopback ports, or holds a port bound exclusively. */
class FLoopbackUdp
{
public:
	/**
	 * Bound to 127.0.0.1 on Port (0: any free port), without address reuse, so nobody else can share it. Another
	 * loopback address (host byte order, within 127.0.0.0/8, which Linux delivers on loopback whole) makes a second
	 * sender machine.
	 */
	explicit FLoopbackUdp(uint16_t Port = 0, uint32_t LocalAddress = INADDR_LOOPBACK)
	{
		Descriptor = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
		sockaddr_in Address = MakeAddress(Port);
		Address.sin_addr.s_addr = htonl(LocalAddress);
		::bind(Descriptor, reinterpret_cast<sockaddr*>(&Address), sizeof(Address));
	}
	~FLoopbackUdp() { ::close(Descriptor); }
	FLoopbackUdp(const FLoopbackUdp&) = delete;
	FLoopbackUdp& operator=(const FLoopbackUdp&) = delete;

	int GetDescriptor() const { return Descriptor; }

	uint16_t GetPort() const
	{
		sockaddr_in Address{};
		socklen_t Size = sizeof(Address);
		::getsockname(Descriptor, reinterpret_cast<sockaddr*>(&Address), &Size);
		return ntohs(Address.sin_port);
	}

	bool SendTo(uint16_t Port, std::string_view Payload) const
	{
		sockaddr_in Address = MakeAddress(Port);
		return ::sendto(Descriptor, Payload.data(), Payload.size(), 0, reinterpret_cast<sockaddr*>(&Address), sizeof(Address)) ==
			static_cast<ssize_t>(Payload.size());
	}

	static sockaddr_in MakeAddress(uint16_t Port)
	{
		sockaddr_in Address{};
		Address.sin_family = AF_INET;
		Address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
		Address.sin_port = htons(Port);
		return Address;
	}

private:
	int Descriptor = -1;
};

/**
 * A port on 127.0.0.1 that no socket holds at this moment, for a source to bind. A source binds with address reuse,
 * and the system may give a reusing socket that asks for port 0 a port another reusing socket already holds (in
 * this process, or in a test running beside it), whose datagrams then go astray. A socket without reuse is only
 * ever given a port nobody holds.
 */
inline uint16_t FreeLoopbackPort()
{
	return FLoopbackUdp().GetPort();
}
