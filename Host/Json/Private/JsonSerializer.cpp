#include "Serialization/JsonSerializer.h"

#include <rapidjson/encodings.h>
#include <rapidjson/reader.h>

#include <atomic>
#include <memory>
#include <string>
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

/** UTF-16 input with an explicit end, so that a zero character inside the text cannot pass for its end. */
class FTextStream
{
public:
	using Ch = char16_t;

	FTextStream(const Ch* InBegin, size_t InLength) : Begin(InBegin), Current(InBegin), End(InBegin + InLength) {}

	Ch Peek() const { return Current < End ? *Current : Ch(0); }
	Ch Take() { return Current < End ? *Current++ : Ch(0); }
	size_t Tell() const { return static_cast<size_t>(Current - Begin); }

	// Never written to: the reader does not parse in place.
	Ch* PutBegin() { return nullptr; }
	void Put(Ch) {}
	void Flush() {}
	size_t PutEnd(Ch*) { return 0; }

private:
	const Ch* Begin;
	const Ch* Current;
	const Ch* End;
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
	bool Int(int Value) { return Number(static_cast<double>(Value)); }
	bool Uint(unsigned Value) { return Number(static_cast<double>(Value)); }
	bool Int64(int64_t Value) { return Number(static_cast<double>(Value)); }
	bool Uint64(uint64_t Value) { return Number(static_cast<double>(Value)); }
	bool Double(double Value) { return Number(Value); }
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
	const FString& Text = Reader->GetText();
	FTextStream Stream(*Text, static_cast<size_t>(Text.Len()));
	FJsonTreeBuilder Builder;
	// Iterative: the reader's own stack is on the heap, so no input can exhaust a thread's stack. Full precision:
	// every number is the double nearest to its text. A number beyond the double range makes the text invalid.
	constexpr unsigned Flags = rapidjson::kParseIterativeFlag | rapidjson::kParseFullPrecisionFlag | rapidjson::kParseValidateEncodingFlag;
	rapidjson::GenericReader<rapidjson::UTF16<char16_t>, FJsonTargetEncoding> JsonReader;
	const rapidjson::ParseResult Result = JsonReader.Parse<Flags>(Stream, Builder);
	if (Result.IsError() || Stream.Tell() != static_cast<size_t>(Text.Len()) || !Builder.Root.IsValid())
	{
		return false;
	}
	OutObject = MoveTemp(Builder.Root);
	return true;
}
