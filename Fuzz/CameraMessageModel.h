#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

/**
 * A second, independent reading of one camera datagram: what it must leave in a source's received state. It is
 * built on another JSON reader (nlohmann's) and shares no code with the plug-in or the stand-in engine, so the
 * decoder fuzz target can judge the decoder by it.
 */
namespace CameraMessageModel
{
/** A number the decoder may store: exact, or, for a text read as a number, one of two readings. */
struct FNumberExpectation
{
	double Value = 0.0;
	std::optional<double> Alternative;
};

/** A text the decoder may store: exact, or the decimal form of a number, whose spelling is the JSON layer's. */
struct FTextExpectation
{
	std::u16string Text;
	std::optional<double> NumberText;
};

/** The fields of one decoded camera object with every option of the source on. */
struct FCameraExpectation
{
	/** Location, rotation and scale as the numbers read; the decoder stores them rounded to floats. */
	FNumberExpectation Location[3];
	FNumberExpectation Rotation[4];
	FNumberExpectation Scale[3];
	FNumberExpectation Lens[4];
	/** As the numbers read; the decoder stores them truncated and saturated to int32. */
	FNumberExpectation Timecode[3];
	FTextExpectation Metadata[3];
	int32_t State = 0;
};

struct FMessageExpectation
{
	/** False for the rare text the model cannot read unambiguously; nothing else below is meaningful then. */
	bool bDetermined = true;
	/** False when the text is refused as a whole: nothing may change. */
	bool bAccepted = false;
	/** Camera objects the decoder decodes, one per qualifying top-level member; only the last one's values remain. */
	int32_t CameraCount = 0;
	/** Top-level members of another name than "TVKCamera": each is reported once in the module's log. */
	int32_t OtherMemberCount = 0;
	FCameraExpectation LastCamera;
};

/** Deepest nesting of arrays and objects that a message may have. */
constexpr int32_t MaxDepth = 64;

/** Reads the datagram's bytes as the receiver must: one byte one character, zero bytes dropped. */
FMessageExpectation Read(std::string_view Bytes);

/** The nearest float, ties to even; beyond the float range an infinity of the same sign. */
float ToNearestFloat(double Value);
/** Truncated toward zero and saturated to the int32 range; NaN gives 0. */
int32_t TruncateSaturated(double Value);
/** True when Text could be the shortest decimal form of Value as the JSON layer writes numbers as text. */
bool IsDecimalFormOf(const std::u16string& Text, double Value);
} // namespace CameraMessageModel
