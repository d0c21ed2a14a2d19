// Feeds arbitrary datagrams to a source's decoder exactly as its receive loop does, ticks the client once after each,
// and traps when the decoder and an independent reading of the message (CameraMessageModel) disagree.
#include "CameraMessageModel.h"
#include "LiveLinkClient.h"
#include "Roles/LiveLinkCameraTypes.h"
#include "TavrixLiveLinkSource.h"
#include "TavrixLiveLinkSourceInspector.h"

#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string_view>

namespace
{
using namespace CameraMessageModel;

/** The largest payload of one UDP datagram over IPv4: nothing longer can reach the decoder. */
constexpr size_t MaxDatagramSize = 65507;

/** Reports the broken invariant and stops; libFuzzer keeps the input that got here. */
void TrapUnless(bool bHolds, const char* What)
{
	if (!bHolds)
	{
		std::fprintf(stderr, "Broken invariant: %s\n", What);
		__builtin_trap();
	}
}

/** A state no decoded camera object leaves behind by accident: a refused message must leave it in place. */
FTavrixReceivedState MakeMarkerState()
{
	FTavrixReceivedState State;
	State.Location = FVector(-3.25f, 17.5f, 1.0e-3f);
	State.Rotation = FQuat(0.125f, -0.25f, 0.5f, 0.75f);
	State.Scale = FVector(4.0f, 5.0f, 6.0f);
	State.Lens[0] = 24.5;
	State.Lens[1] = -1.0;
	State.Lens[2] = 2.39;
	State.Lens[3] = 1.0e300;
	State.Timecode[0] = -41;
	State.Timecode[1] = 48000;
	State.Timecode[2] = 1001;
	State.Metadata[0] = TEXT("marker first");
	State.Metadata[1] = TEXT("marker scene");
	State.Metadata[2] = TEXT("marker take");
	State.State = 31;
	return State;
}

bool SameFloat(float A, float B)
{
	return A == B || (std::isnan(A) && std::isnan(B));
}

bool SameTransform(const FTransform& Transform, const FTavrixReceivedState& State)
{
	const FQuat& Rotation = Transform.GetRotation();
	const FVector& Translation = Transform.GetTranslation();
	const FVector& Scale = Transform.GetScale3D();
	return SameFloat(Rotation.X, State.Rotation.X) && SameFloat(Rotation.Y, State.Rotation.Y) && SameFloat(Rotation.Z, State.Rotation.Z) &&
		SameFloat(Rotation.W, State.Rotation.W) && SameFloat(Translation.X, State.Location.X) &&
		SameFloat(Translation.Y, State.Location.Y) && SameFloat(Translation.Z, State.Location.Z) && SameFloat(Scale.X, State.Scale.X) &&
		SameFloat(Scale.Y, State.Scale.Y) && SameFloat(Scale.Z, State.Scale.Z);
}

bool MatchesFloat(float Stored, const FNumberExpectation& Expected)
{
	return Stored == ToNearestFloat(Expected.Value) || (Expected.Alternative && Stored == ToNearestFloat(*Expected.Alternative));
}

bool MatchesDouble(double Stored, const FNumberExpectation& Expected)
{
	return Stored == Expected.Value || (Expected.Alternative && Stored == *Expected.Alternative);
}

bool MatchesInt(int32 Stored, const FNumberExpectation& Expected)
{
	return Stored == TruncateSaturated(Expected.Value) || (Expected.Alternative && Stored == TruncateSaturated(*Expected.Alternative));
}

bool MatchesText(const FString& Stored, const FTextExpectation& Expected)
{
	if (Expected.NumberText)
	{
		return IsDecimalFormOf(Stored.GetStdString(), *Expected.NumberText);
	}
	return Stored.GetStdString() == Expected.Text;
}

void CheckDecodedCamera(const FTavrixReceivedState& State, const FCameraExpectation& Expected)
{
	const float Location[3] = {State.Location.X, State.Location.Y, State.Location.Z};
	const float Rotation[4] = {State.Rotation.X, State.Rotation.Y, State.Rotation.Z, State.Rotation.W};
	const float Scale[3] = {State.Scale.X, State.Scale.Y, State.Scale.Z};
	for (int32 Index = 0; Index < 3; ++Index)
	{
		TrapUnless(MatchesFloat(Location[Index], Expected.Location[Index]), "Location differs from the message's");
		TrapUnless(MatchesFloat(Scale[Index], Expected.Scale[Index]), "Scale differs from the message's");
		TrapUnless(MatchesInt(State.Timecode[Index], Expected.Timecode[Index]), "Timecode differs from the message's");
		TrapUnless(MatchesText(State.Metadata[Index], Expected.Metadata[Index]), "Metadata differs from the message's");
	}
	for (int32 Index = 0; Index < 4; ++Index)
	{
		TrapUnless(MatchesFloat(Rotation[Index], Expected.Rotation[Index]), "Rotation differs from the message's");
		TrapUnless(MatchesDouble(State.Lens[Index], Expected.Lens[Index]), "Lens differs from the message's");
	}
	TrapUnless(State.State == Expected.State, "State differs from the message's");
}

void CheckUnchanged(const FTavrixReceivedState& State, const FTavrixReceivedState& Marker)
{
	TrapUnless(State.Location == Marker.Location && State.Rotation == Marker.Rotation && State.Scale == Marker.Scale,
		"a message without a decoded camera changed the transform");
	for (int32 Index = 0; Index < 4; ++Index)
	{
		TrapUnless(State.Lens[Index] == Marker.Lens[Index], "a message without a decoded camera changed the lens");
	}
	for (int32 Index = 0; Index < 3; ++Index)
	{
		TrapUnless(State.Timecode[Index] == Marker.Timecode[Index], "a message without a decoded camera changed the timecode");
		TrapUnless(State.Metadata[Index].Equals(Marker.Metadata[Index], ESearchCase::CaseSensitive),
			"a message without a decoded camera changed the metadata");
	}
	TrapUnless(State.State == Marker.State, "a message without a decoded camera changed the state");
}

/** Counts the log's lines instead of printing them; libFuzzer's own output stays readable. */
class FLogCounter final : public FOutputDevice
{
public:
	FLogCounter() { GLog->AddOutputDevice(this); }
	~FLogCounter() override { GLog->RemoveOutputDevice(this); }

	void Serialize(const TCHAR* Text, ELogVerbosity::Type Verbosity, const FName& Category) override
	{
		const bool bUnknownData = Category == FName("ModuleLog") && Verbosity == ELogVerbosity::Error &&
			FString(Text).Equals(TEXT("Unknow data received"), ESearchCase::CaseSensitive);
		(bUnknownData ? UnknownDataLines : OtherLines).fetch_add(1);
	}

	std::atomic<int64> UnknownDataLines{0};
	std::atomic<int64> OtherLines{0};
};

/**
 * One source with every option on, bound to a loopback port of the system's choosing and added to a Live Link client
 * that publishes into this process only. Made on the first input and never destroyed: libFuzzer ends the process
 * through exit() while the source's receive thread still waits on its socket.
 */
class FDecoderRig
{
public:
	FDecoderRig()
		: Source(MakeShared<FTavrixLiveLinkSource>(FIPv4Endpoint(FIPv4Address::InternalLoopback, 0), true, true, true))
		, Inspector(*Source)
	{
		Client.OnFrameDataReceived.AddLambda([this](const FLiveLinkSubjectKey& Key, const FLiveLinkFrameDataStruct& Frame) {
			if (Key == FLiveLinkSubjectKey(SourceGuid, FName("Tavrix - Camera")))
			{
				const FLiveLinkCameraFrameData* Camera = Frame.Cast<FLiveLinkCameraFrameData>();
				TrapUnless(Camera != nullptr, "the camera subject got a frame that is not a camera frame");
				LastTransform = Camera->Transform;
				++FramesSeen;
			}
		});
		SourceGuid = Client.AddSource(Source);
	}

	void Run(std::string_view Bytes)
	{
		const FTavrixReceivedState Marker = MakeMarkerState();
		Inspector.SetReceivedState(Marker);
		const uint64 CamerasBefore = Inspector.GetDecodedCameraCount();
		const int64 UnknownDataBefore = Log.UnknownDataLines.load();
		const int64 OtherLinesBefore = Log.OtherLines.load();

		// Exactly as the receive loop hands a datagram over: a fresh thread-safe array holding only its bytes.
		TSharedPtr<TArray<uint8>, ESPMode::ThreadSafe> Data = MakeShared<TArray<uint8>, ESPMode::ThreadSafe>();
		Data->Append(reinterpret_cast<const uint8*>(Bytes.data()), static_cast<int32>(Bytes.size()));
		TrapUnless(!Source->ProcessReceivedData(Data), "the decoder returned true");
		Data.Reset();
		TrapUnless(Inspector.IsDataMutexFree(), "DataMutex is held after decoding");

		const FMessageExpectation Expected = Read(Bytes);
		if (Expected.bDetermined)
		{
			CheckAgainstModel(
				Expected, Marker, Inspector.GetDecodedCameraCount() - CamerasBefore, Log.UnknownDataLines.load() - UnknownDataBefore);
		}
		TrapUnless(Log.OtherLines.load() == OtherLinesBefore, "decoding logged something else");

		const uint64 FramesBefore = FramesSeen;
		Client.Tick();
		TrapUnless(Inspector.IsDataMutexFree(), "DataMutex is held after the tick");
		if (Inspector.HasReceivedData())
		{
			TrapUnless(FramesSeen == FramesBefore + 1, "a tick after decoded data published no camera frame");
			TrapUnless(SameTransform(LastTransform, Inspector.GetReceivedState()), "the published transform differs from ReceivedState");
		}
		else
		{
			TrapUnless(FramesSeen == FramesBefore, "a frame was published before any camera was decoded");
		}
	}

private:
	void CheckAgainstModel(
		const FMessageExpectation& Expected, const FTavrixReceivedState& Marker, uint64 CamerasDecoded, int64 UnknownDataLines) const
	{
		TrapUnless(Expected.bAccepted || CamerasDecoded == 0, "a message the model refuses changed the state");
		TrapUnless(
			CamerasDecoded == static_cast<uint64>(Expected.CameraCount), "decoded another number of camera objects than the message holds");
		TrapUnless(UnknownDataLines == Expected.OtherMemberCount,
			"\"Unknow data received\" was not logged once for each top-level member of another name");
		const FTavrixReceivedState State = Inspector.GetReceivedState();
		if (Expected.CameraCount > 0)
		{
			TrapUnless(Inspector.HasReceivedData(), "a decoded camera did not set bHasReceivedData");
			CheckDecodedCamera(State, Expected.LastCamera);
		}
		else
		{
			CheckUnchanged(State, Marker);
		}
	}

	FLogCounter Log;
	FLiveLinkClient Client;
	TSharedPtr<FTavrixLiveLinkSource> Source;
	FTavrixLiveLinkSourceInspector Inspector;
	FGuid SourceGuid;
	FTransform LastTransform;
	uint64 FramesSeen = 0;
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)
{
	// The receive loop never hands over an empty datagram, nor one longer than UDP carries.
	if (Size == 0 || Size > MaxDatagramSize)
	{
		return -1;
	}
	static FDecoderRig* const Rig = new FDecoderRig();
	Rig->Run(std::string_view(reinterpret_cast<const char*>(Data), Size));
	return 0;
}
