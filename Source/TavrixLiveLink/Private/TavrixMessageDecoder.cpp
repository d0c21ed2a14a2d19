#include "TavrixMessageDecoder.h"

#include "Dom/JsonObject.h"
#include "Serialization/JsonReader.h"
#include "Serialization/JsonSerializer.h"
#include "TavrixConversions.h"
#include "TavrixNumberText.h"

#include <algorithm>
#include <cstring>

namespace TavrixMessageDecoder
{
namespace
{
/** Member names, made once: lookups on the receive thread then allocate nothing. */
struct FMemberNames
{
	FString Camera = TEXT("TVKCamera");
	FString Location = TEXT("Location");
	FString Rotation = TEXT("Rotation");
	FString Scale = TEXT("Scale");
	FString Lens = TEXT("Lens");
	FString Timecode = TEXT("Timecode");
	FString Metadata = TEXT("Metadata");
	FString State = TEXT("State");

	static const FMemberNames& Get()
	{
		static const FMemberNames Names;
		return Names;
	}
};

/**
 * Sixteen bytes at a time, a shape compilers turn into vector code even where they judge a loop of unknown length
 * not worth it, then the rest one by one.
 */
constexpr int32 Lanes = 16;

/** Bytes that open an array or an object. */
int32 CountOpeners(const uint8* Bytes, int32 Count)
{
	int32 Openers = 0;
	int32 Index = 0;
	for (; Index + Lanes <= Count; Index += Lanes)
	{
		uint8 InLanes = 0;
		for (int32 Lane = 0; Lane < Lanes; ++Lane)
		{
			// '[' is 0x5B and '{' is 0x7B: the only two bytes that are '{' with bit 0x20 set.
			InLanes += (Bytes[Index + Lane] | 0x20) == '{' ? 1 : 0;
		}
		Openers += InLanes;
	}
	for (; Index < Count; ++Index)
	{
		Openers += (Bytes[Index] | 0x20) == '{' ? 1 : 0;
	}
	return Openers;
}

void Widen(const uint8* Bytes, int32 Count, TCHAR* Out)
{
	int32 Index = 0;
	for (; Index + Lanes <= Count; Index += Lanes)
	{
		for (int32 Lane = 0; Lane < Lanes; ++Lane)
		{
			Out[Index + Lane] = static_cast<TCHAR>(Bytes[Index + Lane]);
		}
	}
	for (; Index < Count; ++Index)
	{
		Out[Index] = static_cast<TCHAR>(Bytes[Index]);
	}
}

/**
 * One byte is one character (ISO 8859-1); zero bytes are dropped wherever they stand. Each run of bytes between
 * zero bytes is widened a block at a time: appending character by character costs more than the parse of a typical
 * message. The bytes that open an array or an object are counted on the way, which bounds how deep the text can
 * nest.
 */
FString WidenToText(const uint8* Bytes, int32 Count, int32& OutOpeners)
{
	FString Text;
	Text.Reserve(Count);
	TCHAR Block[512];
	int32 Openers = 0;
	const uint8* Cursor = Bytes;
	const uint8* const End = Bytes + Count;
	while (Cursor < End)
	{
		const void* const Zero = std::memchr(Cursor, 0, static_cast<size_t>(End - Cursor));
		const uint8* const RunEnd = Zero != nullptr ? static_cast<const uint8*>(Zero) : End;
		while (Cursor < RunEnd)
		{
			const int32 BlockCount = static_cast<int32>(std::min<ptrdiff_t>(RunEnd - Cursor, UE_ARRAY_COUNT(Block)));
			Widen(Cursor, BlockCount, Block);
			Openers += CountOpeners(Cursor, BlockCount);
			Text.AppendChars(Block, BlockCount);
			Cursor += BlockCount;
		}
		Cursor = RunEnd + (RunEnd < End ? 1 : 0);
	}
	OutOpeners = Openers;
	return Text;
}

/**
 * A text that is wholly a decimal number, within the double range, is that number; any other text is 0. It must
 * start as a number does: a leading point, plus sign or space makes it no number.
 */
double NumberFromText(const FString& Text)
{
	const int32 Length = Text.Len();
	if (Length == 0 || Length > 64 || !(Text[0] == TEXT('-') || (Text[0] >= TEXT('0') && Text[0] <= TEXT('9'))))
	{
		return 0.0;
	}
	double Number = 0.0;
	return TavrixNumberText::ParseDecimal(*Text, Length, Number) ? Number : 0.0;
}

/** An element where a number belongs: numbers as they are, numeric texts read, true 1; anything else 0. */
double ToNumber(const TSharedPtr<FJsonValue>& Value)
{
	if (!Value.IsValid())
	{
		return 0.0;
	}
	switch (Value->Type)
	{
	case EJson::Number:
		return Value->AsNumber();
	case EJson::String:
		return NumberFromText(Value->AsString());
	case EJson::Boolean:
		return Value->AsBool() ? 1.0 : 0.0;
	default:
		return 0.0;
	}
}

/** An element where a text belongs: texts as they are, numbers and booleans written out; anything else empty. */
FString ToText(const TSharedPtr<FJsonValue>& Value)
{
	if (!Value.IsValid())
	{
		return FString();
	}
	switch (Value->Type)
	{
	case EJson::String:
		return Value->AsString();
	case EJson::Number:
		return TavrixNumberText::FormatShortest(Value->AsNumber());
	case EJson::Boolean:
		return Value->AsBool() ? FString(TEXT("true")) : FString(TEXT("false"));
	default:
		return FString();
	}
}

/** The member's elements when it exists, is an array and holds at least MinCount of them; else null. */
const TArray<TSharedPtr<FJsonValue>>* FindArray(const FJsonObject& Object, const FString& Name, int32 MinCount)
{
	const TArray<TSharedPtr<FJsonValue>>* Elements = nullptr;
	return Object.TryGetArrayField(Name, Elements) && Elements->Num() >= MinCount ? Elements : nullptr;
}

/** The first Count elements of the member as numbers into Out; false (Out untouched) when the member is unusable. */
template <int32 Count> bool ReadNumbers(const FJsonObject& Object, const FString& Name, double* Out)
{
	const TArray<TSharedPtr<FJsonValue>>* Elements = FindArray(Object, Name, Count);
	if (Elements == nullptr)
	{
		return false;
	}
	for (int32 Index = 0; Index < Count; ++Index)
	{
		Out[Index] = ToNumber((*Elements)[Index]);
	}
	return true;
}

FCamera DecodeCamera(const FJsonObject& Object, const FOptions& Options)
{
	using TavrixConversions::ToFloat;
	using TavrixConversions::TruncateToInt32;
	const FMemberNames& Names = FMemberNames::Get();
	FCamera Camera;

	double Numbers[4];
	if (ReadNumbers<3>(Object, Names.Location, Numbers))
	{
		Camera.Values.Location = FVector(ToFloat(Numbers[0]), ToFloat(Numbers[1]), ToFloat(Numbers[2]));
	}
	if (ReadNumbers<4>(Object, Names.Rotation, Numbers))
	{
		Camera.Values.Rotation = FQuat(ToFloat(Numbers[0]), ToFloat(Numbers[1]), ToFloat(Numbers[2]), ToFloat(Numbers[3]));
	}
	if (ReadNumbers<3>(Object, Names.Scale, Numbers))
	{
		Camera.Values.Scale = FVector(ToFloat(Numbers[0]), ToFloat(Numbers[1]), ToFloat(Numbers[2]));
	}

	Camera.bHasLens = Options.bAutoLens;
	if (Camera.bHasLens)
	{
		ReadNumbers<4>(Object, Names.Lens, Camera.Values.Lens);
	}

	if (ReadNumbers<3>(Object, Names.Timecode, Numbers))
	{
		for (int32 Index = 0; Index < 3; ++Index)
		{
			Camera.Values.Timecode[Index] = TruncateToInt32(Numbers[Index]);
		}
	}

	Camera.bHasTakeMembers = Options.bAutoSceneTake || Options.bAutoRecord;
	if (Camera.bHasTakeMembers)
	{
		if (const TArray<TSharedPtr<FJsonValue>>* Metadata = FindArray(Object, Names.Metadata, 3))
		{
			for (int32 Index = 0; Index < 3; ++Index)
			{
				Camera.Values.Metadata[Index] = ToText((*Metadata)[Index]);
			}
		}
		// Only a number is a state; a numeric text, a boolean or anything else is no state (0).
		const TSharedPtr<FJsonValue> State = Object.TryGetField(Names.State);
		Camera.Values.State = State.IsValid() && State->Type == EJson::Number ? TruncateToInt32(State->AsNumber()) : 0;
	}
	return Camera;
}
} // namespace

void FCamera::StoreInto(FTavrixReceivedState& Out)
{
	Out.Location = Values.Location;
	Out.Rotation = Values.Rotation;
	Out.Scale = Values.Scale;
	if (bHasLens)
	{
		std::copy(std::begin(Values.Lens), std::end(Values.Lens), std::begin(Out.Lens));
	}
	std::copy(std::begin(Values.Timecode), std::end(Values.Timecode), std::begin(Out.Timecode));
	if (bHasTakeMembers)
	{
		for (int32 Index = 0; Index < 3; ++Index)
		{
			Out.Metadata[Index] = MoveTemp(Values.Metadata[Index]);
		}
		Out.State = Values.State;
	}
}

bool IsNestedDeeperThan(const FString& Text, int32 Limit)
{
	int32 Depth = 0;
	bool bInString = false;
	const TCHAR* Character = *Text;
	const TCHAR* const End = Character + Text.Len();
	for (; Character < End; ++Character)
	{
		if (bInString)
		{
			if (*Character == TEXT('\\'))
			{
				++Character; // whatever is escaped cannot end the string
			}
			else if (*Character == TEXT('"'))
			{
				bInString = false;
			}
			continue;
		}
		switch (*Character)
		{
		case TEXT('"'):
			bInString = true;
			break;
		case TEXT('['):
		case TEXT('{'):
			if (++Depth > Limit)
			{
				return true;
			}
			break;
		case TEXT(']'):
		case TEXT('}'):
			--Depth;
			break;
		default:
			break;
		}
	}
	return false;
}

FResult Decode(const uint8* Bytes, int32 Count, const FOptions& Options)
{
	FResult Result;
	int32 Openers = 0;
	FString Text = WidenToText(Bytes, Count, Openers);

	// The JSON reader has no nesting limit of its own, and the tree it builds is released recursively: a datagram
	// of nested brackets would overflow the receive thread's stack. A text with few brackets cannot nest deeply, so
	// only the rare one is scanned.
	if (Openers > MaxNesting && IsNestedDeeperThan(Text, MaxNesting))
	{
		Result.Verdict = EVerdict::TooDeep;
		return Result;
	}

	TSharedPtr<FJsonObject> Message;
	const TSharedRef<TJsonReader<TCHAR>> Reader = TJsonReaderFactory<TCHAR>::Create(MoveTemp(Text));
	if (!FJsonSerializer::Deserialize(Reader, Message) || !Message.IsValid())
	{
		return Result;
	}
	Result.Verdict = EVerdict::Message;

	const FMemberNames& Names = FMemberNames::Get();
	for (const auto& Member : Message->Values)
	{
		// Compared as text, never turned into a name: datagram contents must not grow the process's name table.
		if (!Member.Key.Equals(Names.Camera, ESearchCase::IgnoreCase))
		{
			++Result.ForeignMembers;
			continue;
		}
		const TSharedPtr<FJsonValue>& Value = Member.Value;
		if (!Value.IsValid() || Value->Type != EJson::Array)
		{
			continue;
		}
		const TArray<TSharedPtr<FJsonValue>>& Cameras = Value->AsArray();
		if (Cameras.Num() == 0 || !Cameras[0].IsValid() || Cameras[0]->Type != EJson::Object || !Cameras[0]->AsObject().IsValid())
		{
			continue;
		}
		Result.Camera = DecodeCamera(*Cameras[0]->AsObject(), Options);
		Result.bHasCamera = true;
	}
	return Result;
}

FResult DecodeInto(const uint8* Bytes, int32 Count, const FOptions& Options, FTavrixReceivedState& State)
{
	FResult Result = Decode(Bytes, Count, Options);
	if (Result.bHasCamera)
	{
		Result.Camera.StoreInto(State);
	}
	return Result;
}
} // namespace TavrixMessageDecoder
