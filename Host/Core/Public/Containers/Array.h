// Stand-in for the engine's TArray: a contiguous array with the engine's names. No allocator policies, no slack tuning.
#pragma once

#include "CoreTypes.h"

#include <algorithm>
#include <initializer_list>
#include <memory>
#include <vector>

namespace TavrixDetail
{
/** Leaves elements default-initialised, so SetNumUninitialized on bytes does not pay for zeroing. */
template <typename T> struct TDefaultInitAllocator : std::allocator<T>
{
	template <typename U> struct rebind
	{
		using other = TDefaultInitAllocator<U>;
	};
	using std::allocator<T>::allocator;

	template <typename U> void construct(U* Ptr) noexcept(std::is_nothrow_default_constructible_v<U>) { ::new (static_cast<void*>(Ptr)) U; }
	template <typename U, typename... ArgTypes> void construct(U* Ptr, ArgTypes&&... Args)
	{
		::new (static_cast<void*>(Ptr)) U(std::forward<ArgTypes>(Args)...);
	}
};
} // namespace TavrixDetail

template <typename ElementType> class TArray
{
	using StorageType = std::vector<ElementType, TavrixDetail::TDefaultInitAllocator<ElementType>>;

public:
	TArray() = default;
	TArray(std::initializer_list<ElementType> Init)
		: Storage(Init)
	{
	}
	TArray(const ElementType* Ptr, int32 Count)
		: Storage(Ptr, Ptr + Count)
	{
	}

	int32 Num() const { return static_cast<int32>(Storage.size()); }
	bool IsEmpty() const { return Storage.empty(); }
	bool IsValidIndex(int32 Index) const { return Index >= 0 && Index < Num(); }
	ElementType* GetData() { return Storage.data(); }
	const ElementType* GetData() const { return Storage.data(); }

	ElementType& operator[](int32 Index)
	{
		check(IsValidIndex(Index));
		return Storage[static_cast<size_t>(Index)];
	}
	const ElementType& operator[](int32 Index) const
	{
		check(IsValidIndex(Index));
		return Storage[static_cast<size_t>(Index)];
	}
	ElementType& Last() { return (*this)[Num() - 1]; }
	const ElementType& Last() const { return (*this)[Num() - 1]; }

	int32 Add(const ElementType& Item)
	{
		Storage.push_back(Item);
		return Num() - 1;
	}
	int32 Add(ElementType&& Item)
	{
		Storage.push_back(MoveTemp(Item));
		return Num() - 1;
	}
	template <typename... ArgTypes> int32 Emplace(ArgTypes&&... Args)
	{
		Storage.emplace_back(std::forward<ArgTypes>(Args)...);
		return Num() - 1;
	}
	void Append(const TArray& Other) { Storage.insert(Storage.end(), Other.Storage.begin(), Other.Storage.end()); }
	void Append(const ElementType* Ptr, int32 Count) { Storage.insert(Storage.end(), Ptr, Ptr + Count); }

	void Reserve(int32 Count) { Storage.reserve(static_cast<size_t>(Count)); }
	/** Grows or shrinks; new elements are default-initialised (indeterminate for scalars), as the engine leaves them. */
	void SetNumUninitialized(int32 NewNum) { Storage.resize(static_cast<size_t>(NewNum)); }
	void SetNum(int32 NewNum) { Storage.resize(static_cast<size_t>(NewNum), ElementType()); }
	void SetNumZeroed(int32 NewNum) { Storage.assign(static_cast<size_t>(NewNum), ElementType()); }
	void Empty(int32 Slack = 0)
	{
		StorageType().swap(Storage);
		Storage.reserve(static_cast<size_t>(Slack));
	}
	void Reset() { Storage.clear(); }
	void RemoveAt(int32 Index, int32 Count = 1)
	{
		check(Index >= 0 && Count >= 0 && Index + Count <= Num());
		Storage.erase(Storage.begin() + Index, Storage.begin() + Index + Count);
	}
	template <typename PredicateType> int32 RemoveAll(PredicateType Predicate)
	{
		const auto NewEnd = std::remove_if(Storage.begin(), Storage.end(), Predicate);
		const int32 Removed = static_cast<int32>(Storage.end() - NewEnd);
		Storage.erase(NewEnd, Storage.end());
		return Removed;
	}
	void Insert(const ElementType& Item, int32 Index) { Storage.insert(Storage.begin() + Index, Item); }

	int32 Find(const ElementType& Item) const
	{
		const auto It = std::find(Storage.begin(), Storage.end(), Item);
		return It == Storage.end() ? -1 : static_cast<int32>(It - Storage.begin());
	}
	bool Contains(const ElementType& Item) const { return Find(Item) != -1; }
	template <typename PredicateType> const ElementType* FindByPredicate(PredicateType Predicate) const
	{
		const auto It = std::find_if(Storage.begin(), Storage.end(), Predicate);
		return It == Storage.end() ? nullptr : &*It;
	}
	template <typename PredicateType> ElementType* FindByPredicate(PredicateType Predicate)
	{
		const auto It = std::find_if(Storage.begin(), Storage.end(), Predicate);
		return It == Storage.end() ? nullptr : &*It;
	}

	bool operator==(const TArray& Other) const { return Storage == Other.Storage; }

	auto begin() { return Storage.begin(); }
	auto end() { return Storage.end(); }
	auto begin() const { return Storage.begin(); }
	auto end() const { return Storage.end(); }

private:
	StorageType Storage;
};
