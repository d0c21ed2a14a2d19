#include "Common/UdpSocketBuilder.h"

#include "SocketSubsystem.h"
#include "Sockets.h"

FSocket* FUdpSocketBuilder::Build() const
{
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

	const auto Fail = [&](const TCHAR* What) {
		const FString Reason = SocketSubsystem->GetLastErrorText();
		UE_LOG(LogSockets, Error, TEXT("FUdpSocketBuilder: failed to %s for socket %s on %s: %s"), What, *Description,
			*BoundEndpoint.ToString(), *Reason);
		SocketSubsystem->DestroySocket(Socket);
		return nullptr;
	};

	if (!Socket->SetNonBlocking(!bBlocking))
	{
		return Fail(TEXT("set the blocking mode"));
	}
	if (bReusable && !Socket->SetReuseAddr(true))
	{
		return Fail(TEXT("allow address reuse"));
	}
	if (bBroadcast && !Socket->SetBroadcast(true))
	{
		return Fail(TEXT("allow broadcast"));
	}
	if (bBound)
	{
		TSharedRef<FInternetAddr> Addr = BoundEndpoint.ToInternetAddr();
		if (!Socket->Bind(*Addr))
		{
			return Fail(TEXT("bind"));
		}
	}
	int32 ActualSize = 0;
	if (ReceiveBufferSize > 0 && !Socket->SetReceiveBufferSize(ReceiveBufferSize, ActualSize))
	{
		return Fail(TEXT("set the receive buffer size"));
	}
	if (SendBufferSize > 0 && !Socket->SetSendBufferSize(SendBufferSize, ActualSize))
	{
		return Fail(TEXT("set the send buffer size"));
	}
	return Socket;
}
