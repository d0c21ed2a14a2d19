#include "Serialization/JsonSerializer.h"
#include "Serialization/JsonReaderTesting.h"

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
#include <unordered_map>
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
	/**
	 * Only the builder allocates, and until it hands the tree over no other thread can hold a node, so every change
	 * to the count is made on its thread: a plain increment is enough, and saves a locked instruction per node.
	 */
	void AddReference() { References.store(References.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed); }
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
template <typename T> struct TArenaAllocator
{
	using value_type = T;

	explicit TArenaAllocator(FJsonArena* InArena)
		: Arena(InArena)
	{
	}
	template <typename U>
	TArenaAllocator(const TArenaAllocator<U>& Other)
		: Arena(Other.Arena)
	{
	}

	T* allocate(size_t Count)
	{
		Arena->AddReference();
		return static_cast<T*>(Arena->Allocate(Count * sizeof(T), alignof(T)));
	}
	void deallocate(T*, size_t) { Arena->Release(); }

	template <typename U> bool operator==(const TArenaAllocator<U>& Other) const { return Arena == Other.Arena; }

	FJsonArena* Arena;
};

/**
 * UTF-16 input that ends at its zero terminator, as the reader expects; a zero character inside the text also stops
 * the reader, and the caller then refuses the text for not having been read to its end. Parsed in place: a string
 * is decoded over its own text, which is never shorter, and a number is handed over as its text.
 */
class FTextStream
{
public:
	using Ch = char16_t;

	/** InBegin[InLength] must be zero. */
	FTextStream(Ch* InBegin, size_t InLength)
		: Begin(InBegin)
		, Current(InBegin)
		, End(InBegin + InLength)
	{
	}

	Ch Peek() const { return *Current; }
	Ch Take() { return *Current++; }
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
	template <typename OutputStream> static void Encode(OutputStream& Stream, unsigned CodePoint)
	{
		if (CodePoint >= 0xD800 && CodePoint <= 0xDFFF)
		{
			Stream.Put(static_cast<char16_t>(CodePoint));
			return;
		}
		rapidjson::UTF16<char16_t>::Encode(Stream, CodePoint);
	}
	template <typename OutputStream> static void EncodeUnsafe(OutputStream& Stream, unsigned CodePoint)
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
 * The exact value of a number's text when one rounding step gives it: at most 2^53 in its significant digits (as an
 * integer) and a power of ten no larger than 10^22 to scale by, both held exactly by a double, so that the one
 * multiplication or division is correctly rounded (Clinger). False when the text needs the full conversion.
 */
bool TryReadShortNumberText(const char16_t* Text, size_t Length, double& OutValue)
{
	static constexpr double ExactPowersOfTen[] = {
		1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
	constexpr uint64_t MaxExactMantissa = uint64_t(1) << 53;
	constexpr int MaxDigits = 17; // below 10^18: no overflow while gathering

	const char16_t* Cursor = Text;
	const char16_t* const End = Text + Length;
	const bool bNegative = Cursor < End && *Cursor == u'-';
	Cursor += bNegative ? 1 : 0;

	uint64_t Mantissa = 0;
	int Digits = 0; // significant digits gathered, leading zeros not counted
	int Exponent = 0;
	const auto IsDigit = [&Cursor, End] { return Cursor < End && *Cursor >= u'0' && *Cursor <= u'9'; };
	/** Gathers one more digit; false once there are too many to hold exactly. */
	const auto Gather = [&] {
		if (Mantissa != 0 || *Cursor != u'0')
		{
			Mantissa = Mantissa * 10 + static_cast<uint64_t>(*Cursor - u'0');
			return ++Digits <= MaxDigits;
		}
		return true;
	};
	for (; IsDigit(); ++Cursor)
	{
		if (!Gather())
		{
			return false;
		}
	}
	if (Cursor < End && *Cursor == u'.')
	{
		for (++Cursor; IsDigit(); ++Cursor, --Exponent)
		{
			if (!Gather())
			{
				return false;
			}
		}
	}
	if (Cursor < End && (*Cursor == u'e' || *Cursor == u'E'))
	{
		++Cursor;
		const bool bNegativeExponent = Cursor < End && *Cursor == u'-';
		Cursor += (Cursor < End && (*Cursor == u'-' || *Cursor == u'+')) ? 1 : 0;
		int Written = 0;
		for (; IsDigit(); ++Cursor)
		{
			if (Written > 1000)
			{
				return false;
			}
			Written = Written * 10 + (*Cursor - u'0');
		}
		Exponent += bNegativeExponent ? -Written : Written;
	}
	if (Cursor != End)
	{
		return false;
	}
	if (Mantissa == 0)
	{
		OutValue = bNegative ? -0.0 : 0.0;
		return true;
	}
	if (Mantissa > MaxExactMantissa || Exponent < -22 || Exponent > 22)
	{
		return false;
	}
	const double Magnitude = Exponent < 0 ? static_cast<double>(Mantissa) / ExactPowersOfTen[-Exponent]
										  : static_cast<double>(Mantissa) * ExactPowersOfTen[Exponent];
	OutValue = bNegative ? -Magnitude : Magnitude;
	return true;
}

/**
 * The double nearest to a number's text, which the reader has already checked against JSON's number form; false
 * beyond the double range. A magnitude too small for a double reads as a zero of its sign.
 */
bool ReadNumberText(const char16_t* Text, size_t Length, double& OutValue)
{
	if (TryReadShortNumberText(Text, Length, OutValue))
	{
		return true;
	}
	// Narrowed on the stack: a message is mostly numbers, and a heap copy of each cost more than reading it.
	char Inline[64];
	std::string Long;
	char* Ascii = Inline;
	if (Length >= sizeof(Inline))
	{
		Long.resize(Length);
		Ascii = Long.data();
	}
	for (size_t Index = 0; Index < Length; ++Index)
	{
		Ascii[Index] = static_cast<char>(Text[Index]);
	}
	Ascii[Length] = '\0'; // strtod_l below reads up to a terminator
	const char* const First = Ascii;
	const char* const Last = First + Length;
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
template <> struct rapidjson::StreamTraits<FTextStream>
{
	enum
	{
		copyOptimization = 1
	};
};

namespace
{
/**
 * Builds the object model from the reader's events, refusing non-object tops and excessive depth as they come.
 * An open object's members and an open array's elements wait on scratch stacks, and move into an array of exactly
 * their number when it closes: one allocation per container, none to grow it. The stacks belong to the thread and
 * keep their room from one parse to the next, unless a large text made them large.
 */
class FJsonTreeBuilder : public rapidjson::BaseReaderHandler<FJsonTargetEncoding, FJsonTreeBuilder>
{
public:
	using Ch = char16_t;

	FJsonTreeBuilder()
		: Arena(FJsonArena::Create())
		, Stack(ThreadScratch.Frames)
		, PendingMembers(ThreadScratch.Members)
		, PendingElements(ThreadScratch.Elements)
	{
		Stack.clear();
	}
	~FJsonTreeBuilder()
	{
		// Before the arena: the scratch stacks of a refused text still hold nodes that live in it.
		PendingMembers.clear();
		PendingElements.clear();
		constexpr size_t KeptCapacity = 1024;
		if (PendingMembers.capacity() > KeptCapacity)
		{
			std::vector<FJsonObjectMember>().swap(PendingMembers);
		}
		if (PendingElements.capacity() > KeptCapacity)
		{
			std::vector<TSharedPtr<FJsonValue>>().swap(PendingElements);
		}
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
	bool String(const Ch* Text, rapidjson::SizeType Length, bool)
	{
		return AddValue(Make<FJsonValueString>(FString(static_cast<int32>(Length), Text)));
	}
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
		if (Stack.empty())
		{
			Root = MoveTemp(Object);
		}
		else if (!AddValue(Make<FJsonValueObject>(MoveTemp(Object))))
		{
			return false;
		}
		Stack.push_back(FFrame{Raw, nullptr, PendingMembers.size()});
		return true;
	}
	bool EndObject(rapidjson::SizeType)
	{
		const FFrame Top = Stack.back();
		Stack.pop_back();
		MoveClosedMembers(Top.FirstPending, Top.Object->Values);
		return true;
	}

	bool StartArray()
	{
		// Only an object may stand at the top: anything else is refused at its first character.
		if (Stack.empty() || !Enter())
		{
			return false;
		}
		TSharedPtr<FJsonValueArray> Array = Make<FJsonValueArray>();
		TArray<TSharedPtr<FJsonValue>>* Elements = &Array->Value;
		if (!AddValue(MoveTemp(Array)))
		{
			return false;
		}
		Stack.push_back(FFrame{nullptr, Elements, PendingElements.size()});
		return true;
	}
	bool EndArray(rapidjson::SizeType)
	{
		const FFrame Top = Stack.back();
		Stack.pop_back();
		MoveClosed(PendingElements, Top.FirstPending, *Top.Array);
		return true;
	}

	TSharedPtr<FJsonObject> Root;

private:
	struct FFrame
	{
		FJsonObject* Object;
		TArray<TSharedPtr<FJsonValue>>* Array;
		size_t FirstPending;
	};

	bool Number(double Value) { return AddValue(Make<FJsonValueNumber>(Value)); }

	template <typename T, typename... ArgTypes> TSharedPtr<T> Make(ArgTypes&&... Args)
	{
		return TSharedPtr<T>(std::allocate_shared<T>(TArenaAllocator<T>(Arena), std::forward<ArgTypes>(Args)...));
	}

	bool Enter() const { return MaxDepth <= 0 || static_cast<int32>(Stack.size()) < MaxDepth; }

	/** Moves what waits on Pending from First on into Container, sized once, and takes it off the stack. */
	template <typename ItemType> static void MoveClosed(std::vector<ItemType>& Pending, size_t First, TArray<ItemType>& Container)
	{
		Container.Reserve(static_cast<int32>(Pending.size() - First));
		for (size_t Index = First; Index < Pending.size(); ++Index)
		{
			Container.Add(MoveTemp(Pending[Index]));
		}
		Pending.resize(First);
	}

	/**
	 * As MoveClosed, with the engine's map semantics: a member whose name (ignoring ASCII case) came before replaces
	 * that member, name and value, where it stood.
	 */
	void MoveClosedMembers(size_t First, TArray<FJsonObjectMember>& Members)
	{
		Members.Reserve(static_cast<int32>(PendingMembers.size() - First));
		constexpr size_t IndexFrom = 16;
		if (PendingMembers.size() - First >= IndexFrom)
		{
			MoveClosedMembersIndexed(First, Members);
			return;
		}
		uint64 LengthsSeen = 0; // a name can only repeat one of a length seen before
		for (size_t Position = First; Position < PendingMembers.size(); ++Position)
		{
			FJsonObjectMember& Member = PendingMembers[Position];
			const uint64 LengthBit = uint64(1) << (Member.Key.Len() & 63);
			FJsonObjectMember* Earlier = nullptr;
			if ((LengthsSeen & LengthBit) != 0)
			{
				for (FJsonObjectMember& Candidate : Members)
				{
					if (Candidate.Key.Equals(Member.Key, ESearchCase::IgnoreCase))
					{
						Earlier = &Candidate;
						break;
					}
				}
			}
			LengthsSeen |= LengthBit;
			if (Earlier != nullptr)
			{
				*Earlier = MoveTemp(Member);
			}
			else
			{
				Members.Add(MoveTemp(Member));
			}
		}
		PendingMembers.resize(First);
	}

	/** The same for a large object, which finds earlier names through an index instead of in quadratic time. */
	void MoveClosedMembersIndexed(size_t First, TArray<FJsonObjectMember>& Members)
	{
		std::unordered_map<std::u16string, int32> Index;
		for (size_t Position = First; Position < PendingMembers.size(); ++Position)
		{
			FJsonObjectMember& Member = PendingMembers[Position];
			std::u16string Folded(*Member.Key, static_cast<size_t>(Member.Key.Len()));
			for (char16_t& Character : Folded)
			{
				Character = FChar::ToLowerAscii(Character);
			}
			const auto [Found, bAdded] = Index.try_emplace(MoveTemp(Folded), Members.Num());
			if (bAdded)
			{
				Members.Add(MoveTemp(Member));
			}
			else
			{
				Members[Found->second] = MoveTemp(Member);
			}
		}
		PendingMembers.resize(First);
	}

	bool AddValue(TSharedPtr<FJsonValue> Value)
	{
		if (Stack.empty())
		{
			return false;
		}
		if (Stack.back().Object != nullptr)
		{
			PendingMembers.push_back(FJsonObjectMember{MoveTemp(PendingKey), MoveTemp(Value)});
		}
		else
		{
			PendingElements.push_back(MoveTemp(Value));
		}
		return true;
	}

	FJsonArena* Arena;
	const int32 MaxDepth = FJsonReaderTesting::GetMaxDepth();
	FString PendingKey;

	struct FScratch
	{
		std::vector<FFrame> Frames;
		std::vector<FJsonObjectMember> Members;
		std::vector<TSharedPtr<FJsonValue>> Elements;
	};
	static thread_local FScratch ThreadScratch;
	std::vector<FFrame>& Stack;
	std::vector<FJsonObjectMember>& PendingMembers;
	std::vector<TSharedPtr<FJsonValue>>& PendingElements;
};

thread_local FJsonTreeBuilder::FScratch FJsonTreeBuilder::ThreadScratch;
} // namespace

namespace
{
std::atomic<int32> MaxDepthSetting{64};
} // namespace

int32 FJsonReaderTesting::GetMaxDepth()
{
	return MaxDepthSetting.load(std::memory_order_relaxed);
}

void FJsonReaderTesting::SetMaxDepth(int32 InMaxDepth)
{
	MaxDepthSetting.store(InMaxDepth, std::memory_order_relaxed);
}

bool FJsonSerializer::Deserialize(const TSharedRef<TJsonReader<TCHAR>>& Reader, TSharedPtr<FJsonObject>& OutObject)
{
	OutObject.Reset();
	// Reading consumes the reader's text, as reading the engine's stream does: it is parsed in place.
	FString Text = Reader->TakeText();
	const size_t Length = static_cast<size_t>(Text.Len());
	if (Length == 0)
	{
		return false;
	}
	FTextStream Stream(&Text[0], Length); // an FString's buffer is zero-terminated
	FJsonTreeBuilder Builder;
	// Recursive, as deep as the builder lets it: with its limit in force it refuses the level beyond it before the
	// reader descends, so no input takes more than a few kilobytes of a thread's stack; without it, as deep as the
	// text goes. Numbers come as their text and become
	// the double nearest to it in RawNumber: the packaged reader's own conversion yields wrong values for some valid
	// numbers (0e48, 1234e306, 1.8e308) and overflows an int on long exponents. A number beyond the double range makes
	// the text invalid. In place (over the text the reader handed over), because outside it the packaged reader
	// garbles a number's text while widening it to UTF-16; in place, strings are decoded from and to the source
	// encoding, hence the same encoding twice.
	constexpr unsigned Flags = rapidjson::kParseInsituFlag | rapidjson::kParseNumbersAsStringsFlag | rapidjson::kParseValidateEncodingFlag;
	rapidjson::GenericReader<FJsonTargetEncoding, FJsonTargetEncoding> JsonReader;
	const rapidjson::ParseResult Result = JsonReader.Parse<Flags>(Stream, Builder);
	if (Result.IsError() || Stream.Tell() != Length || !Builder.Root.IsValid())
	{
		return false;
	}
	OutObject = MoveTemp(Builder.Root);
	return true;
}
