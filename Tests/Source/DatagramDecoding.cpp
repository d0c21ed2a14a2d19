#include "DecoderHarness.h"
#include "TavrixLogLimiter.h"
#include "TavrixMessageDecoder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>
#include <thread>
#include <vector>

namespace
{
const char* WorkedExample = R"({"TVKCamera":[{"Version":1,"Location":[120.5,-30,150],"Rotation":[0,0,0,1],"Scale":[1,1,1],)"
							R"("Lens":[35,300,1.5,60],"Timecode":[250,25,1],"Metadata":["","Scene 4","7"],"State":2}]})";

std::string Utf8(const FString& Text)
{
	return Text.ToUtf8();
}

/** Decodes datagrams into a received state as a source with these options does, without a source. */
struct FDecoding
{
	explicit FDecoding(bool bAutoLens = true, bool bAutoSceneTake = true, bool bAutoRecord = true)
		: Options{bAutoLens, bAutoSceneTake, bAutoRecord}
	{
	}

	TavrixMessageDecoder::FResult Decode(std::string_view Bytes)
	{
		TavrixMessageDecoder::FResult Result = TavrixMessageDecoder::DecodeInto(
			reinterpret_cast<const uint8*>(Bytes.data()), static_cast<int32>(Bytes.size()), Options, State);
		bAnyCamera = bAnyCamera || Result.bHasCamera;
		ForeignMembers += Result.ForeignMembers;
		return Result;
	}

	TavrixMessageDecoder::FOptions Options;
	FTavrixReceivedState State;
	bool bAnyCamera = false;
	int ForeignMembers = 0;
};

/**
 * Notes, for every "Unknow data received" line, whether DataMutex was free while it was being written. Asked from a
 * thread of its own: the writing thread cannot ask about a lock it might itself hold.
 */
class FLockWatchingLog : public FOutputDevice
{
public:
	explicit FLockWatchingLog(const FTavrixLiveLinkSourceInspector& InInspector)
		: Inspector(InInspector)
	{
		GLog->AddOutputDevice(this);
	}
	~FLockWatchingLog() override { GLog->RemoveOutputDevice(this); }

	void Serialize(const TCHAR* Text, ELogVerbosity::Type, const FName& Category) override
	{
		if (Category.ToString().ToUtf8() == "ModuleLog" && FString(Text).ToUtf8() == "Unknow data received")
		{
			bool bFree = false;
			std::thread([&] { bFree = Inspector.IsDataMutexFree(); }).join();
			LockFreeAtEachLine.push_back(bFree);
		}
	}

	std::vector<bool> LockFreeAtEachLine;

private:
	const FTavrixLiveLinkSourceInspector& Inspector;
};

TEST(DatagramDecoding, WorkedExampleFillsTheReceivedState)
{
	FDecoding Decoding;
	EXPECT_EQ(Decoding.Decode(WorkedExample).Verdict, TavrixMessageDecoder::EVerdict::Message);
	const FTavrixReceivedState& State = Decoding.State;
	EXPECT_EQ(State.Location, FVector(120.5f, -30.0f, 150.0f));
	EXPECT_EQ(State.Rotation, FQuat(0.0f, 0.0f, 0.0f, 1.0f));
	EXPECT_EQ(State.Scale, FVector(1.0f, 1.0f, 1.0f));
	EXPECT_EQ(State.Lens[0], 35.0);
	EXPECT_EQ(State.Lens[1], 300.0);
	EXPECT_EQ(State.Lens[2], 1.5);
	EXPECT_EQ(State.Lens[3], 60.0);
	EXPECT_EQ(State.Timecode[0], 250);
	EXPECT_EQ(State.Timecode[1], 25);
	EXPECT_EQ(State.Timecode[2], 1);
	EXPECT_EQ(Utf8(State.Metadata[0]), "");
	EXPECT_EQ(Utf8(State.Metadata[1]), "Scene 4");
	EXPECT_EQ(Utf8(State.Metadata[2]), "7");
	EXPECT_EQ(State.State, 2);
	EXPECT_TRUE(Decoding.bAnyCamera);
	EXPECT_EQ(Decoding.ForeignMembers, 0);
}

TEST(DatagramDecoding, EmptyCameraObjectStoresEveryDefaultWithAllOptionsOn)
{
	FDecoding Decoding(true, true, true);
	Decoding.State = MarkerState();
	Decoding.Decode(R"({"TVKCamera":[{}]})");
	const FTavrixReceivedState& State = Decoding.State;
	EXPECT_EQ(State.Location, FVector(0.0f, 0.0f, 0.0f));
	EXPECT_EQ(State.Rotation, FQuat(0.0f, 0.0f, 0.0f, 0.0f));
	EXPECT_EQ(State.Scale, FVector(1.0f, 1.0f, 1.0f));
	for (double Value : State.Lens)
	{
		EXPECT_EQ(Value, 0.0);
	}
	for (int32 Value : State.Timecode)
	{
		EXPECT_EQ(Value, 0);
	}
	for (const FString& Text : State.Metadata)
	{
		EXPECT_TRUE(Text.IsEmpty());
	}
	EXPECT_EQ(State.State, 0);
	EXPECT_TRUE(Decoding.bAnyCamera);
}

TEST(DatagramDecoding, EmptyCameraObjectWithOptionsOffKeepsLensMetadataAndState)
{
	FDecoding Decoding(false, false, false);
	const FTavrixReceivedState Marker = MarkerState();
	Decoding.State = Marker;
	Decoding.Decode(R"({"TVKCamera":[{"Lens":[1,2,3,4],"Metadata":["a","b","c"],"State":2}]})");
	const FTavrixReceivedState& State = Decoding.State;
	EXPECT_EQ(State.Location, FVector(0.0f, 0.0f, 0.0f));
	EXPECT_EQ(State.Scale, FVector(1.0f, 1.0f, 1.0f));
	EXPECT_EQ(State.Lens[0], Marker.Lens[0]);
	EXPECT_EQ(State.Lens[3], Marker.Lens[3]);
	EXPECT_EQ(Utf8(State.Metadata[1]), "m1");
	EXPECT_EQ(State.State, Marker.State);
	EXPECT_TRUE(Decoding.bAnyCamera);
}

TEST(DatagramDecoding, EmptyCameraObjectWithOptionsOffStillResetsRotationAndTimecode)
{
	FDecoding Decoding(false, false, false);
	Decoding.State = MarkerState();
	Decoding.Decode(R"({"TVKCamera":[{}]})");
	const FTavrixReceivedState& State = Decoding.State;
	EXPECT_EQ(State.Rotation, FQuat(0.0f, 0.0f, 0.0f, 0.0f));
	EXPECT_EQ(State.Timecode[0], 0);
	EXPECT_EQ(State.Timecode[1], 0);
	EXPECT_EQ(State.Timecode[2], 0);
}

TEST(DatagramDecoding, MetadataAndStateAreReadWhenEitherTakeOptionIsOn)
{
	for (const auto& [bSceneTake, bRecord] : {std::pair{true, false}, std::pair{false, true}})
	{
		FDecoding Decoding(false, bSceneTake, bRecord);
		Decoding.Decode(R"({"TVKCamera":[{"Metadata":["a","b","c"],"State":2}]})");
		EXPECT_EQ(Utf8(Decoding.State.Metadata[2]), "c");
		EXPECT_EQ(Decoding.State.State, 2);
	}
}

TEST(DatagramDecoding, ShortArraysGiveDefaultsAndLongArraysUseTheirLeadingElements)
{
	FDecoding Decoding;
	Decoding.Decode(R"({"TVKCamera":[{"Location":[1,2,3],"Rotation":[1,2,3,4],"Scale":[5,6,7]}]})");
	Decoding.Decode(
		R"({"TVKCamera":[{"Location":[1,2],"Rotation":[10,20,30],"Scale":[5,6],"Lens":[1,2,3,4,5],"Timecode":[1,2],"Metadata":["a","b"]}]})");
	const FTavrixReceivedState& State = Decoding.State;
	EXPECT_EQ(State.Location, FVector(0.0f, 0.0f, 0.0f));
	EXPECT_EQ(State.Rotation, FQuat(0.0f, 0.0f, 0.0f, 0.0f));
	EXPECT_EQ(State.Scale, FVector(1.0f, 1.0f, 1.0f));
	EXPECT_EQ(State.Lens[0], 1.0);
	EXPECT_EQ(State.Lens[3], 4.0);
	EXPECT_EQ(State.Timecode[0], 0);
	EXPECT_TRUE(State.Metadata[0].IsEmpty());
	EXPECT_TRUE(State.Metadata[1].IsEmpty());
}

TEST(DatagramDecoding, MembersThatAreNotArraysGiveDefaults)
{
	FDecoding Decoding;
	Decoding.State = MarkerState();
	Decoding.Decode(
		R"({"TVKCamera":[{"Location":"1,2,3","Rotation":{"X":1},"Scale":7,"Lens":null,"Timecode":true,"Metadata":"x","State":"2"}]})");
	const FTavrixReceivedState& State = Decoding.State;
	EXPECT_EQ(State.Location, FVector(0.0f, 0.0f, 0.0f));
	EXPECT_EQ(State.Rotation, FQuat(0.0f, 0.0f, 0.0f, 0.0f));
	EXPECT_EQ(State.Scale, FVector(1.0f, 1.0f, 1.0f));
	EXPECT_EQ(State.Lens[1], 0.0);
	EXPECT_EQ(State.Timecode[1], 0);
	EXPECT_TRUE(State.Metadata[2].IsEmpty());
	EXPECT_EQ(State.State, 0) << "a State given as text is not a number";
}

TEST(DatagramDecoding, MemberNamesIgnoreLetterCase)
{
	FDecoding Decoding;
	Decoding.Decode(R"({"tvkcamera":[{"LOCATION":[1,2,3],"timecode":[5,25,1],"state":2}]})");
	EXPECT_EQ(Decoding.State.Location, FVector(1.0f, 2.0f, 3.0f));
	EXPECT_EQ(Decoding.State.Timecode[0], 5);
	EXPECT_EQ(Decoding.State.State, 2);
	EXPECT_EQ(Decoding.ForeignMembers, 0);
}

TEST(DatagramDecoding, ForeignTopLevelMembersAreCountedAndTheCameraStillDecodes)
{
	FDecoding Decoding;
	Decoding.Decode(R"({"Version":1,"TVKCamera":[{"Location":[1,2,3]}],"Other":{"deep":[1,2]}})");
	EXPECT_EQ(Decoding.ForeignMembers, 2);
	EXPECT_EQ(Decoding.State.Location, FVector(1.0f, 2.0f, 3.0f));
}

TEST(DatagramDecoding, ForeignMembersAreLoggedWithoutHoldingTheLock)
{
	FDecoderHarness Harness;
	FLockWatchingLog Log(Harness.Inspector);
	Harness.Decode(R"({"Before":1,"TVKCamera":[{"Location":[1,2,3]}],"After":{}})");
	EXPECT_EQ(Log.LockFreeAtEachLine, (std::vector<bool>{true, true}));
	EXPECT_EQ(Harness.State().Location, FVector(1.0f, 2.0f, 3.0f));
}

TEST(DatagramDecoding, MessageWithoutACameraLogsEachMemberAndChangesNothing)
{
	FDecoding Decoding;
	const FTavrixReceivedState Marker = MarkerState();
	Decoding.State = Marker;
	Decoding.Decode(R"({"a":1,"b":[2],"c":{}})");
	EXPECT_EQ(Decoding.ForeignMembers, 3);
	EXPECT_TRUE(SameState(Decoding.State, Marker));
	EXPECT_FALSE(Decoding.bAnyCamera);
}

TEST(DatagramDecoding, CameraValueWithoutACameraObjectIsSkippedSilently)
{
	FDecoding Decoding;
	const FTavrixReceivedState Marker = MarkerState();
	Decoding.State = Marker;
	for (const char* Message : {R"({"TVKCamera":5})", R"({"TVKCamera":[]})", R"({"TVKCamera":[5,{}]})",
			 R"({"TVKCamera":{"Location":[1,2,3]}})", R"({"TVKCamera":[null]})"})
	{
		Decoding.Decode(Message);
	}
	EXPECT_TRUE(SameState(Decoding.State, Marker));
	EXPECT_FALSE(Decoding.bAnyCamera);
	EXPECT_EQ(Decoding.ForeignMembers, 0);
}

TEST(DatagramDecoding, OnlyTheFirstCameraObjectOfTheArrayIsUsed)
{
	FDecoding Decoding;
	Decoding.Decode(R"({"TVKCamera":[{"Location":[1,1,1]},{"Location":[2,2,2]}]})");
	EXPECT_EQ(Decoding.State.Location, FVector(1.0f, 1.0f, 1.0f));
}

TEST(DatagramDecoding, MessagesThatAreNotOneObjectChangeNothingAndLogNothing)
{
	FDecoding Decoding;
	const FTavrixReceivedState Marker = MarkerState();
	Decoding.State = Marker;
	const std::string Rejected[] = {
		std::string(3, '\0'),
		"",
		"[1,2,3]",
		"42",
		"{\"TVKCamera\":[{}]",
		"{\"TVKCamera\":[{}]} {}",
		"{\"TVKCamera\":[{}]}x",
		"\xEF\xBB\xBF{\"TVKCamera\":[{}]}",
		"{'TVKCamera':[{}]}",
	};
	for (const std::string& Message : Rejected)
	{
		EXPECT_EQ(Decoding.Decode(Message).Verdict, TavrixMessageDecoder::EVerdict::NotAMessage);
	}
	// An empty object is a message, with nothing in it.
	EXPECT_FALSE(Decoding.Decode("{}").bHasCamera);
	EXPECT_TRUE(SameState(Decoding.State, Marker));
	EXPECT_FALSE(Decoding.bAnyCamera);
	EXPECT_EQ(Decoding.ForeignMembers, 0);
}

TEST(DatagramDecoding, ZeroBytesAreDroppedWhereverTheyStand)
{
	FDecoding Decoding;
	using namespace std::string_literals;
	Decoding.Decode("{\"TVKCamera\"\0:[\0{\"Location\":[1,\0\0 2,3]}]}\0"s);
	EXPECT_EQ(Decoding.State.Location, FVector(1.0f, 2.0f, 3.0f));
}

TEST(DatagramDecoding, BytesAreLatin1CharactersAndEscapesAreDecoded)
{
	FDecoding Decoding;
	// "é" sent as UTF-8 arrives as two characters; sent as an escape it arrives as one.
	Decoding.Decode("{\"TVKCamera\":[{\"Metadata\":[\"\\u00e9\",\"Sc\xC3\xA9ne\",\"\\ud83c\\udfac\"]}]}");
	const FTavrixReceivedState& State = Decoding.State;
	ASSERT_EQ(State.Metadata[0].Len(), 1);
	EXPECT_EQ(State.Metadata[0][0], 0x00E9);
	ASSERT_EQ(State.Metadata[1].Len(), 6);
	EXPECT_EQ(State.Metadata[1][2], 0x00C3);
	EXPECT_EQ(State.Metadata[1][3], 0x00A9);
	ASSERT_EQ(State.Metadata[2].Len(), 2);
	EXPECT_EQ(State.Metadata[2][0], 0xD83C);
}

TEST(DatagramDecoding, TimecodeTruncatesTowardZeroAndSaturates)
{
	FDecoding Decoding;
	Decoding.Decode(R"({"TVKCamera":[{"Timecode":[250.9,-12.9,-0.5]}]})");
	EXPECT_EQ(Decoding.State.Timecode[0], 250);
	EXPECT_EQ(Decoding.State.Timecode[1], -12);
	EXPECT_EQ(Decoding.State.Timecode[2], 0);
	Decoding.Decode(R"({"TVKCamera":[{"Timecode":[1e300,-1e300,4294967296]}]})");
	EXPECT_EQ(Decoding.State.Timecode[0], std::numeric_limits<int32>::max());
	EXPECT_EQ(Decoding.State.Timecode[1], std::numeric_limits<int32>::min());
	EXPECT_EQ(Decoding.State.Timecode[2], std::numeric_limits<int32>::max());
}

TEST(DatagramDecoding, StateIsANumberTruncatedToAnInteger)
{
	FDecoding Decoding;
	Decoding.Decode(R"({"TVKCamera":[{"State":2.0}]})");
	EXPECT_EQ(Decoding.State.State, 2);
	Decoding.Decode(R"({"TVKCamera":[{"State":2.9}]})");
	EXPECT_EQ(Decoding.State.State, 2);
	Decoding.Decode(R"({"TVKCamera":[{"State":-1e20}]})");
	EXPECT_EQ(Decoding.State.State, std::numeric_limits<int32>::min());
	Decoding.Decode(R"({"TVKCamera":[{}]})");
	EXPECT_EQ(Decoding.State.State, 0);
}

TEST(DatagramDecoding, ElementsOfOtherTypesUseTheJsonLayersConversion)
{
	FDecoding Decoding;
	Decoding.Decode(R"({"TVKCamera":[{"Location":["1.5",true,null],"Lens":[false,"x",[1],{}],"Metadata":[7,true,2.5]}]})");
	const FTavrixReceivedState& State = Decoding.State;
	EXPECT_EQ(State.Location, FVector(1.5f, 1.0f, 0.0f));
	for (double Value : State.Lens)
	{
		EXPECT_EQ(Value, 0.0);
	}
	EXPECT_EQ(Utf8(State.Metadata[0]), "7");
	EXPECT_EQ(Utf8(State.Metadata[1]), "true");
	EXPECT_EQ(Utf8(State.Metadata[2]), "2.5");
}

TEST(DatagramDecoding, NumbersWhereTextsBelongAreWrittenInTheirShortestForm)
{
	FDecoding Decoding;
	Decoding.Decode(R"({"TVKCamera":[{"Metadata":[1e21,0.0001,123456789012345680000]}]})");
	EXPECT_EQ(Utf8(Decoding.State.Metadata[0]), "1e+21");
	EXPECT_EQ(Utf8(Decoding.State.Metadata[1]), "1e-04");
	EXPECT_EQ(Utf8(Decoding.State.Metadata[2]), "123456789012345683968");
	Decoding.Decode(R"({"TVKCamera":[{"Metadata":[-0.0,5e-324,0.30000000000000004]}]})");
	EXPECT_EQ(Utf8(Decoding.State.Metadata[0]), "-0");
	EXPECT_EQ(Utf8(Decoding.State.Metadata[1]), "5e-324");
	EXPECT_EQ(Utf8(Decoding.State.Metadata[2]), "0.30000000000000004");
}

TEST(DatagramDecoding, NumericTextsAreReadExactly)
{
	// Exact halfway cases and long mantissas, which a reading through a product of doubles gets wrong, and texts
	// beyond the double range, which read as 0.
	FDecoding Decoding;
	Decoding.Decode(R"({"TVKCamera":[{"Lens":["9007199254740993","2.2250738585072011e-308","-1e-400","1.7976931348623159e308"],)"
					R"("Location":["-.5","1.","1e"]}]})");
	const FTavrixReceivedState& State = Decoding.State;
	EXPECT_EQ(State.Lens[0], 9007199254740992.0);
	EXPECT_EQ(State.Lens[1], 2.2250738585072009e-308);
	EXPECT_EQ(State.Lens[2], 0.0);
	EXPECT_FALSE(std::signbit(State.Lens[2]));
	EXPECT_EQ(State.Lens[3], 0.0);
	EXPECT_EQ(State.Location, FVector(-0.5f, 1.0f, 0.0f));
}

TEST(DatagramDecoding, FloatsRoundToNearestAndOverflowToInfinityWhileLensKeepsEveryBit)
{
	FDecoding Decoding;
	Decoding.Decode(R"({"TVKCamera":[{"Location":[0.1,1e39,-1e39],"Lens":[0.1,1e300,5e-324,-0.0]}]})");
	const FTavrixReceivedState& State = Decoding.State;
	EXPECT_EQ(State.Location.X, 0.1f);
	EXPECT_EQ(State.Location.Y, std::numeric_limits<float>::infinity());
	EXPECT_EQ(State.Location.Z, -std::numeric_limits<float>::infinity());
	EXPECT_EQ(State.Lens[0], 0.1);
	EXPECT_EQ(State.Lens[1], 1e300);
	EXPECT_EQ(State.Lens[2], 5e-324);
	EXPECT_TRUE(std::signbit(State.Lens[3]));
}

TEST(DatagramDecoding, DistinctMemberNamesNeverGrowTheNameTable)
{
	FDecoding Decoding;
	Decoding.Decode(WorkedExample);
	const int32 NamesBefore = FName::GetNameTableSize();
	for (int Round = 0; Round < 200; ++Round)
	{
		std::string Message = "{";
		for (int Member = 0; Member < 50; ++Member)
		{
			Message += "\"name" + std::to_string(Round) + "_" + std::to_string(Member) + "\":1,";
		}
		Message += "\"TVKCamera\":[{\"Metadata\":[\"x" + std::to_string(Round) + "\",\"y\",\"z\"]}]}";
		Decoding.Decode(Message);
	}
	EXPECT_EQ(FName::GetNameTableSize(), NamesBefore);
	EXPECT_EQ(Decoding.ForeignMembers, 200 * 50);
}

TEST(DatagramDecoding, NestingOfSixtyFourLevelsIsDecodedAndSixtyFiveIsDropped)
{
	// The camera sits at level 3 (message, array, camera); "Location" nests the rest, with numbers inside strings and
	// brackets inside strings that must not count.
	const auto Message = [](int Levels) {
		const int Extra = Levels - 4;
		return "{\"TVKCamera\":[{\"Metadata\":[\"[[[{{{\",\"\\\"[\",\"x\"],\"Location\":[" + std::string(static_cast<size_t>(Extra), '[') +
			std::string(static_cast<size_t>(Extra), ']') + ",2,3]}]}";
	};
	FDecoding Decoding;
	EXPECT_EQ(Decoding.Decode(Message(64)).Verdict, TavrixMessageDecoder::EVerdict::Message);
	EXPECT_TRUE(Decoding.bAnyCamera);
	EXPECT_EQ(Utf8(Decoding.State.Metadata[1]), "\"[");
	EXPECT_EQ(Decoding.Decode(Message(65)).Verdict, TavrixMessageDecoder::EVerdict::TooDeep);
	EXPECT_EQ(
		Decoding.Decode("{\"a\":" + std::string(64, '{') + std::string(64, '}') + "}").Verdict, TavrixMessageDecoder::EVerdict::TooDeep);
}

TEST(DatagramDecoding, EveryKindOfValueIsConvertedByTheDecoderAndTheJsonLayerLogsNothing)
{
	FLogCapture Log;
	FDecoding Decoding;
	Decoding.Decode(R"({"TVKCamera":[{"Location":["1.5","-2e2",true],"Rotation":[false,null,[1],{"a":1}],)"
					R"("Scale":["x"," 1","1.5e400",""],"Lens":["0x10","inf","NaN","+1"],"Timecode":["7.9",true,"25"],)"
					R"("Metadata":[null,[],{}],"State":"2"}]})");
	const FTavrixReceivedState& State = Decoding.State;
	EXPECT_EQ(State.Location, FVector(1.5f, -200.0f, 1.0f));
	EXPECT_EQ(State.Rotation, FQuat(0.0f, 0.0f, 0.0f, 0.0f));
	EXPECT_EQ(State.Scale, FVector(0.0f, 0.0f, 0.0f));
	for (double Value : State.Lens)
	{
		EXPECT_EQ(Value, 0.0);
	}
	EXPECT_EQ(State.Timecode[0], 7);
	EXPECT_EQ(State.Timecode[1], 1);
	EXPECT_EQ(State.Timecode[2], 25);
	for (const FString& Text : State.Metadata)
	{
		EXPECT_TRUE(Text.IsEmpty());
	}
	EXPECT_EQ(State.State, 0) << "a State given as text is not a number";

	// The camera value itself of another kind, or an element that is not an object: no camera at all (the engine
	// would hand out a shared empty object for it).
	for (const char* Message : {R"({"TVKCamera":"x"})", R"({"TVKCamera":[[{}]]})", R"({"TVKCamera":[true]})"})
	{
		EXPECT_FALSE(Decoding.Decode(Message).bHasCamera) << Message;
	}
	EXPECT_TRUE(Log.GetLines().empty()) << Log.GetLines().front().Text;
}

TEST(DatagramDecoding, StateIsTruncatedAndSaturatedWhateverItsSize)
{
	FDecoding Decoding;
	for (const auto& [Text, Expected] :
		{std::pair{"2147483647.9", 2147483647}, std::pair{"2147483648", 2147483647}, std::pair{"1e300", 2147483647},
			std::pair{"-2147483648.9", -2147483647 - 1}, std::pair{"-1e300", -2147483647 - 1}, std::pair{"-0.9", 0}})
	{
		Decoding.Decode(std::string(R"({"TVKCamera":[{"State":)") + Text + "}]}");
		EXPECT_EQ(Decoding.State.State, Expected) << Text;
	}
}

TEST(DatagramDecoding, AMemberGivenTwiceCountsOnceWithItsLastValue)
{
	// As in the engine's map: names are keys, ignoring letter case, and the last value given for one wins.
	FDecoding Decoding;
	Decoding.Decode(R"({"TVKCamera":[{"Location":[1,1,1],"location":[2,2,2]}],"Foo":1,"FOO":2,"tvkcamera":[{"Location":[3,3,3]}]})");
	EXPECT_EQ(Decoding.State.Location, FVector(3.0f, 3.0f, 3.0f));
	EXPECT_EQ(Decoding.ForeignMembers, 1);
	Decoding.Decode(R"({"TVKCamera":[{"Scale":[5,5,5],"SCALE":7}]})");
	EXPECT_EQ(Decoding.State.Scale, FVector(1.0f, 1.0f, 1.0f));
}

TEST(DatagramDecoding, DeeplyNestedMessagesAreRejectedWithoutHarm)
{
	FDecoding Decoding;
	const std::string Deep = "{\"TVKCamera\":[{\"Location\":" + std::string(100000, '[') + std::string(100000, ']') + "}]}";
	EXPECT_EQ(Decoding.Decode(Deep).Verdict, TavrixMessageDecoder::EVerdict::TooDeep);
	EXPECT_FALSE(Decoding.bAnyCamera);
}

// The rest goes through a source: what it adds to the decoding is the log line per foreign member and the lock
// around storing.
TEST(DatagramDecoding, SourceLogsEachForeignMemberOnceAsAnError)
{
	FDecoderHarness Harness;
	EXPECT_FALSE(Harness.Decode(R"({"Version":1,"TVKCamera":[{"Location":[1,2,3]}],"Other":{"deep":[1,2]}})"));
	EXPECT_EQ(Harness.UnknownDataErrors(), 2);
	for (const FLogCapture::FLine& Line : Harness.Log.GetLines())
	{
		EXPECT_EQ(Line.Verbosity, ELogVerbosity::Error) << Line.Category;
	}
	EXPECT_EQ(Harness.State().Location, FVector(1.0f, 2.0f, 3.0f));
	EXPECT_TRUE(Harness.Inspector.HasReceivedData());

	// A second later each member is logged again.
	Harness.Inspector.AgeForeignMemberLog(1000000);
	const FTavrixReceivedState Before = Harness.State();
	EXPECT_FALSE(Harness.Decode(R"({"a":1,"b":[2],"c":{}})"));
	EXPECT_EQ(Harness.UnknownDataErrors(), 5);
	EXPECT_TRUE(SameState(Harness.State(), Before));
	EXPECT_FALSE(Harness.Decode("[1,2]"));
	EXPECT_EQ(Harness.UnknownDataErrors(), 5);
}

/** The "Unknow data received" lines and the counts of unlogged ones, in the order written. */
std::vector<std::string> ForeignMemberLines(const FLogCapture& Log)
{
	std::vector<std::string> Lines;
	for (const FLogCapture::FLine& Line : Log.GetLines())
	{
		if (Line.Category == "ModuleLog" && Line.Text.rfind("Unknow data received", 0) == 0)
		{
			EXPECT_EQ(Line.Verbosity, ELogVerbosity::Error) << Line.Text;
			Lines.push_back(Line.Text);
		}
	}
	return Lines;
}

TEST(DatagramDecoding, ForeignMemberLinesComeInOneBurstASecondWithTheCountOfTheRestOnALineOfItsOwn)
{
	FTavrixLogLimiter Limiter;
	const int64 Second = FTavrixLogLimiter::PeriodUs;
	// The first occurrence is written at once, the rest of that second only counted.
	FTavrixLogLimiter::FDecision Decision = Limiter.Note(5 * Second, 1);
	EXPECT_EQ(Decision.LinesToWrite, 1);
	EXPECT_EQ(Decision.UnwrittenToReport, 0u);
	for (int64 Step = 1; Step < 60; ++Step)
	{
		Decision = Limiter.Note(5 * Second + Step * Second / 60, 2);
		EXPECT_EQ(Decision.LinesToWrite, 0);
		EXPECT_EQ(Decision.UnwrittenToReport, 0u);
	}
	// A second after the burst: the count, then the new datagram's own lines, as many as a burst holds.
	Decision = Limiter.Note(6 * Second, 100);
	EXPECT_EQ(Decision.UnwrittenToReport, 118u);
	EXPECT_EQ(Decision.LinesToWrite, FTavrixLogLimiter::MaxLinesPerBurst);
	EXPECT_EQ(Limiter.TakeUnwritten(), uint64(100 - FTavrixLogLimiter::MaxLinesPerBurst));
	EXPECT_EQ(Limiter.TakeUnwritten(), 0u) << "handed over once";

	// A quiet spell: the next occurrence is written at once, whenever it comes.
	Decision = Limiter.Note(60 * Second, 3);
	EXPECT_EQ(Decision.LinesToWrite, 3);
	EXPECT_EQ(Decision.UnwrittenToReport, 0u);
	EXPECT_EQ(Limiter.Note(61 * Second - 1, 1).LinesToWrite, 0) << "the period is a whole second";
}

TEST(DatagramDecoding, AFloodOfForeignMembersWritesTheFirstAtOnceAndABoundedLogAfter)
{
	FDecoderHarness Harness;
	// One datagram of many short foreign members: a burst's worth is written at once, the rest only counted.
	std::string Large = "{";
	for (int Member = 0; Member < 5000; ++Member)
	{
		Large += "\"m" + std::to_string(Member) + "\":0,";
	}
	Large += "\"TVKCamera\":[{\"Location\":[1,2,3]}]}";
	const auto Started = std::chrono::steady_clock::now();
	Harness.Decode(Large);
	ASSERT_EQ(ForeignMemberLines(Harness.Log), std::vector<std::string>(FTavrixLogLimiter::MaxLinesPerBurst, "Unknow data received"));

	// A stream of datagrams with a member of their own: at most one burst and one count a second.
	constexpr int Datagrams = 3000;
	for (int Datagram = 0; Datagram < Datagrams; ++Datagram)
	{
		Harness.Decode(R"({"TVKCamera":[{"Location":[1,2,3]}],"Extra":1})");
	}
	const double Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - Started).count();
	const std::vector<std::string> Lines = ForeignMemberLines(Harness.Log);
	const size_t Bursts = static_cast<size_t>(Seconds) + 1;
	EXPECT_LE(Lines.size(), Bursts * (FTavrixLogLimiter::MaxLinesPerBurst + 1)) << Seconds << " s";

	// Nothing goes unaccounted for: what is still unlogged is reported when the source goes.
	Harness.Source.reset();
	uint64 Accounted = 0;
	for (const std::string& Line : ForeignMemberLines(Harness.Log))
	{
		Accounted += Line == "Unknow data received" ? 1 : std::stoull(Line.substr(std::string("Unknow data received: ").size()));
	}
	EXPECT_EQ(Accounted, 5000u + Datagrams);
}
} // namespace
