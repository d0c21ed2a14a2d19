// Stand-in for the engine's TAttribute: a fixed value or a getter called on every read. No object-bound constructors.
#pragma once

#include "CoreTypes.h"
#include "Delegates/Delegate.h"

#include <type_traits>

template <typename ObjectType> class TAttribute;

namespace TavrixDetail
{
template <typename Type> inline constexpr bool bIsAttribute = false;
template <typename Type> inline constexpr bool bIsAttribute<TAttribute<Type>> = true;
} // namespace TavrixDetail

/** Unset, fixed, or bound to a getter that is called on every read. Not thread-safe: read it where it is owned. */
template <typename ObjectType> class TAttribute
{
public:
	using FGetter = TDelegate<ObjectType()>;

	TAttribute() = default;

	/** A fixed value; anything ObjectType can be made from converts (300 for a size, an FText for a text). */
	template <typename OtherType,
		typename = std::enable_if_t<!TavrixDetail::bIsAttribute<OtherType> && std::is_constructible_v<ObjectType, const OtherType&>>>
	TAttribute(const OtherType& InInitialValue)
		: Value(InInitialValue)
		, bIsSet(true)
	{
	}

	static TAttribute Create(const FGetter& InGetter)
	{
		TAttribute Attribute;
		Attribute.Bind(InGetter);
		return Attribute;
	}
	template <typename FunctorType> static TAttribute CreateLambda(FunctorType&& InFunctor)
	{
		return Create(FGetter::CreateLambda(std::forward<FunctorType>(InFunctor)));
	}

	/** Replaces a getter, if any, by a fixed value. */
	template <typename OtherType> void Set(const OtherType& InNewValue)
	{
		Getter.Unbind();
		Value = InNewValue;
		bIsSet = true;
	}
	void Bind(const FGetter& InGetter)
	{
		Getter = InGetter;
		bIsSet = true;
	}

	const ObjectType& Get() const
	{
		if (Getter.IsBound())
		{
			Value = Getter.Execute();
		}
		return Value;
	}
	const ObjectType& Get(const ObjectType& DefaultValue) const { return bIsSet ? Get() : DefaultValue; }

	bool IsSet() const { return bIsSet; }
	bool IsBound() const { return Getter.IsBound(); }

private:
	mutable ObjectType Value = ObjectType();
	bool bIsSet = false;
	FGetter Getter;
};
