#include "DecoderHarness.h"
#include "HostileTestSupport.h"
#include "HAL/Runnable.h"
#include "HAL/RunnableThread.h"
#include "Serialization/JsonSerializer.h"
#include "Serialization/JsonReaderTesting.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <set>
#include <string>
#include <vector>

// Hostile and broken datagrams sent over loopback to a receiving source that a Live Link client ticks: whatever
// arrives, the receive thread keeps going, the state changes only for valid camera messages, and the next normal
// datagram is published.
namespace
{
using namespace HostileTest;

constexpr int32 Int32Max = std::numeric_limits<int32>::max();
constexpr int32 Int32Min = std::numeric_limits<int32>::min();
constexpr float Infinity = std::numeric_limits<float>::infinity();

/** Message padded with Filler after its closing brace up to the largest datagram. */
std::string PadToMaximum(std::string Message, char Filler)
{
	Message.resize(MaxDatagramSize, Filler);
	return Message;
}

/** A camera message marked Marker whose camera object also holds Member, a text that fills the datagram. */
std::string MaximumSizeMessageWithMember(int Marker, const std::string& MemberName)
{
	const std::string Head = "{\"TVKCamera\":[{\"Location\":[" + std::to_string(Marker) + ",2,3]," + MemberName + ":\"";
	const std::string Tail = "\"}]}";
	return Head + std::string(MaxDatagramSize - Head.size() - Tail.size(), 'S') + Tail;
}

/** Sends Payload and waits until it has been handled; true when it decoded no camera and left the state alone. */
::testing::AssertionResult SendChangesNothing(FLoopbackRig& Rig, const std::string& Payload)
{
	const FTavrixLiveLinkSourceInspector Inspector = Rig.Inspector();
	const FTavrixReceivedState Before = Inspector.GetReceivedState();
	const uint64 DecodedBefore = Inspector.GetDecodedCameraCount();
	if (!Rig.Send(Payload))
	{
		return ::testing::AssertionFailure() << "a datagram of " << Payload.size() << " bytes could not be sent";
	}
	if (!Rig.Settle())
	{
		return ::testing::AssertionFailure() << "the receive thread stopped handling datagrams";
	}
	if (Inspector.GetDecodedCameraCount() != DecodedBefore)
	{
		return ::testing::AssertionFailure() << "a camera was decoded from a datagram of " << Payload.size() << " bytes";
	}
	if (!SameState(Inspector.GetReceivedState(), Before))
	{
		return ::testing::AssertionFailure() << "the received state changed";
	}
	if (!Inspector.IsDataMutexFree())
	{
		return ::testing::AssertionFailure() << "the data lock is still held";
	}
	return ::testing::AssertionSuccess();
}

TEST(HostileInput, MaximumSizeValidMessagesAreDecoded)
{
	FLoopbackRig Rig;
	const FTavrixLiveLinkSourceInspector Inspector = Rig.Inspector();

	// White space of all four kinds around the text; then zero bytes, which are dropped wherever they stand.
	std::string Spaced = " \t\r\n" + CameraMessage(101);
	Spaced = PadToMaximum(Spaced, ' ');
	for (size_t Index = Spaced.size() - 4000; Index < Spaced.size(); Index += 4)
	{
		Spaced.replace(Index, 4, "\t\r\n ");
	}
	ASSERT_TRUE(Rig.Send(Spaced));
	ASSERT_TRUE(Rig.AwaitPublication(101));

	ASSERT_TRUE(Rig.Send(PadToMaximum(CameraMessage(102), '\0')));
	ASSERT_TRUE(Rig.AwaitPublication(102));

	// A member of the camera object that is not part of the format and fills the datagram is passed over.
	const std::string Huge = MaximumSizeMessageWithMember(103, "\"Metadata\":[\"\",\"S\",\"7\"],\"Other\"");
	ASSERT_EQ(Huge.size(), MaxDatagramSize);
	ASSERT_TRUE(Rig.Send(Huge));
	ASSERT_TRUE(Rig.AwaitPublication(103));
	EXPECT_EQ(Inspector.GetReceivedState().Metadata[1].ToUtf8(), "S");

	// A scene name that fills the datagram arrives whole.
	std::string HugeScene = "{\"TVKCamera\":[{\"Location\":[104,2,3],\"Metadata\":[\"\",\"";
	const std::string SceneTail = "\",\"7\"]}]}";
	const size_t SceneLength = MaxDatagramSize - HugeScene.size() - SceneTail.size();
	HugeScene += std::string(SceneLength, 'x') + SceneTail;
	ASSERT_TRUE(Rig.Send(HugeScene));
	ASSERT_TRUE(Rig.AwaitPublication(104));
	const FTavrixReceivedState State = Inspector.GetReceivedState();
	EXPECT_EQ(State.Metadata[1].Len(), static_cast<int32>(SceneLength));
	EXPECT_EQ(State.Metadata[2].ToUtf8(), "7");

	// The same with a scene name written as escaped surrogate pairs: twelve bytes for two code units each.
	std::string EscapedScene = "{\"TVKCamera\":[{\"Location\":[105,2,3],\"Metadata\":[\"\",\"";
	size_t Pairs = 0;
	while (EscapedScene.size() + 12 + SceneTail.size() <= MaxDatagramSize)
	{
		EscapedScene += "\\uD83D\\uDE00";
		++Pairs;
	}
	EscapedScene += SceneTail;
	ASSERT_TRUE(Rig.Send(EscapedScene));
	ASSERT_TRUE(Rig.AwaitPublication(105));
	const FString EscapedText = Inspector.GetReceivedState().Metadata[1];
	ASSERT_EQ(EscapedText.Len(), static_cast<int32>(2 * Pairs));
	EXPECT_EQ(EscapedText[EscapedText.Len() - 2], char16_t(0xD83D));
	EXPECT_EQ(EscapedText[EscapedText.Len() - 1], char16_t(0xDE00));

	// A foreign top-level member that fills the datagram is counted once; the camera beside it still counts.
	const int64_t ForeignBefore = Rig.ForeignMembers();
	std::string Foreign = "{\"Padding\":\"";
	const std::string ForeignTail = "\",\"TVKCamera\":[{\"Location\":[106,2,3]}]}";
	Foreign += std::string(MaxDatagramSize - Foreign.size() - ForeignTail.size(), 'p') + ForeignTail;
	ASSERT_TRUE(Rig.Send(Foreign));
	ASSERT_TRUE(Rig.AwaitPublication(106));
	EXPECT_EQ(Rig.ForeignMembers(), ForeignBefore + 1);
	EXPECT_EQ(Inspector.GetDecodedCameraCount(), 6u);

	ASSERT_TRUE(Rig.SendMarkerAndAwaitPublication(107));
}

TEST(HostileInput, MaximumSizeInvalidDatagramsAreDroppedAndTrafficFlowsOn)
{
	FLoopbackRig Rig;
	ASSERT_TRUE(Rig.SendMarkerAndAwaitPublication(1));

	// One character of garbage after a valid text spoils all of it.
	std::string Trailing = PadToMaximum(CameraMessage(2), ' ');
	Trailing.back() = 'x';
	EXPECT_TRUE(SendChangesNothing(Rig, Trailing));

	// A text cut off by the datagram's end.
	const std::string Unterminated = MaximumSizeMessageWithMember(3, "\"Other\"").substr(0, MaxDatagramSize - 3) + "\t\t\t";
	EXPECT_TRUE(SendChangesNothing(Rig, Unterminated));

	std::mt19937 Random(20260);
	std::uniform_int_distribution<int> AnyByte(0, 255);
	for (int Round = 0; Round < 8; ++Round)
	{
		std::string Noise(MaxDatagramSize, '\0');
		for (char& Byte : Noise)
		{
			Byte = static_cast<char>(AnyByte(Random));
		}
		EXPECT_TRUE(SendChangesNothing(Rig, Noise)) << "random datagram " << Round;
	}
	EXPECT_TRUE(SendChangesNothing(Rig, std::string(MaxDatagramSize, ' ')));
	EXPECT_TRUE(SendChangesNothing(Rig, std::string(MaxDatagramSize, '\0')));

	EXPECT_TRUE(Rig.Source->IsSourceStillValid());
	ASSERT_TRUE(Rig.SendMarkerAndAwaitPublication(4));
	EXPECT_EQ(Rig.Inspector().GetDecodedCameraCount(), 2u);
}

TEST(HostileInput, DeepNestingIsRejectedAndTheReceiveThreadLivesOn)
{
	FLoopbackRig Rig;
	ASSERT_TRUE(Rig.SendMarkerAndAwaitPublication(1));

	const std::string Camera = "{\"TVKCamera\":[{\"Location\":";
	const std::string CameraEnd = "}]}";
	std::string ObjectNest;
	for (int Level = 0; Level < 10000; ++Level)
	{
		ObjectNest += "{\"a\":";
	}
	ObjectNest += "0" + std::string(10000, '}');
	std::string Mixed;
	for (int Level = 0; Level < 8000; ++Level)
	{
		Mixed += "[{\"a\":";
	}
	Mixed += "0";
	for (int Level = 0; Level < 8000; ++Level)
	{
		Mixed += "}]";
	}

	const std::vector<std::string> Payloads = {
		Camera + std::string(30000, '[') + std::string(30000, ']') + CameraEnd,
		"{\"Deep\":" + std::string(32000, '[') + std::string(32000, ']') + "}",
		"{\"TVKCamera\":[" + ObjectNest + "]}",
		"{\"Deep\":" + Mixed + "}",
		std::string(MaxDatagramSize, '['),
		std::string(MaxDatagramSize, '{'),
		"{\"Deep\":" + std::string(MaxDatagramSize - 8, '['),
		std::string(MaxDatagramSize, ']'),
	};
	for (size_t Index = 0; Index < Payloads.size(); ++Index)
	{
		ASSERT_LE(Payloads[Index].size(), MaxDatagramSize);
		EXPECT_TRUE(SendChangesNothing(Rig, Payloads[Index])) << "payload " << Index;
		EXPECT_TRUE(Rig.Source->IsSourceStillValid());
	}
	ASSERT_TRUE(Rig.SendMarkerAndAwaitPublication(2));
	EXPECT_EQ(Rig.Inspector().GetDecodedCameraCount(), 2u);
}

/** Hands datagrams to a source's decoder on a thread with the receive thread's stack of 128 KiB. */
class FSmallStackDecoding : public FRunnable
{
public:
	FSmallStackDecoding(FDecoderHarness& InHarness, std::vector<std::string> InDatagrams)
		: Harness(InHarness)
		, Datagrams(MoveTemp(InDatagrams))
	{
	}
	uint32 Run() override
	{
		for (const std::string& Datagram : Datagrams)
		{
			Harness.Decode(Datagram);
			++Decoded;
		}
		return 0;
	}

	FDecoderHarness& Harness;
	std::vector<std::string> Datagrams;
	int Decoded = 0;
};

// The JSON reader of the editor has no nesting limit and releases its tree recursively, so the plug-in alone must
// keep deep texts from it; with the stand-in's own limit lifted, a mebibyte of brackets (what the receive buffer
// holds) must leave a thread with the receive thread's stack alive.
TEST(HostileInput, AMebibyteOfNestingLeavesAReceiveThreadSizedStackAlive)
{
	ASSERT_EQ(FJsonReaderTesting::GetMaxDepth(), 0) << "the plug-in's tests run without the stand-in's nesting limit";
	constexpr size_t Mebibyte = 1024 * 1024;
	std::string Objects;
	while (Objects.size() + 5 < Mebibyte)
	{
		Objects += "{\"a\":";
	}
	FDecoderHarness Harness;
	FSmallStackDecoding Decoding(Harness,
		{"{\"TVKCamera\":[{\"Location\":" + std::string(Mebibyte, '[') + std::string(Mebibyte, ']') + "}]}", std::string(Mebibyte, '['),
			Objects, "{\"a\":\"" + std::string(Mebibyte, '[') + "\"," + std::string(Mebibyte, '{')});
	FRunnableThread* Thread = FRunnableThread::Create(&Decoding, TEXT("SmallStackDecoding"), 128 * 1024);
	ASSERT_NE(Thread, nullptr);
	Thread->WaitForCompletion();
	delete Thread;
	EXPECT_EQ(Decoding.Decoded, 4);
	EXPECT_FALSE(Harness.Inspector.HasReceivedData());
	Harness.Decode(R"({"TVKCamera":[{"Location":[1,2,3]}]})");
	EXPECT_TRUE(Harness.Inspector.HasReceivedData());
}

// Two million top-level member names (one million under ThreadSanitizer) that the process has never seen, as an
// attacker could send them, must not pile up anywhere: not in the name table, not on the heap, not in the resident
// set.
TEST(HostileInput, MillionsOfDistinctMemberNamesLeaveMemoryFlat)
{
	constexpr int64_t TotalNames = bThreadSanitizer ? 1000000 : 2000000;
	FLoopbackRig Rig(true, false);
	const FTavrixLiveLinkSourceInspector Inspector = Rig.Inspector();
	ASSERT_TRUE(Rig.SendMarkerAndAwaitPublication(1));

	int64_t NextName = 0;
	int Datagrams = 0;
	// Each datagram: as many fresh names as fit, then a camera marked with the datagram's number, so that its
	// arrival can be awaited.
	const auto SendNames = [&](int64_t Count) -> ::testing::AssertionResult {
		const int64_t End = NextName + Count;
		while (NextName < End)
		{
			++Datagrams;
			const std::string Tail = "\"TVKCamera\":[{\"Location\":[" + std::to_string(Datagrams) + ",0,0]}]}";
			std::string Message = "{";
			Message.reserve(MaxDatagramSize);
			char Name[32];
			while (NextName < End)
			{
				const int Length = std::snprintf(Name, sizeof(Name), "\"n%llx\":0,", static_cast<unsigned long long>(NextName));
				if (Message.size() + static_cast<size_t>(Length) + Tail.size() > MaxDatagramSize)
				{
					break;
				}
				Message.append(Name, static_cast<size_t>(Length));
				++NextName;
			}
			Message += Tail;
			const uint64 Decoded = Inspector.GetDecodedCameraCount();
			if (!Rig.Send(Message))
			{
				return ::testing::AssertionFailure() << "datagram " << Datagrams << " could not be sent";
			}
			if (!WaitUntil([&] { return Inspector.GetDecodedCameraCount() > Decoded; }, 30s))
			{
				return ::testing::AssertionFailure() << "datagram " << Datagrams << " was never decoded";
			}
		}
		return ::testing::AssertionSuccess();
	};

	const int32 NamesBefore = FName::GetNameTableSize();
	// A first round brings caches and pools to their working size and, where freed blocks are quarantined, fills the
	// quarantine; only what the second round adds is counted.
	ASSERT_TRUE(SendNames(bAllocatorQuarantinesFreedBlocks ? TotalNames : 100000));
	const FProcessResources Before = FProcessResources::Take();
	const int64_t ForeignBefore = Rig.ForeignMembers();

	ASSERT_TRUE(SendNames(TotalNames));
	const FProcessResources After = FProcessResources::Take();
	::testing::Test::RecordProperty("LiveHeapGrowthKiB", std::to_string((After.LiveHeap - Before.LiveHeap) >> 10));
	::testing::Test::RecordProperty("ResidentGrowthKiB", std::to_string((After.Resident - Before.Resident) >> 10));

	EXPECT_EQ(FName::GetNameTableSize(), NamesBefore);
	// Every name was read: each was counted once.
	EXPECT_EQ(Rig.ForeignMembers() - ForeignBefore, TotalNames);
	EXPECT_LT(After.LiveHeap - Before.LiveHeap, int64_t(8) << 20);
	EXPECT_LT(After.Resident - Before.Resident, int64_t(64) << 20);

	Rig.Client.Tick();
	ASSERT_TRUE(Rig.SendMarkerAndAwaitPublication(-1));
}

TEST(HostileInput, HugeNumbersSaturateOrBecomeInfinite)
{
	FLoopbackRig Rig;
	const FTavrixLiveLinkSourceInspector Inspector = Rig.Inspector();
	const double Big = 123456789012345678901234567890.0;
	// Halfway between the largest float and the next power of two: from there on, rounding to nearest (ties to
	// even) gives infinity. Written with 17 digits, so the text reads back as exactly these doubles.
	const double Halfway = 0x1.ffffffp+127;
	char Scale[128];
	std::snprintf(Scale, sizeof(Scale), "[%.17g,%.17g,-1e-400]", std::nextafter(Halfway, 0.0), Halfway);

	ASSERT_TRUE(Rig.Send(std::string("{\"TVKCamera\":[{\"Location\":[1e308,-1e308,1e-400],"
									 "\"Rotation\":[123456789012345678901234567890,-123456789012345678901234567890,1e-400,1e39],"
									 "\"Scale\":") +
		Scale +
		",\"Lens\":[1e308,-1e308,1e-400,123456789012345678901234567890],"
		"\"Timecode\":[1e308,25,1],\"Metadata\":[\"\",\"S\",\"99999999999999999999\"],\"State\":1e308}]}"));
	ASSERT_TRUE(WaitUntil([&] { return Inspector.GetDecodedCameraCount() == 1; }));
	FTavrixReceivedState State = Inspector.GetReceivedState();
	EXPECT_EQ(State.Location, FVector(Infinity, -Infinity, 0.0f));
	EXPECT_EQ(State.Rotation, FQuat(static_cast<float>(Big), static_cast<float>(-Big), 0.0f, Infinity));
	// The double just below halfway still rounds to the largest float; halfway itself rounds past it.
	EXPECT_EQ(State.Scale.X, std::numeric_limits<float>::max());
	EXPECT_EQ(State.Scale.Y, Infinity);
	EXPECT_EQ(State.Scale.Z, 0.0f);
	EXPECT_EQ(State.Lens[0], 1e308);
	EXPECT_EQ(State.Lens[1], -1e308);
	EXPECT_EQ(State.Lens[2], 0.0);
	EXPECT_EQ(State.Lens[3], Big);
	EXPECT_EQ(State.Timecode[0], Int32Max);
	EXPECT_EQ(State.State, Int32Max);
	EXPECT_EQ(State.Metadata[2].ToUtf8(), "99999999999999999999");

	// Published as floats; the frame number stays at the end of the int32 range on every tick instead of wrapping.
	// What a tick publishes is applied by the next.
	Rig.Client.Tick();
	for (int Tick = 0; Tick < 5; ++Tick)
	{
		Rig.Client.Tick();
		const std::optional<FLiveLinkCameraFrameData> Frame = Rig.LatestFrame();
		ASSERT_TRUE(Frame.has_value());
		EXPECT_EQ(Frame->Transform.GetTranslation(), FVector(Infinity, -Infinity, 0.0f));
		EXPECT_EQ(Frame->FocalLength, Infinity);
		EXPECT_EQ(Frame->FocusDistance, -Infinity);
		EXPECT_EQ(Frame->AspectRatio, 0.0f);
		EXPECT_EQ(Frame->FieldOfView, static_cast<float>(Big));
		EXPECT_GE(Frame->MetaData.SceneTime.Time.GetFrame().Value, Int32Max - 1);
		EXPECT_EQ(Frame->MetaData.SceneTime.Rate, FFrameRate(25, 1));
	}
	// A day later on the local clock, with no new timecode, the count has run far past the end of the range.
	Inspector.ShiftStartTimeMs(24 * 3600 * 1000);
	Rig.Client.Tick();
	EXPECT_EQ(Rig.LatestFrame()->MetaData.SceneTime.Time.GetFrame().Value, Int32Max);

	ASSERT_TRUE(Rig.Send("{\"TVKCamera\":[{\"Location\":[2,0,0],\"Timecode\":[-1e308,25,1],\"State\":-1e308}]}"));
	ASSERT_TRUE(Rig.AwaitPublication(2));
	State = Inspector.GetReceivedState();
	EXPECT_EQ(State.Timecode[0], Int32Min);
	EXPECT_EQ(State.State, Int32Min);
	for (int Tick = 0; Tick < 5; ++Tick)
	{
		Rig.Client.Tick();
		EXPECT_EQ(Rig.LatestFrame()->MetaData.SceneTime.Time.GetFrame().Value, Int32Min);
	}

	// A rate far beyond any camera's, with the sender's frame at the end of the range: the local clock, now running at
	// that rate, carries the count far past the end of the range, and the frame number stays there.
	ASSERT_TRUE(Rig.Send("{\"TVKCamera\":[{\"Location\":[3,0,0],\"Timecode\":[1e308,1e12,1],\"State\":"
						 "123456789012345678901234567890}]}"));
	ASSERT_TRUE(Rig.AwaitPublication(3));
	State = Inspector.GetReceivedState();
	EXPECT_EQ(State.Timecode[0], Int32Max);
	EXPECT_EQ(State.Timecode[1], Int32Max);
	EXPECT_EQ(State.State, Int32Max);
	for (int Tick = 0; Tick < 5; ++Tick)
	{
		Rig.Client.Tick();
		EXPECT_EQ(Rig.LatestFrame()->MetaData.SceneTime.Rate, FFrameRate(Int32Max, 1));
		EXPECT_EQ(Rig.LatestFrame()->MetaData.SceneTime.Time.GetFrame().Value, Int32Max);
	}

	// A denominator that underflows to zero means no timecode; one far below zero is stored saturated.
	ASSERT_TRUE(Rig.Send("{\"TVKCamera\":[{\"Location\":[4,0,0],\"Timecode\":[250,25,1e-400],\"State\":1e-400}]}"));
	ASSERT_TRUE(Rig.AwaitPublication(4));
	State = Inspector.GetReceivedState();
	EXPECT_EQ(State.Timecode[2], 0);
	EXPECT_EQ(State.State, 0);
	Rig.Client.Tick();
	EXPECT_EQ(Rig.LatestFrame()->MetaData.SceneTime, FLiveLinkMetaData().SceneTime);

	ASSERT_TRUE(Rig.Send("{\"TVKCamera\":[{\"Location\":[5,0,0],\"Timecode\":[250,-1e12,-1e12]}]}"));
	ASSERT_TRUE(Rig.AwaitPublication(5));
	State = Inspector.GetReceivedState();
	EXPECT_EQ(State.Timecode[1], Int32Min);
	EXPECT_EQ(State.Timecode[2], Int32Min);
	Rig.Client.Tick();
	EXPECT_EQ(Inspector.GetDecodedCameraCount(), 5u);
}

TEST(HostileInput, NumbersBeyondTheDoubleRangeDropTheWholeMessage)
{
	FLoopbackRig Rig;
	ASSERT_TRUE(Rig.SendMarkerAndAwaitPublication(1));

	const std::string Digits400 = "1" + std::string(400, '0');
	const std::vector<std::string> Payloads = {
		"{\"TVKCamera\":[{\"Location\":[1e400,0,0]}]}",
		"{\"TVKCamera\":[{\"Location\":[0,0,0],\"State\":-1e400}]}",
		"{\"TVKCamera\":[{\"Lens\":[35,300,1.5,-1e400]}]}",
		"{\"TVKCamera\":[{\"Timecode\":[" + Digits400 + ",25,1]}]}",
		"{\"TVKCamera\":[{\"Version\":1e99999999999}]}",
		// Not even a foreign member is counted: the text is refused before any member is looked at.
		"{\"Other\":1e400,\"TVKCamera\":[{\"Location\":[7,0,0]}]}",
	};
	const int64_t ForeignBefore = Rig.ForeignMembers();
	for (size_t Index = 0; Index < Payloads.size(); ++Index)
	{
		EXPECT_TRUE(SendChangesNothing(Rig, Payloads[Index])) << "payload " << Index;
	}
	// Only the fences were counted.
	EXPECT_EQ(Rig.ForeignMembers(), ForeignBefore + static_cast<int64_t>(Payloads.size()));

	// The same numbers written as texts parse; the JSON layer's conversion of such a text is a finite number.
	ASSERT_TRUE(Rig.Send("{\"TVKCamera\":[{\"Location\":[2,\"1e400\",\"" + Digits400 + "\"]}]}"));
	ASSERT_TRUE(Rig.AwaitPublication(2));
	const FVector Location = Rig.LatestFrame()->Transform.GetTranslation();
	EXPECT_TRUE(std::isfinite(Location.Y));
	EXPECT_TRUE(std::isfinite(Location.Z));
	ASSERT_TRUE(Rig.SendMarkerAndAwaitPublication(3));
}

// Inside a string every byte but the control characters, the quote and the backslash is one character of the text;
// a zero byte is dropped. The rest break the string and with it the message.
TEST(HostileInput, EveryByteValueInsideAStringIsKeptOrSpoilsTheMessage)
{
	FLoopbackRig Rig;
	const FTavrixLiveLinkSourceInspector Inspector = Rig.Inspector();
	for (int Byte = 0; Byte < 256; ++Byte)
	{
		const int Marker = 1000 + Byte;
		std::string Message = "{\"TVKCamera\":[{\"Location\":[" + std::to_string(Marker) + ",0,0],\"Metadata\":[\"";
		Message += static_cast<char>(Byte);
		Message += "\",\"S\",\"1\"]}]}";
		const bool bValid = Byte == 0 || (Byte >= 0x20 && Byte != '"' && Byte != '\\');

		const uint64 DecodedBefore = Inspector.GetDecodedCameraCount();
		ASSERT_TRUE(Rig.Send(Message));
		ASSERT_TRUE(Rig.Settle());
		const bool bDecoded = Inspector.GetDecodedCameraCount() == DecodedBefore + 1;
		EXPECT_EQ(bDecoded, bValid) << "byte " << Byte;
		if (bValid && bDecoded)
		{
			const FTavrixReceivedState State = Inspector.GetReceivedState();
			EXPECT_EQ(State.Location.X, static_cast<float>(Marker));
			const FString& Text = State.Metadata[0];
			if (Byte == 0)
			{
				EXPECT_TRUE(Text.IsEmpty());
			}
			else
			{
				ASSERT_EQ(Text.Len(), 1) << "byte " << Byte;
				EXPECT_EQ(static_cast<int>(Text[0]), Byte);
			}
			EXPECT_EQ(State.Metadata[1].ToUtf8(), "S");
		}
	}
	ASSERT_TRUE(Rig.SendMarkerAndAwaitPublication(1));
}

// Between tokens, before the text and after it, only JSON's four white-space characters may stand; zero bytes are
// dropped. Every other byte makes the message invalid.
TEST(HostileInput, EveryByteValueOutsideStringsIsWhiteSpaceOrSpoilsTheMessage)
{
	FLoopbackRig Rig;
	const FTavrixLiveLinkSourceInspector Inspector = Rig.Inspector();
	int Marker = 1;
	for (int Position = 0; Position < 3; ++Position)
	{
		for (int Byte = 0; Byte < 256; ++Byte)
		{
			const std::string Stray(1, static_cast<char>(Byte));
			const std::string Head = "{\"TVKCamera\":";
			const std::string Body = "[{\"Location\":[" + std::to_string(++Marker) + ",0,0]}]}";
			std::string Message = Head + Body + Stray;
			if (Position == 0)
			{
				Message = Stray + Head + Body;
			}
			else if (Position == 1)
			{
				Message = Head + Stray + Body;
			}
			const bool bValid = Byte == 0 || Byte == ' ' || Byte == '\t' || Byte == '\n' || Byte == '\r';

			const uint64 DecodedBefore = Inspector.GetDecodedCameraCount();
			ASSERT_TRUE(Rig.Send(Message));
			ASSERT_TRUE(Rig.Settle());
			const bool bDecoded = Inspector.GetDecodedCameraCount() == DecodedBefore + 1;
			EXPECT_EQ(bDecoded, bValid) << "byte " << Byte << " at position " << Position;
			if (bDecoded)
			{
				EXPECT_EQ(Inspector.GetReceivedState().Location.X, static_cast<float>(Marker));
			}
		}
	}
	ASSERT_TRUE(Rig.SendMarkerAndAwaitPublication(1));
}

// Escapes are decoded by the JSON layer: well-formed ones name their character, surrogate pairs included; lone
// surrogates are well-formed but name no character, so they may be refused or kept as the code unit they name;
// anything else after a backslash spoils the message.
TEST(HostileInput, EveryKindOfEscapeIsDecodedOrSpoilsTheMessage)
{
	enum class EOutcome
	{
		Decoded,
		Dropped,
		DecodedOrDropped,
	};
	struct FEscapeCase
	{
		std::string Escaped;
		EOutcome Outcome;
		std::u16string Text;
	};
	const std::vector<FEscapeCase> Cases = {
		{"\\\"\\\\\\/", EOutcome::Decoded, u"\"\\/"},
		{"\\b\\f\\n\\r\\t", EOutcome::Decoded, u"\b\f\n\r\t"},
		{"\\u0041\\u00e9\\u00FF\\u20ac\\uFFFF", EOutcome::Decoded, u"A\u00e9\u00ff\u20ac\uffff"},
		{"a\\u0000b", EOutcome::Decoded, std::u16string(u"a") + char16_t(0) + u"b"},
		{"\\uD83D\\uDE00", EOutcome::Decoded, u"\U0001F600"},
		{"\\uDBFF\\uDFFF", EOutcome::Decoded, u"\U0010FFFF"},
		{"\\uDC00", EOutcome::DecodedOrDropped, std::u16string(1, char16_t(0xDC00))},
		{"\\uD800", EOutcome::DecodedOrDropped, std::u16string(1, char16_t(0xD800))},
		{"\\uD800\\u0041", EOutcome::DecodedOrDropped, std::u16string(1, char16_t(0xD800)) + u"A"},
		{"\\uDC00\\uD800", EOutcome::DecodedOrDropped, std::u16string{char16_t(0xDC00), char16_t(0xD800)}},
		{"\\uD800x", EOutcome::DecodedOrDropped, std::u16string(1, char16_t(0xD800)) + u"x"},
		{"\\x41", EOutcome::Dropped, u""},
		{"\\U0041", EOutcome::Dropped, u""},
		{"\\u12", EOutcome::Dropped, u""},
		{"\\u12G4", EOutcome::Dropped, u""},
		{"\\uD800\\u12", EOutcome::Dropped, u""},
		{"\\'", EOutcome::Dropped, u""},
		{"\\0", EOutcome::Dropped, u""},
		{"\\a", EOutcome::Dropped, u""},
		{"\\\xff", EOutcome::Dropped, u""},
	};

	FLoopbackRig Rig;
	const FTavrixLiveLinkSourceInspector Inspector = Rig.Inspector();
	int Marker = 1;
	for (const FEscapeCase& Case : Cases)
	{
		++Marker;
		const std::string Message =
			"{\"TVKCamera\":[{\"Location\":[" + std::to_string(Marker) + ",0,0],\"Metadata\":[\"\",\"" + Case.Escaped + "\",\"1\"]}]}";
		const uint64 DecodedBefore = Inspector.GetDecodedCameraCount();
		ASSERT_TRUE(Rig.Send(Message));
		ASSERT_TRUE(Rig.Settle());
		const bool bDecoded = Inspector.GetDecodedCameraCount() == DecodedBefore + 1;
		if (Case.Outcome != EOutcome::DecodedOrDropped)
		{
			EXPECT_EQ(bDecoded, Case.Outcome == EOutcome::Decoded) << Case.Escaped;
		}
		if (bDecoded)
		{
			const FTavrixReceivedState State = Inspector.GetReceivedState();
			EXPECT_EQ(State.Location.X, static_cast<float>(Marker));
			const FString& Scene = State.Metadata[1];
			EXPECT_EQ(std::u16string(*Scene, static_cast<size_t>(Scene.Len())), Case.Text) << Case.Escaped;
		}
	}

	// Member names are decoded before they are compared: an escaped camera name is still the camera.
	const uint64 DecodedBefore = Inspector.GetDecodedCameraCount();
	ASSERT_TRUE(Rig.Send("{\"\\u0054VK\\u0063AMERA\":[{\"Loc\\u0061tion\":[100,0,0]}]}"));
	ASSERT_TRUE(Rig.AwaitPublication(100));
	EXPECT_EQ(Inspector.GetDecodedCameraCount(), DecodedBefore + 1);
	const int64_t ForeignBefore = Rig.ForeignMembers();
	ASSERT_TRUE(Rig.Send("{\"TVKCamera\\u0000\":[{\"Location\":[101,0,0]}]}"));
	ASSERT_TRUE(Rig.Settle());
	EXPECT_EQ(Inspector.GetDecodedCameraCount(), DecodedBefore + 1);
	EXPECT_EQ(Rig.ForeignMembers(), ForeignBefore + 2);

	// Cut anywhere, in the middle of an escape or of a surrogate pair too, a message changes nothing.
	const std::string Escapes = "{\"TVKCamera\":[{\"Location\":[102,0,0],\"Metadata\":["
								"\"\\uD83D\\uDE00\\u00e9\\\"\\\\\",\"S\\u0000\\uDBFF\\uDFFF\",\"1\"]}]}";
	const FTavrixReceivedState Before = Inspector.GetReceivedState();
	const uint64 DecodedBeforeCuts = Inspector.GetDecodedCameraCount();
	for (size_t Length = 1; Length < Escapes.size(); ++Length)
	{
		ASSERT_TRUE(Rig.Send(std::string_view(Escapes).substr(0, Length)));
	}
	ASSERT_TRUE(Rig.Settle());
	EXPECT_EQ(Inspector.GetDecodedCameraCount(), DecodedBeforeCuts);
	EXPECT_TRUE(SameState(Inspector.GetReceivedState(), Before));
	ASSERT_TRUE(Rig.Send(Escapes));
	ASSERT_TRUE(Rig.AwaitPublication(102));
	const FTavrixReceivedState Decoded = Inspector.GetReceivedState();
	EXPECT_EQ(std::u16string(*Decoded.Metadata[0], static_cast<size_t>(Decoded.Metadata[0].Len())), u"\U0001F600\u00e9\"\\");
	EXPECT_EQ(std::u16string(*Decoded.Metadata[1], static_cast<size_t>(Decoded.Metadata[1].Len())),
		std::u16string(u"S") + char16_t(0) + u"\U0010FFFF");
}

TEST(HostileInput, EveryTruncationOfAMessageChangesNothing)
{
	FLoopbackRig Rig;
	const FTavrixLiveLinkSourceInspector Inspector = Rig.Inspector();
	const std::string Message = CameraMessage(7);
	ASSERT_TRUE(Rig.SendMarkerAndAwaitPublication(7));
	const FTavrixReceivedState Published = Inspector.GetReceivedState();
	const uint64 DecodedBefore = Inspector.GetDecodedCameraCount();
	const int64_t ForeignBefore = Rig.ForeignMembers();

	// Every prefix, the empty one included, in one burst, paced only by the socket's queue.
	for (size_t Length = 0; Length < Message.size(); ++Length)
	{
		ASSERT_TRUE(Rig.Send(std::string_view(Message).substr(0, Length)));
	}
	ASSERT_TRUE(Rig.Settle());
	EXPECT_EQ(Inspector.GetDecodedCameraCount(), DecodedBefore);
	EXPECT_TRUE(SameState(Inspector.GetReceivedState(), Published));
	EXPECT_EQ(Rig.ForeignMembers(), ForeignBefore + 1);

	// The tick still publishes the last whole message.
	Rig.Client.Tick();
	const std::optional<FLiveLinkCameraFrameData> Frame = Rig.LatestFrame();
	ASSERT_TRUE(Frame.has_value());
	EXPECT_EQ(Frame->Transform.GetTranslation(), FVector(7.0f, 2.0f, 3.0f));
	EXPECT_EQ(Frame->FocalLength, 35.0f);
	ASSERT_TRUE(Rig.SendMarkerAndAwaitPublication(8));
}

// While a sender floods the port faster than the decoder keeps up, every tick publishes the newest decoded state,
// which only moves forward; once the flood is over, the last datagram is what is published.
TEST(HostileInput, FloodIsPublishedAsItComesAndEndsWithTheLastDatagram)
{
	FLoopbackRig Rig(true, false);
	const FTavrixLiveLinkSourceInspector Inspector = Rig.Inspector();
	FFlooder Flooder(Rig.Port);
	ASSERT_TRUE(WaitUntil([&] { return Inspector.GetDecodedCameraCount() > 10; }, 30s));

	std::set<float> Seen;
	float Previous = 0.0f;
	bool bInOrder = true;
	const bool bAdvanced = WaitUntil(
		[&] {
			const float Decoded = Inspector.GetReceivedState().Location.X;
			// Published by the first tick, applied by the second.
			Rig.Client.Tick();
			Rig.Client.Tick();
			const float Published = Rig.LatestFrame()->Transform.GetTranslation().X;
			bInOrder = bInOrder && Published >= Decoded && Published >= Previous && Published <= static_cast<float>(Flooder.GetLastSent());
			Previous = Published;
			Seen.insert(Published);
			return Seen.size() >= 10;
		},
		30s);
	Flooder.Stop();
	EXPECT_TRUE(bAdvanced) << "only " << Seen.size() << " distinct states were published during the flood";
	EXPECT_TRUE(bInOrder);

	// Whatever the socket still holds is decoded; then one more datagram is the last word.
	ASSERT_TRUE(WaitUntil([&] { return QueuedBytes(Rig.Port) == 0; }, 30s));
	const int Last = Flooder.GetLastSent() + 1;
	ASSERT_TRUE(Rig.SendMarkerAndAwaitPublication(Last));
	for (int Tick = 0; Tick < 3; ++Tick)
	{
		Rig.Client.Tick();
		EXPECT_EQ(Rig.LatestFrame()->Transform.GetTranslation().X, static_cast<float>(Last));
	}
}

TEST(HostileInput, ShutdownDuringAFloodEndsTheReceiveThreadPromptly)
{
	using FClock = std::chrono::steady_clock;
	{
		FLoopbackRig Rig(true, false);
		const FTavrixLiveLinkSourceInspector Inspector = Rig.Inspector();
		FFlooder Flooder(Rig.Port);
		ASSERT_TRUE(WaitUntil([&] { return Inspector.GetDecodedCameraCount() > 10; }, 30s));

		// What was queued when the stop came is still decoded (as much as the receive buffer held: a couple of thousand
		// datagrams, milliseconds in an optimised build, seconds under a sanitizer); the flood goes on meanwhile.
		const auto Prompt = bSanitizer ? 30s : 3s;
		// The first tick after the thread has ended removes its subscription; the game thread keeps ticking meanwhile.
		const auto Start = FClock::now();
		EXPECT_TRUE(Rig.Source->RequestSourceShutdown());
		EXPECT_FALSE(Rig.Source->IsSourceStillValid());
		const bool bEnded = WaitUntil(
			[&] {
				Rig.Client.Tick();
				return !Rig.Client.OnLiveLinkTicked().IsBound();
			},
			60s);
		const auto Elapsed = FClock::now() - Start;
		EXPECT_TRUE(bEnded);
		EXPECT_LT(Elapsed, Prompt);
		if (!bEnded)
		{
			Flooder.Stop();
		}
		Inspector.WaitForReceiveThread();
		Rig.Client.RemoveSource(Rig.Guid);
		EXPECT_EQ(Rig.Client.GetSources().Num(), 0);
	}
	{
		// Removed by the client in the middle of the flood: the destructor's wait ends as promptly.
		FLoopbackRig Rig(true, false);
		const FTavrixLiveLinkSourceInspector Inspector = Rig.Inspector();
		FFlooder Flooder(Rig.Port);
		ASSERT_TRUE(WaitUntil([&] { return Inspector.GetDecodedCameraCount() > 10; }, 30s));
		const auto Start = FClock::now();
		Rig.Client.RemoveSource(Rig.Guid);
		EXPECT_LT(FClock::now() - Start, bSanitizer ? 30s : 3s);
		EXPECT_EQ(Rig.Client.GetSources().Num(), 0);
		EXPECT_FALSE(Rig.Client.OnLiveLinkTicked().IsBound());
	}
}
} // namespace
