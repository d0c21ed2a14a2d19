#pragma once

#include "LogCapture.h"
#include "SourceTestSupport.h"

#include <string>
#include <string_view>

/** A source whose decoder is fed directly, as the receive loop feeds it, bypassing the socket. */
class FDecoderHarness
{
public:
	explicit FDecoderHarness(bool bAutoLens = true, bool bAutoSceneTake = true, bool bAutoRecord = true)
		: Source(MakeLoopbackSource(bAutoLens, bAutoSceneTake, bAutoRecord))
		, Inspector(*Source)
	{
	}

	/** Hands the bytes to the decoder in a fresh shared array, exactly as the receive loop does. */
	bool Decode(std::string_view Bytes)
	{
		TSharedPtr<TArray<uint8>, ESPMode::ThreadSafe> Data = MakeShared<TArray<uint8>, ESPMode::ThreadSafe>();
		Data->Append(reinterpret_cast<const uint8*>(Bytes.data()), static_cast<int32>(Bytes.size()));
		return Source->ProcessReceivedData(Data);
	}

	FTavrixReceivedState State() const { return Inspector.GetReceivedState(); }
	int UnknownDataErrors() const { return Log.CountLines("ModuleLog", "Unknow data received"); }

	std::shared_ptr<FTavrixLiveLinkSource> Source;
	FTavrixLiveLinkSourceInspector Inspector;
	FLogCapture Log;
};

/** A recognisable state to decode over, so that "nothing changed" can be told from "defaults were stored". */
inline FTavrixReceivedState MarkerState()
{
	FTavrixReceivedState State;
	State.Location = FVector(9.0f, 9.0f, 9.0f);
	State.Rotation = FQuat(0.5f, 0.5f, 0.5f, 0.5f);
	State.Scale = FVector(2.0f, 2.0f, 2.0f);
	State.Lens[0] = 11.0;
	State.Lens[1] = 12.0;
	State.Lens[2] = 13.0;
	State.Lens[3] = 14.0;
	State.Timecode[0] = 77;
	State.Timecode[1] = 24;
	State.Timecode[2] = 1;
	State.Metadata[0] = TEXT("m0");
	State.Metadata[1] = TEXT("m1");
	State.Metadata[2] = TEXT("m2");
	State.State = 2;
	return State;
}

inline bool SameState(const FTavrixReceivedState& A, const FTavrixReceivedState& B)
{
	for (int Index = 0; Index < 4; ++Index)
	{
		if (A.Lens[Index] != B.Lens[Index])
		{
			return false;
		}
	}
	for (int Index = 0; Index < 3; ++Index)
	{
		if (A.Timecode[Index] != B.Timecode[Index] || !A.Metadata[Index].Equals(B.Metadata[Index], ESearchCase::CaseSensitive))
		{
			return false;
		}
	}
	return A.Location == B.Location && A.Rotation == B.Rotation && A.Scale == B.Scale && A.State == B.State;
}
