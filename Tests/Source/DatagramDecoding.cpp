#include "DecoderHarness.h"

#include <gtest/gtest.h>

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

/** A camera message whose deepest value lies Depth levels down, the top-level object being the first level. */
std::string CameraMessageNestedTo(int Depth)
{
	const size_t Padding = static_cast<size_t>(Depth - 3); // the object, the "TVKCamera" array, the camera object
	return R"({"TVKCamera":[{"Location":[1,2,3],"Padding":)" + std::string(Padding, '[') + std::string(Padding, ']') + "}]}";
}

TEST(DatagramDecoding, WorkedExampleFillsTheReceivedState)
{
	FDecoderHarness Harness;
	EXPECT_FALSE(Harness.Decode(WorkedExample));
	const FTavrixReceivedState State = Harness.State();
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
	EXPECT_TRUE(Harness.Inspector.HasReceivedData());
	EXPECT_EQ(Harness.UnknownDataErrors(), 0);
}

TEST(DatagramDecoding, EmptyCameraObjectStoresEveryDefaultWithAllOptionsOn)
{
	FDecoderHarness Harness(true, true, true);
	Harness.Inspector.SetReceivedState(MarkerState());
	Harness.Decode(R"({"TVKCamera":[{}]})");
	const FTavrixReceivedState State = Harness.State();
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
	EXPECT_TRUE(Harness.Inspector.HasReceivedData());
}

TEST(DatagramDecoding, EmptyCameraObjectWithOptionsOffKeepsLensMetadataAndState)
{
	FDecoderHarness Harness(false, false, false);
	const FTavrixReceivedState Marker = MarkerState();
	Harness.Inspector.SetReceivedState(Marker);
	Harness.Decode(R"({"TVKCamera":[{"Lens":[1,2,3,4],"Metadata":["a","b","c"],"State":2}]})");
	const FTavrixReceivedState State = Harness.State();
	EXPECT_EQ(State.Location, FVector(0.0f, 0.0f, 0.0f));
	EXPECT_EQ(State.Scale, FVector(1.0f, 1.0f, 1.0f));
	EXPECT_EQ(State.Lens[0], Marker.Lens[0]);
	EXPECT_EQ(State.Lens[3], Marker.Lens[3]);
	EXPECT_EQ(Utf8(State.Metadata[1]), "m1");
	EXPECT_EQ(State.State, Marker.State);
	EXPECT_TRUE(Harness.Inspector.HasReceivedData());
}

TEST(DatagramDecoding, EmptyCameraObjectWithOptionsOffStillResetsRotationAndTimecode)
{
	FDecoderHarness Harness(false, false, false);
	Harness.Inspector.SetReceivedState(MarkerState());
	Harness.Decode(R"({"TVKCamera":[{}]})");
	const FTavrixReceivedState State = Harness.State();
	EXPECT_EQ(State.Rotation, FQuat(0.0f, 0.0f, 0.0f, 0.0f));
	EXPECT_EQ(State.Timecode[0], 0);
	EXPECT_EQ(State.Timecode[1], 0);
	EXPECT_EQ(State.Timecode[2], 0);
}

TEST(DatagramDecoding, MetadataAndStateAreReadWhenEitherTakeOptionIsOn)
{
	for (const auto& [bSceneTake, bRecord] : {std::pair{true, false}, std::pair{false, true}})
	{
		FDecoderHarness Harness(false, bSceneTake, bRecord);
		Harness.Decode(R"({"TVKCamera":[{"Metadata":["a","b","c"],"State":2}]})");
		EXPECT_EQ(Utf8(Harness.State().Metadata[2]), "c");
		EXPECT_EQ(Harness.State().State, 2);
	}
}

TEST(DatagramDecoding, ShortArraysGiveDefaultsAndLongArraysUseTheirLeadingElements)
{
	FDecoderHarness Harness;
	Harness.Decode(R"({"TVKCamera":[{"Location":[1,2,3],"Rotation":[1,2,3,4],"Scale":[5,6,7]}]})");
	Harness.Decode(
		R"({"TVKCamera":[{"Location":[1,2],"Rotation":[10,20,30],"Scale":[5,6],"Lens":[1,2,3,4,5],"Timecode":[1,2],"Metadata":["a","b"]}]})");
	const FTavrixReceivedState State = Harness.State();
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
	FDecoderHarness Harness;
	Harness.Inspector.SetReceivedState(MarkerState());
	Harness.Decode(
		R"({"TVKCamera":[{"Location":"1,2,3","Rotation":{"X":1},"Scale":7,"Lens":null,"Timecode":true,"Metadata":"x","State":"2"}]})");
	const FTavrixReceivedState State = Harness.State();
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
	FDecoderHarness Harness;
	Harness.Decode(R"({"tvkcamera":[{"LOCATION":[1,2,3],"timecode":[5,25,1],"state":2}]})");
	EXPECT_EQ(Harness.State().Location, FVector(1.0f, 2.0f, 3.0f));
	EXPECT_EQ(Harness.State().Timecode[0], 5);
	EXPECT_EQ(Harness.State().State, 2);
	EXPECT_EQ(Harness.UnknownDataErrors(), 0);
}

TEST(DatagramDecoding, ForeignTopLevelMembersAreLoggedOnceEachAndTheCameraStillDecodes)
{
	FDecoderHarness Harness;
	Harness.Decode(R"({"Version":1,"TVKCamera":[{"Location":[1,2,3]}],"Other":{"deep":[1,2]}})");
	EXPECT_EQ(Harness.UnknownDataErrors(), 2);
	EXPECT_EQ(Harness.State().Location, FVector(1.0f, 2.0f, 3.0f));
	for (const FLogCapture::FLine& Line : Harness.Log.GetLines())
	{
		if (Line.Category == "ModuleLog")
		{
			EXPECT_EQ(Line.Verbosity, ELogVerbosity::Error);
		}
	}
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
	FDecoderHarness Harness;
	const FTavrixReceivedState Marker = MarkerState();
	Harness.Inspector.SetReceivedState(Marker);
	Harness.Decode(R"({"a":1,"b":[2],"c":{}})");
	EXPECT_EQ(Harness.UnknownDataErrors(), 3);
	EXPECT_TRUE(SameState(Harness.State(), Marker));
	EXPECT_FALSE(Harness.Inspector.HasReceivedData());
}

TEST(DatagramDecoding, CameraValueWithoutACameraObjectIsSkippedSilently)
{
	FDecoderHarness Harness;
	const FTavrixReceivedState Marker = MarkerState();
	Harness.Inspector.SetReceivedState(Marker);
	for (const char* Message : {R"({"TVKCamera":5})", R"({"TVKCamera":[]})", R"({"TVKCamera":[5,{}]})",
			 R"({"TVKCamera":{"Location":[1,2,3]}})", R"({"TVKCamera":[null]})"})
	{
		Harness.Decode(Message);
	}
	EXPECT_TRUE(SameState(Harness.State(), Marker));
	EXPECT_FALSE(Harness.Inspector.HasReceivedData());
	EXPECT_EQ(Harness.UnknownDataErrors(), 0);
}

TEST(DatagramDecoding, OnlyTheFirstCameraObjectOfTheArrayIsUsed)
{
	FDecoderHarness Harness;
	Harness.Decode(R"({"TVKCamera":[{"Location":[1,1,1]},{"Location":[2,2,2]}]})");
	EXPECT_EQ(Harness.State().Location, FVector(1.0f, 1.0f, 1.0f));
}

TEST(DatagramDecoding, MessagesThatAreNotOneObjectChangeNothingAndLogNothing)
{
	FDecoderHarness Harness;
	const FTavrixReceivedState Marker = MarkerState();
	Harness.Inspector.SetReceivedState(Marker);
	const std::string Rejected[] = {
		std::string(3, '\0'),
		"",
		"[1,2,3]",
		"42",
		"{}",
		"{\"TVKCamera\":[{}]",
		"{\"TVKCamera\":[{}]} {}",
		"{\"TVKCamera\":[{}]}x",
		"\xEF\xBB\xBF{\"TVKCamera\":[{}]}",
		"{'TVKCamera':[{}]}",
	};
	for (const std::string& Message : Rejected)
	{
		EXPECT_FALSE(Harness.Decode(Message));
	}
	EXPECT_TRUE(SameState(Harness.State(), Marker));
	EXPECT_FALSE(Harness.Inspector.HasReceivedData());
	EXPECT_EQ(Harness.UnknownDataErrors(), 0);
	EXPECT_TRUE(Harness.Inspector.IsDataMutexFree());
}

TEST(DatagramDecoding, ZeroBytesAreDroppedWhereverTheyStand)
{
	FDecoderHarness Harness;
	using namespace std::string_literals;
	Harness.Decode("{\"TVKCamera\"\0:[\0{\"Location\":[1,\0\0 2,3]}]}\0"s);
	EXPECT_EQ(Harness.State().Location, FVector(1.0f, 2.0f, 3.0f));
}

TEST(DatagramDecoding, BytesAreLatin1CharactersAndEscapesAreDecoded)
{
	FDecoderHarness Harness;
	// "é" sent as UTF-8 arrives as two characters; sent as an escape it arrives as one.
	Harness.Decode("{\"TVKCamera\":[{\"Metadata\":[\"\\u00e9\",\"Sc\xC3\xA9ne\",\"\\ud83c\\udfac\"]}]}");
	const FTavrixReceivedState State = Harness.State();
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
	FDecoderHarness Harness;
	Harness.Decode(R"({"TVKCamera":[{"Timecode":[250.9,-12.9,-0.5]}]})");
	EXPECT_EQ(Harness.State().Timecode[0], 250);
	EXPECT_EQ(Harness.State().Timecode[1], -12);
	EXPECT_EQ(Harness.State().Timecode[2], 0);
	Harness.Decode(R"({"TVKCamera":[{"Timecode":[1e300,-1e300,4294967296]}]})");
	EXPECT_EQ(Harness.State().Timecode[0], std::numeric_limits<int32>::max());
	EXPECT_EQ(Harness.State().Timecode[1], std::numeric_limits<int32>::min());
	EXPECT_EQ(Harness.State().Timecode[2], std::numeric_limits<int32>::max());
}

TEST(DatagramDecoding, StateIsANumberTruncatedToAnInteger)
{
	FDecoderHarness Harness;
	Harness.Decode(R"({"TVKCamera":[{"State":2.0}]})");
	EXPECT_EQ(Harness.State().State, 2);
	Harness.Decode(R"({"TVKCamera":[{"State":2.9}]})");
	EXPECT_EQ(Harness.State().State, 2);
	Harness.Decode(R"({"TVKCamera":[{"State":-1e20}]})");
	EXPECT_EQ(Harness.State().State, std::numeric_limits<int32>::min());
	Harness.Decode(R"({"TVKCamera":[{}]})");
	EXPECT_EQ(Harness.State().State, 0);
}

TEST(DatagramDecoding, ElementsOfOtherTypesUseTheJsonLayersConversion)
{
	FDecoderHarness Harness;
	Harness.Decode(R"({"TVKCamera":[{"Location":["1.5",true,null],"Lens":[false,"x",[1],{}],"Metadata":[7,true,2.5]}]})");
	const FTavrixReceivedState State = Harness.State();
	EXPECT_EQ(State.Location, FVector(1.5f, 1.0f, 0.0f));
	for (double Value : State.Lens)
	{
		EXPECT_EQ(Value, 0.0);
	}
	EXPECT_EQ(Utf8(State.Metadata[0]), "7");
	EXPECT_EQ(Utf8(State.Metadata[1]), "true");
	EXPECT_EQ(Utf8(State.Metadata[2]), "2.5");
}

TEST(DatagramDecoding, FloatsRoundToNearestAndOverflowToInfinityWhileLensKeepsEveryBit)
{
	FDecoderHarness Harness;
	Harness.Decode(R"({"TVKCamera":[{"Location":[0.1,1e39,-1e39],"Lens":[0.1,1e300,5e-324,-0.0]}]})");
	const FTavrixReceivedState State = Harness.State();
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
	FDecoderHarness Harness;
	Harness.Decode(WorkedExample);
	const int32 NamesBefore = FName::GetNameTableSize();
	for (int Round = 0; Round < 200; ++Round)
	{
		std::string Message = "{";
		for (int Member = 0; Member < 50; ++Member)
		{
			Message += "\"name" + std::to_string(Round) + "_" + std::to_string(Member) + "\":1,";
		}
		Message += "\"TVKCamera\":[{\"Metadata\":[\"x" + std::to_string(Round) + "\",\"y\",\"z\"]}]}";
		Harness.Decode(Message);
	}
	EXPECT_EQ(FName::GetNameTableSize(), NamesBefore);
	EXPECT_EQ(Harness.UnknownDataErrors(), 200 * 50);
}

TEST(DatagramDecoding, SixtyFourLevelsOfNestingAreDecodedAndSixtyFiveDropped)
{
	FDecoderHarness Deepest;
	Deepest.Decode(CameraMessageNestedTo(64));
	EXPECT_TRUE(Deepest.Inspector.HasReceivedData());
	EXPECT_EQ(Deepest.State().Location, FVector(1.0f, 2.0f, 3.0f));

	FDecoderHarness TooDeep;
	TooDeep.Decode(CameraMessageNestedTo(65));
	EXPECT_FALSE(TooDeep.Inspector.HasReceivedData());
	EXPECT_EQ(TooDeep.UnknownDataErrors(), 0);
}

TEST(DatagramDecoding, DeeplyNestedMessagesAreRejectedWithoutHarm)
{
	FDecoderHarness Harness;
	const std::string Deep = "{\"TVKCamera\":[{\"Location\":" + std::string(100000, '[') + std::string(100000, ']') + "}]}";
	Harness.Decode(Deep);
	EXPECT_FALSE(Harness.Inspector.HasReceivedData());
	EXPECT_TRUE(Harness.Inspector.IsDataMutexFree());
}
} // namespace
