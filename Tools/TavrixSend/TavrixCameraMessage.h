// The camera datagram as the Live Link source reads it: one JSON object per datagram, plain ASCII.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace TavrixSend
{
/** The state code that requests recording; every other value means not recording. */
inline constexpr int32_t RecordingState = 2;
inline constexpr int32_t IdleState = 0;

/**
 * One complete snapshot of the camera. The receiver resets every member a message leaves out, so the builder
 * always writes all of them. Units and axes are the host's (centimetres, X forward, Z up); nothing is converted.
 */
struct FTavrixCameraMessage
{
	int32_t Version = 1;
	std::array<float, 3> Location{0.0f, 0.0f, 0.0f};
	/** Quaternion X, Y, Z, W, written as given: the receiver does not normalise it either. */
	std::array<float, 4> Rotation{0.0f, 0.0f, 0.0f, 1.0f};
	std::array<float, 3> Scale{1.0f, 1.0f, 1.0f};
	/**
	 * Focal length (mm), focus distance (cm), aspect ratio, horizontal field of view (degrees). The defaults are a
	 * 35 mm lens on a 36 mm wide 16:9 sensor, focused at 3 m.
	 */
	std::array<double, 4> Lens{35.0, 300.0, 16.0 / 9.0, 54.43};
	int32_t TimecodeFrame = 0;
	int32_t TimecodeNumerator = 25;
	/** 0 tells the receiver that no timecode is known. */
	int32_t TimecodeDenominator = 1;
	/** UTF-8 texts: the first text (compared for change only), the scene name, the take number in decimal. */
	std::array<std::string, 3> Metadata;
	int32_t State = IdleState;
};

/** The message as one JSON object of printable ASCII characters, with no white space and no terminator. */
std::string BuildCameraMessage(const FTavrixCameraMessage& InMessage);

/**
 * Appends the shortest decimal text from which a reader that parses a double and rounds it to a 32-bit float gets
 * InValue back bit for bit (the sign of zero included). Non-finite values, which JSON cannot carry, are written as 0.
 */
void AppendJsonNumber(std::string& Out, float InValue);
/** Appends the shortest decimal text that parses back to exactly InValue; non-finite values are written as 0. */
void AppendJsonNumber(std::string& Out, double InValue);
void AppendJsonNumber(std::string& Out, int32_t InValue);

/**
 * Appends InUtf8 as a quoted JSON string made of printable ASCII only, because the receiver turns each byte into one
 * Latin-1 character: every other character becomes a \u escape (a surrogate pair beyond the basic plane). Each byte
 * that is not part of a well-formed UTF-8 sequence is written as U+FFFD.
 */
void AppendJsonString(std::string& Out, std::string_view InUtf8);
} // namespace TavrixSend
