// Stand-in for the engine's shared pointers: TSharedPtr/TSharedRef/TWeakPtr over std::shared_ptr, whose reference
// counts are atomic, so every mode is thread-safe. No custom deleters, no shared-from-this on raw construction.
#pragma once

#include "CoreTypes.h"

#include <memory>

enum class ESPMode
{
	NotThreadSafe = 0,
	ThreadSafe = 1,
	Fast = ThreadSafe,
};

template <class ObjectType, ESPMode Mode = ESPMode::ThreadSafe> class TSharedRef;
template <class ObjectType, ESPMode Mode = ESPMode::ThreadSafe> class TSharedPtr;
template <class ObjectType, ESPMode Mode = ESPMode::ThreadSafe> class TWeakPtr;

/** A shared reference: never null. */
template <class ObjectType, ESPMode Mode> class TSharedRef
{
public:
	template <class OtherType, ESPMode OtherMode, class = std::enable_if_t<std::is_convertible_v<OtherType*, ObjectType*>>>
	TSharedRef(const TSharedRef<OtherType, OtherMode>& Other)
		: Pointer(Other.Pointer)
	{
	}

	ObjectType& Get() const { return *Pointer; }
	ObjectType* operator->() const { return Pointer.get(); }
	ObjectType& operator*() const { return *Pointer; }
	int32 GetSharedReferenceCount() const { return static_cast<int32>(Pointer.use_count()); }
	TSharedPtr<ObjectType, Mode> ToSharedPtr() const { return TSharedPtr<ObjectType, Mode>(*this); }
	TWeakPtr<ObjectType, Mode> ToWeakPtr() const { return TWeakPtr<ObjectType, Mode>(*this); }

	bool operator==(const TSharedRef& Other) const { return Pointer == Other.Pointer; }
	bool operator!=(const TSharedRef& Other) const { return Pointer != Other.Pointer; }

	/** Stand-in bridge: the engine's code never sees it. */
	explicit TSharedRef(std::shared_ptr<ObjectType> InPointer)
		: Pointer(MoveTemp(InPointer))
	{
		check(Pointer != nullptr);
	}
	const std::shared_ptr<ObjectType>& GetStdPointer() const { return Pointer; }

private:
	template <class, ESPMode> friend class TSharedRef;
	template <class, ESPMode> friend class TSharedPtr;
	template <class, ESPMode> friend class TWeakPtr;

	std::shared_ptr<ObjectType> Pointer;
};

template <class ObjectType, ESPMode Mode> class TSharedPtr
{
public:
	TSharedPtr() = default;
	TSharedPtr(std::nullptr_t) {}
	template <class OtherType, ESPMode OtherMode, class = std::enable_if_t<std::is_convertible_v<OtherType*, ObjectType*>>>
	TSharedPtr(const TSharedPtr<OtherType, OtherMode>& Other)
		: Pointer(Other.Pointer)
	{
	}
	template <class OtherType, ESPMode OtherMode, class = std::enable_if_t<std::is_convertible_v<OtherType*, ObjectType*>>>
	TSharedPtr(TSharedPtr<OtherType, OtherMode>&& Other)
		: Pointer(MoveTemp(Other.Pointer))
	{
	}
	template <class OtherType, ESPMode OtherMode, class = std::enable_if_t<std::is_convertible_v<OtherType*, ObjectType*>>>
	TSharedPtr(const TSharedRef<OtherType, OtherMode>& Other)
		: Pointer(Other.Pointer)
	{
	}

	bool IsValid() const { return Pointer != nullptr; }
	explicit operator bool() const { return IsValid(); }
	ObjectType* Get() const { return Pointer.get(); }
	ObjectType* operator->() const
	{
		check(IsValid());
		return Pointer.get();
	}
	ObjectType& operator*() const
	{
		check(IsValid());
		return *Pointer;
	}
	void Reset() { Pointer.reset(); }
	TSharedRef<ObjectType, Mode> ToSharedRef() const
	{
		check(IsValid());
		return TSharedRef<ObjectType, Mode>(Pointer);
	}
	int32 GetSharedReferenceCount() const { return static_cast<int32>(Pointer.use_count()); }

	bool operator==(const TSharedPtr& Other) const { return Pointer == Other.Pointer; }
	bool operator!=(const TSharedPtr& Other) const { return Pointer != Other.Pointer; }
	bool operator==(std::nullptr_t) const { return Pointer == nullptr; }

	/** Stand-in bridge: the engine's code never sees it. */
	explicit TSharedPtr(std::shared_ptr<ObjectType> InPointer)
		: Pointer(MoveTemp(InPointer))
	{
	}
	const std::shared_ptr<ObjectType>& GetStdPointer() const { return Pointer; }

private:
	template <class, ESPMode> friend class TSharedPtr;
	template <class, ESPMode> friend class TWeakPtr;

	std::shared_ptr<ObjectType> Pointer;
};

template <class ObjectType, ESPMode Mode> class TWeakPtr
{
public:
	TWeakPtr() = default;
	template <class OtherType, ESPMode OtherMode, class = std::enable_if_t<std::is_convertible_v<OtherType*, ObjectType*>>>
	TWeakPtr(const TSharedRef<OtherType, OtherMode>& Other)
		: Pointer(Other.Pointer)
	{
	}
	template <class OtherType, ESPMode OtherMode, class = std::enable_if_t<std::is_convertible_v<OtherType*, ObjectType*>>>
	TWeakPtr(const TSharedPtr<OtherType, OtherMode>& Other)
		: Pointer(Other.Pointer)
	{
	}
	template <class OtherType, ESPMode OtherMode, class = std::enable_if_t<std::is_convertible_v<OtherType*, ObjectType*>>>
	TWeakPtr(const TWeakPtr<OtherType, OtherMode>& Other)
		: Pointer(Other.Pointer)
	{
	}

	TSharedPtr<ObjectType, Mode> Pin() const { return TSharedPtr<ObjectType, Mode>(Pointer.lock()); }
	bool IsValid() const { return !Pointer.expired(); }
	void Reset() { Pointer.reset(); }

private:
	template <class, ESPMode> friend class TWeakPtr;

	std::weak_ptr<ObjectType> Pointer;
};

/** The engine's TSharedFromThis: an object that can hand out shared references to itself. */
template <class ObjectType, ESPMode Mode = ESPMode::ThreadSafe> class TSharedFromThis : public std::enable_shared_from_this<ObjectType>
{
public:
	TSharedRef<ObjectType, Mode> AsShared() { return TSharedRef<ObjectType, Mode>(this->shared_from_this()); }
	TSharedRef<const ObjectType, Mode> AsShared() const { return TSharedRef<const ObjectType, Mode>(this->shared_from_this()); }
	TWeakPtr<ObjectType, Mode> AsWeak() { return TWeakPtr<ObjectType, Mode>(AsShared()); }
};

/** One allocation holding the reference counts and the object, as the engine's MakeShared. */
template <class ObjectType, ESPMode Mode = ESPMode::ThreadSafe, class... ArgTypes>
TSharedRef<ObjectType, Mode> MakeShared(ArgTypes&&... Args)
{
	return TSharedRef<ObjectType, Mode>(std::make_shared<ObjectType>(std::forward<ArgTypes>(Args)...));
}

template <class ObjectType> TSharedPtr<ObjectType> MakeShareable(ObjectType* Object)
{
	return TSharedPtr<ObjectType>(std::shared_ptr<ObjectType>(Object));
}

template <class ToType, class FromType, ESPMode Mode> TSharedPtr<ToType, Mode> StaticCastSharedPtr(const TSharedPtr<FromType, Mode>& From)
{
	return TSharedPtr<ToType, Mode>(std::static_pointer_cast<ToType>(From.GetStdPointer()));
}

template <class ToType, class FromType, ESPMode Mode> TSharedRef<ToType, Mode> StaticCastSharedRef(const TSharedRef<FromType, Mode>& From)
{
	return TSharedRef<ToType, Mode>(std::static_pointer_cast<ToType>(From.GetStdPointer()));
}
