#include "Common/UdpSocketBuilder.h"

#include "SocketSubsystem.h"
#include "Sockets.h"

FSocket* FUdpSocketBuilder::Build() const
{
	// The platform's subsystem, whatever name it answers to.
	ISocketSubsystem* SocketSubsystem = ISocketSubsystem::Get();
	if (SocketSubsystem == nullptr)
	{
		UE_LOG(LogSockets, Error, TEXT("FUdpSocketBuilder: no socket subsystem for socket %s"), *Description);
		return nullptr;
	}
	FSocket* Socket = SocketSubsystem->CreateSocket(FName(NAME_SocketTypes::DGram), Description);
	if (Socket == nullptr)
	{
		UE_LOG(LogSockets, Error, TEXT("FUdpSocketBuilder: failed to create socket %s: %s"), *Description,
			*SocketSubsystem->GetLastErrorText());
		return nullptr;
	}

	const auto Fail = [&](const FString& What) {
		const FString Reason = SocketSubsystem->GetLastErrorText();
		UE_LOG(LogSockets, Error, TEXT("FUdpSocketBuilder: failed to %s for socket %s on %s: %s"), *What, *Description,
			*BoundEndpoint.ToString(), *Reason);
		SocketSubsystem->DestroySocket(Socket);
		return nullptr;
	};

	// Like the engine's builder, every option is set either way, so a socket that did not ask for one gets the
	// system's refusal of it rather than whatever the system defaults to.
	if (!Socket->SetNonBlocking(!bBlocking))
	{
		return Fail(TEXT("set the blocking mode"));
	}
	if (!Socket->SetReuseAddr(bReusable))
	{
		return Fail(TEXT("set address reuse"));
	}
	if (!Socket->SetBroadcast(bBroadcast))
	{
		return Fail(TEXT("set broadcast"));
	}
	if (!Socket->SetRecvErr())
	{
		return Fail(TEXT("set receive-error reporting"));
	}
	if (bBound)
	{
		TSharedRef<FInternetAddr> Addr = BoundEndpoint.ToInternetAddr();
		if (!Socket->Bind(*Addr))
		{
			return Fail(TEXT("bind"));
		}
	}
	if (!Socket->SetMulticastLoopback(bMulticastLoopback))
	{
		return Fail(TEXT("set multicast loopback"));
	}
	if (!Socket->SetMulticastTtl(MulticastTtl))
	{
		return Fail(TEXT("set the multicast time to live"));
	}
	for (const FGroupMembership& Membership : JoinedGroups)
	{
		const TSharedRef<FInternetAddr> GroupAddr = FIPv4Endpoint(Membership.Group, 0).ToInternetAddr();
		const TSharedRef<FInternetAddr> InterfaceAddr = FIPv4Endpoint(Membership.Interface, 0).ToInternetAddr();
		if (!Socket->JoinMulticastGroup(*GroupAddr, *InterfaceAddr))
		{
			return Fail(
				FString::Printf(TEXT("join group %s on interface %s"), *Membership.Group.ToString(), *Membership.Interface.ToString()));
		}
	}
	if (!Socket->SetMulticastInterface(*FIPv4Endpoint(MulticastInterface, 0).ToInternetAddr()))
	{
		return Fail(TEXT("set the multicast interface"));
	}

	// Only asked for: the system may refuse or cut a size, and the socket works either way.
	int32 GrantedSize = 0;
	if (ReceiveBufferSize > 0)
	{
		Socket->SetReceiveBufferSize(ReceiveBufferSize, GrantedSize);
	}
	if (SendBufferSize > 0)
	{
		Socket->SetSendBufferSize(SendBufferSize, GrantedSize);
	}
	return Socket;
}
