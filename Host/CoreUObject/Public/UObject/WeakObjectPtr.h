// Stand-in for the engine's TWeakObjectPtr: null once the object is destroyed. No garbage collector, no thread safety.
#pragma once

#include "CoreTypes.h"

#include <type_traits>

#define COREUOBJECT_API DLLEXPORT

class UObject;

/** The untyped weak reference: the object's address and the serial number it was registered under. */
class COREUOBJECT_API FWeakObjectPtr
{
public:
	FWeakObjectPtr() = default;
	FWeakObjectPtr(const UObject* Object);

	/** The object while it lives, else null (also when a new object now occupies the same address). */
	UObject* Get() const;
	bool IsValid() const { return Get() != nullptr; }
	void Reset() { *this = FWeakObjectPtr(); }
	/** True for two references made from the same object, alive or not. */
	bool operator==(const FWeakObjectPtr& Other) const { return Object == Other.Object && SerialNumber == Other.SerialNumber; }
	bool operator!=(const FWeakObjectPtr& Other) const { return !(*this == Other); }

private:
	const UObject* Object = nullptr;
	uint64 SerialNumber = 0;
};

/**
 * A weak reference to a T. There is no garbage collector: an object dies when its owner deletes it (a class default
 * object with its class, when the module declaring the class is unloaded). Checking and using must not race with that.
 */
template <class T> class TWeakObjectPtr
{
public:
	TWeakObjectPtr() = default;
	TWeakObjectPtr(std::nullptr_t) {}
	template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
	TWeakObjectPtr(U* Object)
		: Weak(Object)
	{
	}
	template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
	TWeakObjectPtr(const TWeakObjectPtr<U>& Other)
		: Weak(Other.Weak)
	{
	}

	T* Get() const { return static_cast<T*>(Weak.Get()); }
	bool IsValid() const { return Weak.IsValid(); }
	explicit operator bool() const { return IsValid(); }
	T* operator->() const
	{
		T* Object = Get();
		check(Object != nullptr);
		return Object;
	}
	T& operator*() const { return *operator->(); }
	void Reset() { Weak.Reset(); }
	bool operator==(const TWeakObjectPtr& Other) const { return Weak == Other.Weak; }
	bool operator!=(const TWeakObjectPtr& Other) const { return Weak != Other.Weak; }

private:
	template <class> friend class TWeakObjectPtr;

	FWeakObjectPtr Weak;
};
