// Stand-in for the engine's TMap: a hash map keyed through GetTypeHash, iterated as Key/Value pairs. No sorting or multi-maps.
#pragma once

#include "CoreTypes.h"

#include <cstddef>
#include <unordered_map>

template <typename KeyType, typename ValueType> class TMap
{
	struct FHasher
	{
		std::size_t operator()(const KeyType& Key) const { return static_cast<std::size_t>(GetTypeHash(Key)); }
	};
	using StorageType = std::unordered_map<KeyType, ValueType, FHasher>;

	template <typename MapIterator, typename ValueRef> class TPairIterator
	{
	public:
		struct FPairRef
		{
			const KeyType& Key;
			ValueRef Value;
		};
		explicit TPairIterator(MapIterator InIt)
			: It(InIt)
		{
		}
		FPairRef operator*() const { return FPairRef{It->first, It->second}; }
		TPairIterator& operator++()
		{
			++It;
			return *this;
		}
		bool operator!=(const TPairIterator& Other) const { return It != Other.It; }

	private:
		MapIterator It;
	};

public:
	ValueType& Add(const KeyType& Key, ValueType Value) { return Storage.insert_or_assign(Key, MoveTemp(Value)).first->second; }
	ValueType& FindOrAdd(const KeyType& Key) { return Storage[Key]; }
	ValueType* Find(const KeyType& Key)
	{
		const auto It = Storage.find(Key);
		return It == Storage.end() ? nullptr : &It->second;
	}
	const ValueType* Find(const KeyType& Key) const
	{
		const auto It = Storage.find(Key);
		return It == Storage.end() ? nullptr : &It->second;
	}
	bool Contains(const KeyType& Key) const { return Storage.count(Key) != 0; }
	int32 Remove(const KeyType& Key) { return static_cast<int32>(Storage.erase(Key)); }
	int32 Num() const { return static_cast<int32>(Storage.size()); }
	void Empty() { Storage.clear(); }

	auto begin() { return TPairIterator<typename StorageType::iterator, ValueType&>(Storage.begin()); }
	auto end() { return TPairIterator<typename StorageType::iterator, ValueType&>(Storage.end()); }
	auto begin() const { return TPairIterator<typename StorageType::const_iterator, const ValueType&>(Storage.begin()); }
	auto end() const { return TPairIterator<typename StorageType::const_iterator, const ValueType&>(Storage.end()); }

private:
	StorageType Storage;
};
