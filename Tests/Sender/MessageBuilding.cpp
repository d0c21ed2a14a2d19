#include "TavrixCameraMessage.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <bit>
#include <cmath>
#include <limits>
#include <random>

using namespace TavrixSend;

namespace
{
FTavrixCameraMessage WorkedExample()
{
	FTavrixCameraMessage Message;
	Message.Location = {120.5f, -30.0f, 150.0f};
	Message.Rotation = {0.0f, 0.0f, 0.0f, 1.0f};
	Message.Lens = {35.0, 300.0, 1.5, 60.0};
	Message.TimecodeFrame = 250;
	Message.Metadata = {"", "Scene 4", "7"};
	Message.State = RecordingState;
	return Message;
}

const nlohmann::json& CameraOf(const nlohmann::json& InMessage)
{
	return InMessage.at("TVKCamera").at(0);
}

/** What the receiver stores: the JSON number read as a double, then rounded to a 32-bit float. */
uint32_t ReceivedFloatBits(const nlohmann::json& InNumber)
{
	return std::bit_cast<uint32_t>(static_cast<float>(InNumber.get<double>()));
}

float RandomFiniteFloat(std::mt19937& InRandom)
{
	for (;;)
	{
		const float Value = std::bit_cast<float>(static_cast<uint32_t>(InRandom()));
		if (std::isfinite(Value) && Value != 0.0f)
		{
			return Value;
		}
	}
}
} // namespace

TEST(MessageBuilding, WorkedExampleIsOneCompactAsciiObject)
{
	EXPECT_EQ(BuildCameraMessage(WorkedExample()),
		R"({"TVKCamera":[{"Version":1,"Location":[120.5,-30,150],"Rotation":[0,0,0,1],"Scale":[1,1,1],)"
		R"("Lens":[35,300,1.5,60],"Timecode":[250,25,1],"Metadata":["","Scene 4","7"],"State":2}]})");
}

TEST(MessageBuilding, EveryNumberReadsBackExactly)
{
	std::mt19937 Random(20240611);
	std::uniform_int_distribution<int32_t> AnyInt(std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max());
	for (int Round = 0; Round < 5000; ++Round)
	{
		FTavrixCameraMessage Message;
		for (float& Value : Message.Location)
		{
			Value = RandomFiniteFloat(Random);
		}
		for (float& Value : Message.Rotation)
		{
			Value = RandomFiniteFloat(Random);
		}
		for (float& Value : Message.Scale)
		{
			Value = RandomFiniteFloat(Random);
		}
		for (double& Value : Message.Lens)
		{
			do
			{
				Value = std::bit_cast<double>((static_cast<uint64_t>(Random()) << 32) | Random());
			} while (!std::isfinite(Value) || Value == 0.0);
		}
		Message.TimecodeFrame = AnyInt(Random);
		Message.TimecodeNumerator = AnyInt(Random);
		Message.TimecodeDenominator = AnyInt(Random);
		Message.State = AnyInt(Random);
		Message.Version = AnyInt(Random);

		const std::string Text = BuildCameraMessage(Message);
		const nlohmann::json Camera = CameraOf(nlohmann::json::parse(Text));
		for (size_t Index = 0; Index < 3; ++Index)
		{
			ASSERT_EQ(ReceivedFloatBits(Camera["Location"][Index]), std::bit_cast<uint32_t>(Message.Location[Index])) << Text;
			ASSERT_EQ(ReceivedFloatBits(Camera["Scale"][Index]), std::bit_cast<uint32_t>(Message.Scale[Index])) << Text;
		}
		for (size_t Index = 0; Index < 4; ++Index)
		{
			ASSERT_EQ(ReceivedFloatBits(Camera["Rotation"][Index]), std::bit_cast<uint32_t>(Message.Rotation[Index])) << Text;
			ASSERT_EQ(std::bit_cast<uint64_t>(Camera["Lens"][Index].get<double>()), std::bit_cast<uint64_t>(Message.Lens[Index])) << Text;
		}
		ASSERT_EQ(Camera["Timecode"][0].get<int64_t>(), Message.TimecodeFrame);
		ASSERT_EQ(Camera["Timecode"][1].get<int64_t>(), Message.TimecodeNumerator);
		ASSERT_EQ(Camera["Timecode"][2].get<int64_t>(), Message.TimecodeDenominator);
		ASSERT_EQ(Camera["State"].get<int64_t>(), Message.State);
		ASSERT_EQ(Camera["Version"].get<int64_t>(), Message.Version);
	}
}

TEST(MessageBuilding, FloatsWhoseShortestFormMisleadsADoubleReaderStillReadBackExactly)
{
	// The shortest text of this float, read as a double and rounded to float, lands on its neighbour.
	const float Tricky = std::bit_cast<float>(0x15AE43FDu);
	for (const float Value : {Tricky, -Tricky, std::numeric_limits<float>::denorm_min(), std::numeric_limits<float>::min(),
			 std::numeric_limits<float>::max(), -std::numeric_limits<float>::max()})
	{
		std::string Text;
		AppendJsonNumber(Text, Value);
		EXPECT_EQ(ReceivedFloatBits(nlohmann::json::parse(Text)), std::bit_cast<uint32_t>(Value)) << Text;
	}
}

TEST(MessageBuilding, SmallFloatsUseTheirShortestForm)
{
	std::string Text;
	AppendJsonNumber(Text, 0.1f);
	EXPECT_EQ(Text, "0.1");
	Text.clear();
	AppendJsonNumber(Text, -0.0f);
	EXPECT_EQ(Text, "-0");
}

TEST(MessageBuilding, NonFiniteNumbersStillGiveValidJson)
{
	FTavrixCameraMessage Message;
	Message.Location = {
		std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity()};
	Message.Lens[0] = std::numeric_limits<double>::quiet_NaN();
	const nlohmann::json Camera = CameraOf(nlohmann::json::parse(BuildCameraMessage(Message)));
	for (const nlohmann::json& Element : Camera["Location"])
	{
		EXPECT_EQ(Element.get<double>(), 0.0);
	}
	EXPECT_EQ(Camera["Lens"][0].get<double>(), 0.0);
}
