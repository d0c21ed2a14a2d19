#pragma once

#include "HAL/RunnableThread.h"
#include "Sockets.h"
#include "TavrixLiveLinkSource.h"

/** Reads a source's private state for tests; the source names it as its friend. */
class FTavrixLiveLinkSourceInspector
{
public:
	explicit FTavrixLiveLinkSourceInspector(FTavrixLiveLinkSource& InSource)
		: Source(InSource)
	{
	}

	/** The port the socket is bound to (the real one when the source asked for port 0); 0 without a socket. */
	int32 GetBoundPort() const { return Source.Socket != nullptr ? Source.Socket->GetPortNo() : 0; }
	bool HasSocket() const { return Source.Socket != nullptr; }
	bool HasThread() const { return Source.Thread != nullptr; }
	bool HasSocketSubsystem() const { return Source.SocketSubsystem != nullptr; }
	FString GetThreadName() const { return Source.Thread != nullptr ? Source.Thread->GetThreadName() : FString(); }
	FString GetThreadNameMember() const { return Source.ThreadName; }
	uint32 GetStackSize() const { return Source.Thread != nullptr ? Source.Thread->GetStackSize() : 0; }
	/** The priority the receive thread was created with; TPri_Num without a thread. */
	EThreadPriority GetThreadPriority() const { return Source.Thread != nullptr ? Source.Thread->GetThreadPriority() : TPri_Num; }
	/** Waits for the receive thread to end; the source must have been asked to stop. */
	void WaitForReceiveThread() const
	{
		if (Source.Thread != nullptr)
		{
			Source.Thread->WaitForCompletion();
		}
	}
	FTimespan GetWaitTime() const { return Source.WaitTime; }
	int32 GetRecvBufferSize() const { return Source.RecvBuffer.Num(); }

	FTavrixReceivedState GetReceivedState() const
	{
		std::lock_guard Lock(Source.DataMutex);
		return Source.ReceivedState;
	}
	/** The received location's X, for a caller that already holds DataMutex (a probe inside its release). */
	float GetReceivedLocationXWhileLocked() const { return Source.ReceivedState.Location.X; }
	void SetReceivedState(const FTavrixReceivedState& State) const
	{
		std::lock_guard Lock(Source.DataMutex);
		Source.ReceivedState = State;
	}
	bool HasReceivedData() const { return Source.bHasReceivedData.load(); }
	uint64 GetDecodedCameraCount() const
	{
		std::lock_guard Lock(Source.DataMutex);
		return Source.DecodedCameraCount;
	}
	/** Holds DataMutex until the returned lock goes: the receive thread then stalls inside the decoder. */
	[[nodiscard]] std::unique_lock<std::mutex> HoldDataMutex() const { return std::unique_lock<std::mutex>(Source.DataMutex); }
	/** The receive thread's system thread id, for reading its CPU time; 0 without a thread. */
	uint32 GetReceiveThreadId() const { return Source.Thread != nullptr ? Source.Thread->GetThreadID() : 0; }
	/** True when nobody holds DataMutex at this moment. */
	bool IsDataMutexFree() const
	{
		if (!Source.DataMutex.try_lock())
		{
			return false;
		}
		Source.DataMutex.unlock();
		return true;
	}
	/** The lock's address, for tools that watch it from outside (the benchmark times how long the tick holds it). */
	const void* GetDataMutexAddress() const { return &Source.DataMutex; }
	bool GetPushStaticData() const { return Source.bPushStaticData; }
	double GetFrameRate() const { return Source.FrameClock.GetFrameRate(); }
	int64 GetFrameOffset() const { return Source.FrameClock.GetFrameOffset(); }
	bool IsFrameClockSynchronised() const { return Source.FrameClock.IsSynchronised(); }
	/** Moves the local frame clock's origin, as if the source had been made that much earlier. */
	void ShiftStartTimeMs(int64 DeltaMs) const { Source.FrameClock.ShiftStartTime(DeltaMs); }
	bool GetAutoLens() const { return Source.bAutoLens; }
	bool GetAutoSceneTake() const { return Source.bAutoSceneTake; }
	bool GetAutoRecord() const { return Source.bAutoRecord; }
	const FIPv4Endpoint& GetDeviceEndpoint() const { return Source.DeviceEndpoint; }
	/** The counters behind the source's details. Only while no datagram reaches the source may a test record into
	 *  them: the receive thread is their one writer otherwise. */
	FTavrixStreamHealth& GetStreamHealth() const { return Source.StreamHealth; }
	const FString* GetAppliedMetadata() const { return Source.AppliedMetadata; }
	int32 GetAppliedRecordRequest() const { return Source.AppliedRecordRequest; }
	/** Moves the last start asked of Take Recorder back in time, as if DeltaMs had passed since. */
	void AgeLastStartRequest(int64 DeltaMs) const { Source.LastStartRequestMs -= DeltaMs; }
	int64 GetStartIntervalMs() const { return Source.StartIntervalMs; }
	/** Moves the latest burst of "Unknow data received" lines back in time (decoding thread, or none running). */
	void AgeForeignMemberLog(int64 DeltaUs) const { Source.ForeignMemberLog.LastBurstUs -= DeltaUs; }
	/** Whether a datagram from this address (host byte order) would be decoded (the receive thread must not run). */
	/** Foreign top-level members decoded so far, each counted (any thread). */
	uint64 GetForeignMembersDecoded() const { return Source.StreamHealth.Read(0).ForeignMembers; }
	bool AcceptsSender(uint32 Address) const { return Source.SenderFilter.Current().Accepts(Address); }

private:
	FTavrixLiveLinkSource& Source;
};
