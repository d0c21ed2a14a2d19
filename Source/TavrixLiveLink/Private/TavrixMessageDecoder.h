#pragma once

#include "CoreMinimal.h"
#include "TavrixReceivedState.h"

/**
 * Turns one datagram into camera values: pure code, with no socket, thread or lock, so that it can be tested and
 * fuzzed on its own. The source decodes on its receive thread and stores the result under its lock.
 *
 * Everything the message's values go through is decided here, from each value's JSON type, so that the JSON
 * layer's own conversions (which differ between hosts, and log at datagram rate in the editor) are never used.
 */
namespace TavrixMessageDecoder
{
/** The deepest nesting of arrays and objects a message may have; deeper texts are dropped before they are parsed. */
constexpr int32 MaxNesting = 64;

/** The source's options that decide which members are read. */
struct FOptions
{
	bool bAutoLens = true;
	bool bAutoSceneTake = true;
	bool bAutoRecord = true;
};

/** The values of one camera object, converted, with the defaults where members were missing or unusable. */
struct FCamera
{
	/** Every field as this camera would leave the state; only those the flags below allow are stored. */
	FTavrixReceivedState Values;
	/** Whether "Lens" was read (bAutoLens): otherwise the stored lens values are left as they are. */
	bool bHasLens = false;
	/** Whether "Metadata" and "State" were read (either take option): otherwise the stored ones are left alone. */
	bool bHasTakeMembers = false;

	/** Overwrites every field of the state that this camera's options let it write; the texts are moved. */
	void StoreInto(FTavrixReceivedState& State);
};

enum class EVerdict : uint8
{
	/** Not exactly one JSON text whose top-level value is an object: dropped without a word. */
	NotAMessage,
	/** Nested deeper than MaxNesting: dropped without a word, before the JSON reader sees it. */
	TooDeep,
	/** A message: its foreign members are counted, and its camera, if any, is in Camera. */
	Message,
};

struct FResult
{
	EVerdict Verdict = EVerdict::NotAMessage;
	/** Top-level members other than the camera's, each of which the source reports. */
	int32 ForeignMembers = 0;
	/** Whether the message held a usable camera object (an array whose first element is an object). */
	bool bHasCamera = false;
	FCamera Camera;
};

/** Decodes one datagram: bytes are ISO 8859-1 characters, zero bytes are dropped wherever they stand. */
FResult Decode(const uint8* Bytes, int32 Count, const FOptions& Options);

/** Decode, then store the camera (if any) into State: the whole effect of one datagram on a source's state. */
FResult DecodeInto(const uint8* Bytes, int32 Count, const FOptions& Options, FTavrixReceivedState& State);

/** Whether arrays and objects outside strings nest deeper than Limit anywhere in the text. */
bool IsNestedDeeperThan(const FString& Text, int32 Limit);
} // namespace TavrixMessageDecoder
