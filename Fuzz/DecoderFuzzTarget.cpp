// Feeds arbitrary datagrams to the decoder and traps when it and an independent reading of the message
// (CameraMessageModel) disagree.
#include "CameraMessageModel.h"
#include "Serialization/JsonSerializer.h"
#include "TavrixMessageDecoder.h"
#include "Serialization/JsonReaderTesting.h"

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
 * The decoder with every option on, over a state it keeps between inputs. The JSON layer's own nesting limit is
 * lifted, as the engine's reader has none: only the decoder keeps deep texts from it.
 */
class FDecoderRig
{
public:
	FDecoderRig() { FJsonReaderTesting::SetMaxDepth(0); }

	void Run(std::string_view Bytes)
	{
		const FTavrixReceivedState Marker = MakeMarkerState();
		FTavrixReceivedState State = Marker;
		const int64 LinesBefore = Log.UnknownDataLines.load() + Log.OtherLines.load();

		const TavrixMessageDecoder::FResult Result = TavrixMessageDecoder::DecodeInto(
			reinterpret_cast<const uint8*>(Bytes.data()), static_cast<int32>(Bytes.size()), TavrixMessageDecoder::FOptions{}, State);
		// The decoder reports; it never logs, and the JSON layer's conversions (which log) are never asked for.
		TrapUnless(Log.UnknownDataLines.load() + Log.OtherLines.load() == LinesBefore, "decoding logged something");

		const FMessageExpectation Expected = Read(Bytes);
		if (!Expected.bDetermined)
		{
			return;
		}
		TrapUnless(Expected.bAccepted == (Result.Verdict == TavrixMessageDecoder::EVerdict::Message),
			"the decoder and the model disagree on whether the text is one message");
		TrapUnless(Result.bHasCamera == (Expected.CameraCount > 0), "the decoder and the model disagree on the camera");
		TrapUnless(
			Result.ForeignMembers == Expected.OtherMemberCount, "another number of foreign top-level members than the message holds");
		if (Result.bHasCamera)
		{
			CheckDecodedCamera(State, Expected.LastCamera);
		}
		else
		{
			CheckUnchanged(State, Marker);
		}
	}

private:
	FLogCounter Log;
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
