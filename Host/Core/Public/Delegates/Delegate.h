// Stand-in for the engine's delegates: single-cast TDelegate and multicast TMulticastDelegate with payloads and
// FDelegateHandle. No dynamic (script) delegates, no UObject liveness tracking.
#pragma once

#include "CoreTypes.h"
#include "Templates/Identity.h"
#include "Templates/SharedPointer.h"

#include <algorithm>
#include <functional>
#include <tuple>
#include <type_traits>
#include <vector>

class CORE_API FDelegateHandle
{
public:
	enum EGenerateNewHandleType
	{
		GenerateNewHandle
	};

	FDelegateHandle() = default;
	explicit FDelegateHandle(EGenerateNewHandleType);

	bool IsValid() const { return ID != 0; }
	void Reset() { ID = 0; }
	bool operator==(const FDelegateHandle& Other) const { return ID == Other.ID; }
	bool operator!=(const FDelegateHandle& Other) const { return ID != Other.ID; }

private:
	uint64 ID = 0;
};

template <typename FuncType> class TDelegate;

template <typename RetType, typename... ParamTypes> class TDelegate<RetType(ParamTypes...)>
{
public:
	using FFunction = std::function<RetType(ParamTypes...)>;
	/** Payload values as a binding keeps them: its own copies, handed to the bound function on every call. */
	template <typename... PayloadTypes> using TPayload = std::tuple<std::decay_t<PayloadTypes>...>;

	TDelegate() = default;

	template <typename... PayloadTypes>
	static TDelegate CreateStatic(RetType (*Function)(ParamTypes..., PayloadTypes...), typename TIdentity<PayloadTypes>::Type... Payload)
	{
		return TDelegate([Function, Captured = TPayload<PayloadTypes...>(Payload...)](ParamTypes... Params) mutable -> RetType {
			return std::apply(
				[&](auto&... Values) -> RetType { return Function(std::forward<ParamTypes>(Params)..., Values...); }, Captured);
		});
	}
	template <typename UserClass, typename... PayloadTypes>
	static TDelegate CreateRaw(
		UserClass* Object, RetType (UserClass::*Method)(ParamTypes..., PayloadTypes...), typename TIdentity<PayloadTypes>::Type... Payload)
	{
		return TDelegate([Object, Method, Captured = TPayload<PayloadTypes...>(Payload...)](ParamTypes... Params) mutable -> RetType {
			return std::apply(
				[&](auto&... Values) -> RetType { return (Object->*Method)(std::forward<ParamTypes>(Params)..., Values...); }, Captured);
		});
	}
	template <typename UserClass, typename... PayloadTypes>
	static TDelegate CreateRaw(const UserClass* Object, RetType (UserClass::*Method)(ParamTypes..., PayloadTypes...) const,
		typename TIdentity<PayloadTypes>::Type... Payload)
	{
		return TDelegate([Object, Method, Captured = TPayload<PayloadTypes...>(Payload...)](ParamTypes... Params) mutable -> RetType {
			return std::apply(
				[&](auto&... Values) -> RetType { return (Object->*Method)(std::forward<ParamTypes>(Params)..., Values...); }, Captured);
		});
	}
	/** The stand-in keeps no liveness record of objects: a UObject binding is a raw binding. */
	template <typename UserClass, typename MethodType, typename... PayloadTypes>
	static TDelegate CreateUObject(UserClass* Object, MethodType Method, PayloadTypes&&... Payload)
	{
		return CreateRaw(Object, Method, std::forward<PayloadTypes>(Payload)...);
	}
	template <typename UserClass, ESPMode Mode, typename MethodType, typename... PayloadTypes>
	static TDelegate CreateSP(const TSharedRef<UserClass, Mode>& Object, MethodType Method, PayloadTypes... Payload)
	{
		TWeakPtr<UserClass, Mode> Weak(Object);
		return TDelegate([Weak, Method, Captured = TPayload<PayloadTypes...>(Payload...)](ParamTypes... Params) mutable -> RetType {
			TSharedPtr<UserClass, Mode> Pinned = Weak.Pin();
			if constexpr (std::is_void_v<RetType>)
			{
				if (!Pinned)
				{
					return;
				}
			}
			else
			{
				check(Pinned.IsValid());
			}
			return std::apply(
				[&](auto&... Values) -> RetType { return (Pinned.Get()->*Method)(std::forward<ParamTypes>(Params)..., Values...); },
				Captured);
		});
	}
	template <typename FunctorType> static TDelegate CreateLambda(FunctorType&& Functor)
	{
		return TDelegate(FFunction(std::forward<FunctorType>(Functor)));
	}

	template <typename... ArgTypes> void BindStatic(ArgTypes&&... Args) { *this = CreateStatic(std::forward<ArgTypes>(Args)...); }
	template <typename... ArgTypes> void BindRaw(ArgTypes&&... Args) { *this = CreateRaw(std::forward<ArgTypes>(Args)...); }
	template <typename... ArgTypes> void BindUObject(ArgTypes&&... Args) { *this = CreateUObject(std::forward<ArgTypes>(Args)...); }
	template <typename... ArgTypes> void BindSP(ArgTypes&&... Args) { *this = CreateSP(std::forward<ArgTypes>(Args)...); }
	template <typename FunctorType> void BindLambda(FunctorType&& Functor) { *this = CreateLambda(std::forward<FunctorType>(Functor)); }

	bool IsBound() const { return static_cast<bool>(Function); }
	void Unbind() { Function = nullptr; }

	RetType Execute(ParamTypes... Params) const
	{
		check(IsBound());
		return Function(std::forward<ParamTypes>(Params)...);
	}
	/** Calls the binding when there is one; true when it was called. Only for delegates that return nothing. */
	template <typename ReturnType = RetType, typename = std::enable_if_t<std::is_void_v<ReturnType>>>
	bool ExecuteIfBound(ParamTypes... Params) const
	{
		if (!IsBound())
		{
			return false;
		}
		Function(std::forward<ParamTypes>(Params)...);
		return true;
	}

private:
	explicit TDelegate(FFunction InFunction)
		: Function(MoveTemp(InFunction))
	{
	}

	FFunction Function;
};

/**
 * Multicast notification. Like the engine's, it takes no lock: adding, removing and raising belong to one thread,
 * and a use from another thread is a data race (ThreadSanitizer reports it). A subscriber may add or remove
 * subscriptions (its own included) from inside the raise.
 */
template <typename FuncType> class TMulticastDelegate;

template <typename... ParamTypes> class TMulticastDelegate<void(ParamTypes...)>
{
public:
	using FDelegate = TDelegate<void(ParamTypes...)>;

	TMulticastDelegate() = default;
	TMulticastDelegate(const TMulticastDelegate&) = delete;
	TMulticastDelegate& operator=(const TMulticastDelegate&) = delete;

	FDelegateHandle Add(FDelegate Delegate)
	{
		const FDelegateHandle Handle(FDelegateHandle::GenerateNewHandle);
		Entries.push_back(FEntry{Handle, MoveTemp(Delegate), false});
		return Handle;
	}
	template <typename... ArgTypes> FDelegateHandle AddStatic(ArgTypes&&... Args)
	{
		return Add(FDelegate::CreateStatic(std::forward<ArgTypes>(Args)...));
	}
	template <typename... ArgTypes> FDelegateHandle AddRaw(ArgTypes&&... Args)
	{
		return Add(FDelegate::CreateRaw(std::forward<ArgTypes>(Args)...));
	}
	template <typename... ArgTypes> FDelegateHandle AddUObject(ArgTypes&&... Args)
	{
		return Add(FDelegate::CreateUObject(std::forward<ArgTypes>(Args)...));
	}
	template <typename... ArgTypes> FDelegateHandle AddSP(ArgTypes&&... Args)
	{
		return Add(FDelegate::CreateSP(std::forward<ArgTypes>(Args)...));
	}
	template <typename FunctorType> FDelegateHandle AddLambda(FunctorType&& Functor)
	{
		return Add(FDelegate::CreateLambda(std::forward<FunctorType>(Functor)));
	}

	/** True when a subscription with this handle existed; it is never called again once this returns. */
	bool Remove(FDelegateHandle Handle)
	{
		for (FEntry& Entry : Entries)
		{
			if (!Entry.bRemoved && Entry.Handle == Handle)
			{
				Entry.bRemoved = true;
				Compact();
				return true;
			}
		}
		return false;
	}
	void Clear()
	{
		for (FEntry& Entry : Entries)
		{
			Entry.bRemoved = true;
		}
		Compact();
	}
	bool IsBound() const
	{
		for (const FEntry& Entry : Entries)
		{
			if (!Entry.bRemoved)
			{
				return true;
			}
		}
		return false;
	}

	void Broadcast(ParamTypes... Params) const
	{
		++BroadcastDepth;
		// Index-based: subscribers added during the raise are not called by it, removed ones are skipped.
		const size_t Count = Entries.size();
		for (size_t Index = 0; Index < Count; ++Index)
		{
			if (!Entries[Index].bRemoved)
			{
				const FDelegate Delegate = Entries[Index].Delegate;
				Delegate.ExecuteIfBound(Params...);
			}
		}
		--BroadcastDepth;
		Compact();
	}

private:
	struct FEntry
	{
		FDelegateHandle Handle;
		FDelegate Delegate;
		bool bRemoved;
	};

	void Compact() const
	{
		if (BroadcastDepth == 0)
		{
			Entries.erase(
				std::remove_if(Entries.begin(), Entries.end(), [](const FEntry& Entry) { return Entry.bRemoved; }), Entries.end());
		}
	}

	mutable std::vector<FEntry> Entries;
	mutable int32 BroadcastDepth = 0;
};

using FSimpleDelegate = TDelegate<void()>;
using FSimpleMulticastDelegate = TMulticastDelegate<void()>;

#define DECLARE_DELEGATE(DelegateName) using DelegateName = TDelegate<void()>
#define DECLARE_DELEGATE_OneParam(DelegateName, Param1Type) using DelegateName = TDelegate<void(Param1Type)>
#define DECLARE_DELEGATE_TwoParams(DelegateName, Param1Type, Param2Type) using DelegateName = TDelegate<void(Param1Type, Param2Type)>
#define DECLARE_DELEGATE_RetVal(RetValType, DelegateName) using DelegateName = TDelegate<RetValType()>
#define DECLARE_DELEGATE_RetVal_OneParam(RetValType, DelegateName, Param1Type) using DelegateName = TDelegate<RetValType(Param1Type)>
#define DECLARE_MULTICAST_DELEGATE(DelegateName) using DelegateName = TMulticastDelegate<void()>
#define DECLARE_MULTICAST_DELEGATE_OneParam(DelegateName, Param1Type) using DelegateName = TMulticastDelegate<void(Param1Type)>
#define DECLARE_MULTICAST_DELEGATE_TwoParams(DelegateName, Param1Type, Param2Type)                                                         \
	using DelegateName = TMulticastDelegate<void(Param1Type, Param2Type)>
