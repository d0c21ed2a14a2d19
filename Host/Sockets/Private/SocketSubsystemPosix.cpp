#include "SocketSubsystem.h"

#include "SocketSubsystemTesting.h"
#include "Sockets.h"

#include <arpa/inet.h>
#include <atomic>
#include <mutex>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

DEFINE_LOG_CATEGORY(LogSockets);

namespace
{
std::atomic<int32> LiveSockets{0};
std::atomic<int32> BufferSizeLimit{0};

class FInternetAddrPosix final : public FInternetAddr
{
public:
	void SetIp(uint32 InAddr) override { Address = InAddr; }
	void GetIp(uint32& OutAddr) const override { OutAddr = Address; }
	void SetPort(int32 InPort) override { Port = InPort; }
	int32 GetPort() const override { return Port; }
	void SetAnyAddress() override { Address = INADDR_ANY; }
	void SetLoopbackAddress() override { Address = INADDR_LOOPBACK; }
	bool IsValid() const override { return Port >= 0 && Port <= 65535; }
	FString ToString(bool bAppendPort) const override
	{
		FString Text =
			FString::Printf(TEXT("%u.%u.%u.%u"), (Address >> 24) & 0xff, (Address >> 16) & 0xff, (Address >> 8) & 0xff, Address & 0xff);
		if (bAppendPort)
		{
			Text += FString::Printf(TEXT(":%d"), Port);
		}
		return Text;
	}

	sockaddr_in ToNative() const
	{
		sockaddr_in Native{};
		Native.sin_family = AF_INET;
		Native.sin_addr.s_addr = htonl(Address);
		Native.sin_port = htons(static_cast<uint16>(Port));
		return Native;
	}
	void FromNative(const sockaddr_in& Native)
	{
		Address = ntohl(Native.sin_addr.s_addr);
		Port = ntohs(Native.sin_port);
	}

private:
	uint32 Address = 0;
	int32 Port = 0;
};

class FSocketPosix final : public FSocket
{
public:
	FSocketPosix(int InDescriptor, ESocketType InSocketType, const FString& InDescription)
		: FSocket(InSocketType, InDescription)
		, Descriptor(InDescriptor)
	{
	}
	~FSocketPosix() override { Close(); }

	bool Close() override
	{
		if (Descriptor < 0)
		{
			return false;
		}
		const bool bClosed = ::close(Descriptor) == 0;
		Descriptor = -1;
		return bClosed;
	}

	bool Bind(const FInternetAddr& Addr) override
	{
		const sockaddr_in Native = static_cast<const FInternetAddrPosix&>(Addr).ToNative();
		// Windows, the platform this stands for, cannot bind a socket to a group address; Linux could.
		if (IN_MULTICAST(ntohl(Native.sin_addr.s_addr)))
		{
			errno = EADDRNOTAVAIL;
			return false;
		}
		return ::bind(Open(), reinterpret_cast<const sockaddr*>(&Native), sizeof(Native)) == 0;
	}

	bool SendTo(const uint8* Data, int32 Count, int32& BytesSent, const FInternetAddr& Destination) override
	{
		const sockaddr_in Native = static_cast<const FInternetAddrPosix&>(Destination).ToNative();
		const ssize_t Sent =
			::sendto(Open(), Data, static_cast<size_t>(Count), MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&Native), sizeof(Native));
		BytesSent = Sent < 0 ? 0 : static_cast<int32>(Sent);
		return Sent >= 0;
	}

	bool RecvFrom(uint8* Data, int32 BufferSize, int32& BytesRead, FInternetAddr& Source, ESocketReceiveFlags::Type Flags) override
	{
		sockaddr_in From{};
		socklen_t FromSize = sizeof(From);
		const int NativeFlags = (Flags & ESocketReceiveFlags::Peek) ? MSG_PEEK : 0;
		const ssize_t Received = ::recvfrom(Open(), Data, static_cast<size_t>(BufferSize < 0 ? 0 : BufferSize), NativeFlags | MSG_DONTWAIT,
			reinterpret_cast<sockaddr*>(&From), &FromSize);
		if (Received < 0)
		{
			BytesRead = 0;
			return false;
		}
		BytesRead = static_cast<int32>(Received);
		static_cast<FInternetAddrPosix&>(Source).FromNative(From);
		return true;
	}

	bool HasPendingData(uint32& PendingDataSize) override
	{
		// As the engine answers it: from the system's count of queued bytes. That count is 0 for an empty
		// datagram, which therefore is never reported pending although the socket stays readable.
		PendingDataSize = 0;
		int Count = 0;
		if (::ioctl(Open(), FIONREAD, &Count) != 0 || Count <= 0)
		{
			return false;
		}
		PendingDataSize = static_cast<uint32>(Count);
		return true;
	}

	bool Wait(ESocketWaitConditions::Type Condition, FTimespan WaitTime) override
	{
		pollfd Poll{};
		Poll.fd = Open();
		Poll.events = Condition == ESocketWaitConditions::WaitForRead ? POLLIN
			: Condition == ESocketWaitConditions::WaitForWrite		  ? POLLOUT
																	  : (POLLIN | POLLOUT);
		const int64 TimeoutMs = (WaitTime.GetTicks() + ETimespan::TicksPerMillisecond - 1) / ETimespan::TicksPerMillisecond;
		const int Result = ::poll(&Poll, 1, static_cast<int>(TimeoutMs < 0 ? 0 : TimeoutMs));
		// A pending error counts as readable, as it does for the engine's select: the next receive reports and
		// clears it.
		return Result > 0 && (Poll.revents & (Poll.events | POLLERR)) != 0;
	}

	bool SetNonBlocking(bool bIsNonBlocking) override
	{
		const int Flags = ::fcntl(Open(), F_GETFL, 0);
		return Flags >= 0 && ::fcntl(Descriptor, F_SETFL, bIsNonBlocking ? (Flags | O_NONBLOCK) : (Flags & ~O_NONBLOCK)) == 0;
	}

	bool SetReuseAddr(bool bAllowReuse) override { return SetOption(SO_REUSEADDR, bAllowReuse ? 1 : 0); }
	bool SetBroadcast(bool bAllowBroadcast) override { return SetOption(SO_BROADCAST, bAllowBroadcast ? 1 : 0); }
	bool SetRecvErr(bool bUseErrorQueue) override
	{
		const int Value = bUseErrorQueue ? 1 : 0;
		return ::setsockopt(Open(), IPPROTO_IP, IP_RECVERR, &Value, sizeof(Value)) == 0;
	}

	bool JoinMulticastGroup(const FInternetAddr& GroupAddress) override
	{
		FInternetAddrPosix AnyInterface;
		AnyInterface.SetAnyAddress();
		return JoinMulticastGroup(GroupAddress, AnyInterface);
	}

	bool JoinMulticastGroup(const FInternetAddr& GroupAddress, const FInternetAddr& InterfaceAddress) override
	{
		ip_mreq Request{};
		Request.imr_multiaddr = static_cast<const FInternetAddrPosix&>(GroupAddress).ToNative().sin_addr;
		Request.imr_interface = static_cast<const FInternetAddrPosix&>(InterfaceAddress).ToNative().sin_addr;
		return ::setsockopt(Open(), IPPROTO_IP, IP_ADD_MEMBERSHIP, &Request, sizeof(Request)) == 0;
	}

	// On Linux this tells whether what this socket sends to a group reaches members on this machine; on Windows it
	// tells whether this socket receives what this machine sends. A receiver that wants both asks on both sides.
	bool SetMulticastLoopback(bool bLoopback) override
	{
		const int Value = bLoopback ? 1 : 0;
		return ::setsockopt(Open(), IPPROTO_IP, IP_MULTICAST_LOOP, &Value, sizeof(Value)) == 0;
	}

	bool SetMulticastTtl(uint8 TimeToLive) override
	{
		const int Value = TimeToLive;
		return ::setsockopt(Open(), IPPROTO_IP, IP_MULTICAST_TTL, &Value, sizeof(Value)) == 0;
	}

	bool SetMulticastInterface(const FInternetAddr& InterfaceAddress) override
	{
		const in_addr Interface = static_cast<const FInternetAddrPosix&>(InterfaceAddress).ToNative().sin_addr;
		return ::setsockopt(Open(), IPPROTO_IP, IP_MULTICAST_IF, &Interface, sizeof(Interface)) == 0;
	}

	bool SetReceiveBufferSize(int32 Size, int32& NewSize) override { return SetBufferSize(SO_RCVBUF, Size, NewSize); }
	bool SetSendBufferSize(int32 Size, int32& NewSize) override { return SetBufferSize(SO_SNDBUF, Size, NewSize); }

	void GetAddress(FInternetAddr& OutAddr) override
	{
		sockaddr_in Native{};
		socklen_t Size = sizeof(Native);
		if (::getsockname(Open(), reinterpret_cast<sockaddr*>(&Native), &Size) == 0)
		{
			static_cast<FInternetAddrPosix&>(OutAddr).FromNative(Native);
		}
	}

	int32 GetPortNo() override
	{
		FInternetAddrPosix Addr;
		GetAddress(Addr);
		return Addr.GetPort();
	}

private:
	/** Every operation but Close needs an open socket: using a closed one is a caller's bug. */
	int Open() const
	{
		checkf(Descriptor >= 0, "socket used after Close");
		return Descriptor;
	}

	bool SetOption(int Option, int Value) { return ::setsockopt(Open(), SOL_SOCKET, Option, &Value, sizeof(Value)) == 0; }

	bool SetBufferSize(int Option, int32 Size, int32& NewSize)
	{
		const int32 Limit = BufferSizeLimit.load(std::memory_order_relaxed);
		const bool bRefused = Limit > 0 && Size > Limit;
		if (bRefused)
		{
			errno = ENOBUFS;
		}
		const bool bSet = !bRefused && SetOption(Option, Size);
		int Actual = 0;
		socklen_t Length = sizeof(Actual);
		::getsockopt(Descriptor, SOL_SOCKET, Option, &Actual, &Length);
		NewSize = Actual;
		return bSet;
	}

	int Descriptor;
};

class FSocketSubsystemPosix final : public ISocketSubsystem
{
public:
	FSocket* CreateSocket(const FName& SocketType, const FString& SocketDescription) override
	{
		const bool bDatagram = SocketType == FName(NAME_SocketTypes::DGram);
		const int Descriptor = ::socket(AF_INET, (bDatagram ? SOCK_DGRAM : SOCK_STREAM) | SOCK_CLOEXEC, 0);
		if (Descriptor < 0)
		{
			return nullptr;
		}
		LiveSockets.fetch_add(1, std::memory_order_relaxed);
		return new FSocketPosix(Descriptor, bDatagram ? SOCKTYPE_Datagram : SOCKTYPE_Streaming, SocketDescription);
	}

	void DestroySocket(FSocket* Socket) override
	{
		if (Socket != nullptr)
		{
			delete Socket;
			LiveSockets.fetch_sub(1, std::memory_order_relaxed);
		}
	}

	TSharedRef<FInternetAddr> CreateInternetAddr() override { return MakeShared<FInternetAddrPosix>(); }

	FString GetLastErrorText() override
	{
		char Buffer[256];
		const char* Message = strerror_r(errno, Buffer, sizeof(Buffer));
		return FString::FromUtf8(Message);
	}
};
} // namespace

namespace
{
std::mutex PlatformNameMutex;
FName PlatformSubsystemName("WINDOWS");
} // namespace

ISocketSubsystem* ISocketSubsystem::Get(const FName& SubsystemName)
{
	static FSocketSubsystemPosix Subsystem;
	if (SubsystemName == NAME_None)
	{
		return &Subsystem;
	}
	std::lock_guard Lock(PlatformNameMutex);
	return SubsystemName == PlatformSubsystemName ? &Subsystem : nullptr;
}

void FSocketSubsystemTesting::SetPlatformName(const FName& PlatformName)
{
	std::lock_guard Lock(PlatformNameMutex);
	PlatformSubsystemName = PlatformName;
}

void FSocketSubsystemTesting::SetBufferSizeLimit(int32 LimitInBytes)
{
	BufferSizeLimit.store(LimitInBytes, std::memory_order_relaxed);
}

int32 ISocketSubsystem::GetLiveSocketCount()
{
	return LiveSockets.load(std::memory_order_relaxed);
}
