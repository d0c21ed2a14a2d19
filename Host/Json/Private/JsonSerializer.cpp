#include "Serialization/JsonSerializer.h"

#include <rapidjson/encodings.h>
#include <rapidjson/reader.h>

#include <atomic>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

namespace
{
/**
 * Bump allocator for the nodes of one parse. Nodes are made with allocate_shared through it, so a node costs no
 * call to the heap and its control block sits beside it; the arena lives until the last node that used it is gone.
 */
class FJsonArena
{
public:
	/** Made with one reference, held by whoever builds the tree. */
	static FJsonArena* Create() { return new FJsonArena; } // default-initialised: the inline block is not zeroed
	void AddReference() { References.fetch_add(1, std::memory_order_relaxed); }
	void Release()
	{
		if (References.fetch_sub(1, std::memory_order_acq_rel) == 1)
		{
			delete this;
		}
	}

	void* Allocate(size_t Size, size_t Alignment)
	{
		std::byte* Aligned = AlignUp(Cursor, Alignment);
		if (Aligned + Size > End)
		{
			const size_t ChunkSize = std::max<size_t>(Size + Alignment, NextChunkSize);
			NextChunkSize *= 2;
			Chunks.push_back(std::make_unique<std::byte[]>(ChunkSize));
			Cursor = Chunks.back().get();
			End = Cursor + ChunkSize;
			Aligned = AlignUp(Cursor, Alignment);
		}
		Cursor = Aligned + Size;
		return Aligned;
	}

private:
	static std::byte* AlignUp(std::byte* Pointer, size_t Alignment)
	{
		const uintptr_t Address = reinterpret_cast<uintptr_t>(Pointer);
		return reinterpret_cast<std::byte*>((Address + Alignment - 1) & ~(uintptr_t(Alignment) - 1));
	}

	// Room for a typical camera message's nodes without a second allocation.
	alignas(std::max_align_t) std::byte Inline[3072];
	std::byte* Cursor = Inline;
	std::byte* End = Inline + sizeof(Inline);
	size_t NextChunkSize = 8192;
	std::vector<std::unique_ptr<std::byte[]>> Chunks;
	std::atomic<size_t> References{1};
};

/**
 * Allocator over an arena that counts the nodes living in it: the arena deletes itself when its builder is done
 * and its last node is gone. A raw pointer, so copying the allocator (which allocate_shared does freely) is free.
 */
template <typename T>
struct TArenaAllocator
{
	using value_type = T;

	explicit TArenaAllocator(FJsonArena* InArena) : Arena(InArena) {}
	template <typename U>
	TArenaAllocator(const TArenaAllocator<U>& Other) : Arena(Other.Arena)
	{
	}

	T* allocate(size_t Count)
	{
		Arena->AddReference();
		return static_cast<T*>(Arena->Allocate(Count * sizeof(T), alignof(T)));
	}
	void deallocate(T*, size_t) { Arena->Release(); }

	template <typename U>
	bool operator==(const TArenaAllocator<U>& Other) const
	{
		return Arena == Other.Arena;
	}

	FJsonArena* Arena;
};

/**
 * UTF-16 input with an explicit end, so that a zero character inside the text cannot pass for its end. Parsed in
 * place: a string is decoded over its own text, which is never shorter, and a number is handed over as its text.
 */
class FTextStream
{
public:
	using Ch = char16_t;

	FTextStream(Ch* InBegin, size_t InLength) : Begin(InBegin), Current(InBegin), End(InBegin + InLength) {}

	Ch Peek() const { return Current < End ? *Current : Ch(0); }
	Ch Take() { return Current < End ? *Current++ : Ch(0); }
	size_t Tell() const { return static_cast<size_t>(Current - Begin); }

	Ch* PutBegin() { return Write = Current; }
	void Put(Ch Character)
	{
		// Only a text that ends inside a surrogate pair gets the reader to write past what it read; it fails anyway.
		if (Write < End)
		{
			*Write++ = Character;
		}
	}
	void Flush() {}
	size_t PutEnd(Ch* Start) { return static_cast<size_t>(Write - Start); }

private:
	Ch* Begin;
	Ch* Current;
	Ch* End;
	Ch* Write = nullptr;
};

/**
 * UTF-16 as the reader writes decoded strings, except that an escaped lone low surrogate (\uDC00-\uDFFF without a
 * high surrogate before it) is kept as the one code unit it names: the packaged reader would otherwise assert on
 * it, and an FString holds any code unit. A lone high surrogate is refused by the reader itself.
 */
struct FJsonTargetEncoding : rapidjson::UTF16<char16_t>
{
	template <typename OutputStream>
	static void Encode(OutputStream& Stream, unsigned CodePoint)
	{
		if (CodePoint >= 0xD800 && CodePoint <= 0xDFFF)
		{
			Stream.Put(static_cast<char16_t>(CodePoint));
			return;
		}
		rapidjson::UTF16<char16_t>::Encode(Stream, CodePoint);
	}
	template <typename OutputStream>
	static void EncodeUnsafe(OutputStream& Stream, unsigned CodePoint)
	{
		if (CodePoint >= 0xD800 && CodePoint <= 0xDFFF)
		{
			rapidjson::PutUnsafe(Stream, static_cast<char16_t>(CodePoint));
			return;
		}
		rapidjson::UTF16<char16_t>::EncodeUnsafe(Stream, CodePoint);
	}
};

/**
 * The double nearest to a number's text, which the reader has already checked against JSON's number form; false
 * beyond the double range. A magnitude too small for a double reads as a zero of its sign.
 */
bool ReadNumberText(const char16_t* Text, size_t Length, double& OutValue)
{
	std::string Ascii(Length, '\0');
	for (size_t Index = 0; Index < Length; ++Index)
	{
		Ascii[Index] = static_cast<char>(Text[Index]);
	}
	const char* const First = Ascii.data();
	const char* const Last = First + Ascii.size();
	const std::from_chars_result Result = std::from_chars(First, Last, OutValue);
	if (Result.ec != std::errc::result_out_of_range)
	{
		return Result.ec == std::errc() && Result.ptr == Last;
	}
	// from_chars reports overflow and underflow alike; strtod in the C locale tells them apart.
	static const locale_t CLocale = newlocale(LC_ALL_MASK, "C", locale_t(0));
	if (CLocale == locale_t(0))
	{
		return false;
	}
	const double Value = strtod_l(First, nullptr, CLocale);
	if (!std::isfinite(Value))
	{
		return false;
	}
	OutValue = Value;
	return true;
}
} // namespace

// The reader reads a number or a string through a copy of the stream, so that in place it can hand over the text
// from where the token began.
template <>
struct rapidjson::StreamTraits<FTextStream>
{
	enum
	{
		copyOptimization = 1
	};
};

namespace
{
/** Builds the object model from the reader's events, refusing non-object tops and excessive depth as they come. */
class FJsonTreeBuilder : public rapidjson::BaseReaderHandler<FJsonTargetEncoding, FJsonTreeBuilder>
{
public:
	using Ch = char16_t;

	FJsonTreeBuilder() : Arena(FJsonArena::Create()) {}
	~FJsonTreeBuilder()
	{
		Root.Reset();
		Arena->Release();
	}
	FJsonTreeBuilder(const FJsonTreeBuilder&) = delete;
	FJsonTreeBuilder& operator=(const FJsonTreeBuilder&) = delete;

	bool Null() { return AddValue(Make<FJsonValueNull>()); }
	bool Bool(bool Value) { return AddValue(Make<FJsonValueBoolean>(Value)); }
	/** Every number, as its text (kParseNumbersAsStringsFlag). */
	bool RawNumber(const Ch* Text, rapidjson::SizeType Length, bool)
	{
		double Value = 0.0;
		return ReadNumberText(Text, Length, Value) && Number(Value);
	}
	bool String(const Ch* Text, rapidjson::SizeType Length, bool) { return AddValue(Make<FJsonValueString>(FString(static_cast<int32>(Length), Text))); }
	bool Key(const Ch* Text, rapidjson::SizeType Length, bool)
	{
		PendingKey = FString(static_cast<int32>(Length), Text);
		return true;
	}

	bool StartObject()
	{
		if (!Enter())
		{
			return false;
		}
		TSharedPtr<FJsonObject> Object = Make<FJsonObject>();
		FJsonObject* Raw = Object.Get();
		if (Depth == 0)
		{
			Root = MoveTemp(Object);
		}
		else if (!AddValue(Make<FJsonValueObject>(MoveTemp(Object))))
		{
			return false;
		}
		Stack[Depth++] = FFrame{Raw, nullptr};
		return true;
	}
	bool EndObject(rapidjson::SizeType) { return Leave(); }

	bool StartArray()
	{
		// Only an object may stand at the top: anything else is refused at its first character.
		if (Depth == 0 || !Enter())
		{
			return false;
		}
		TSharedPtr<FJsonValueArray> Array = Make<FJsonValueArray>();
		TArray<TSharedPtr<FJsonValue>>* Elements = &Array->Value;
		Elements->Reserve(4); // a camera message's arrays hold three or four elements
		if (!AddValue(MoveTemp(Array)))
		{
			return false;
		}
		Stack[Depth++] = FFrame{nullptr, Elements};
		return true;
	}
	bool EndArray(rapidjson::SizeType) { return Leave(); }

	TSharedPtr<FJsonObject> Root;

private:
	struct FFrame
	{
		FJsonObject* Object;
		TArray<TSharedPtr<FJsonValue>>* Array;
	};

	bool Number(double Value) { return AddValue(Make<FJsonValueNumber>(Value)); }

	template <typename T, typename... ArgTypes>
	TSharedPtr<T> Make(ArgTypes&&... Args)
	{
		return TSharedPtr<T>(std::allocate_shared<T>(TArenaAllocator<T>(Arena), std::forward<ArgTypes>(Args)...));
	}

	bool Enter() const { return Depth < FJsonSerializer::MaxDepth; }
	bool Leave()
	{
		--Depth;
		return true;
	}

	bool AddValue(TSharedPtr<FJsonValue> Value)
	{
		if (Depth == 0)
		{
			return false;
		}
		FFrame& Top = Stack[Depth - 1];
		if (Top.Object != nullptr)
		{
			Top.Object->Values.Add(FJsonObjectMember{MoveTemp(PendingKey), MoveTemp(Value)});
		}
		else
		{
			Top.Array->Add(MoveTemp(Value));
		}
		return true;
	}

	FJsonArena* Arena;
	FFrame Stack[FJsonSerializer::MaxDepth];
	int32 Depth = 0;
	FString PendingKey;
};
} // namespace

bool FJsonSerializer::Deserialize(const TSharedRef<TJsonReader<TCHAR>>& Reader, TSharedPtr<FJsonObject>& OutObject)
{
	OutObject.Reset();
	std::u16string Text = Reader->GetText().GetStdString();
	FTextStream Stream(Text.data(), Text.size());
	FJsonTreeBuilder Builder;
	// Iterative: the reader's own stack is on the heap, so no input can exhaust a thread's stack. Numbers come as
	// their text and become the double nearest to it in RawNumber: the packaged reader's own conversion yields wrong
	// values for some valid numbers (0e48, 1234e306, 1.8e308) and overflows an int on long exponents. A number beyond
	// the double range makes the text invalid. In place (on a copy of the text), because outside it the packaged
	// reader garbles a number's text while widening it to UTF-16; in place, strings are decoded from and to the
	// source encoding, hence the same encoding twice.
	constexpr unsigned Flags =
		rapidjson::kParseIterativeFlag | rapidjson::kParseInsituFlag | rapidjson::kParseNumbersAsStringsFlag | rapidjson::kParseValidateEncodingFlag;
	rapidjson::GenericReader<FJsonTargetEncoding, FJsonTargetEncoding> JsonReader;
	const rapidjson::ParseResult Result = JsonReader.Parse<Flags>(Stream, Builder);
	if (Result.IsError() || Stream.Tell() != Text.size() || !Builder.Root.IsValid())
	{
		return false;
	}
	OutObject = MoveTemp(Builder.Root);
	return true;
}
