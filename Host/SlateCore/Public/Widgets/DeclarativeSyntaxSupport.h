// Stand-in for the engine's declarative syntax: SNew, SAssignNew, SLATE_* macros. No base named args, no slot Expose.
#pragma once

#include "CoreMinimal.h"
#include "Misc/Attribute.h"
#include "SlateGlobals.h"
#include "Widgets/SNullWidget.h"
#include "Widgets/SWidget.h"

#include <tuple>
#include <type_traits>

/** The widget of a declared slot; the null widget when the declaration leaves the slot empty. */
struct TAlwaysValidWidget
{
	TSharedRef<SWidget> Widget = SNullWidget::NullWidget;
};

/** What a named slot argument returns, so that a declaration can say .Content()[ SNew(...) ]. */
template <class DeclarationType> struct TNamedSlotProperty
{
	TNamedSlotProperty(DeclarationType& InOwnerDeclaration, TAlwaysValidWidget& InSlotContent)
		: OwnerDeclaration(InOwnerDeclaration)
		, SlotContent(InSlotContent)
	{
	}

	DeclarationType& operator[](const TSharedRef<SWidget>& InChild)
	{
		SlotContent.Widget = InChild;
		return OwnerDeclaration;
	}

	DeclarationType& OwnerDeclaration;
	TAlwaysValidWidget& SlotContent;
};

namespace TavrixDetail
{
/** Widgets are the objects with AsShared: a binding holds them weakly. */
template <class UserClass, typename = void> inline constexpr bool bHasAsShared = false;
template <class UserClass>
inline constexpr bool bHasAsShared<UserClass, std::void_t<decltype(std::declval<UserClass*>()->AsShared())>> = true;

/** Replies (FReply) say Unhandled when their handler is gone. */
template <typename RetType, typename = void> inline constexpr bool bHasUnhandled = false;
template <typename RetType> inline constexpr bool bHasUnhandled<RetType, std::void_t<decltype(RetType::Unhandled())>> = true;
} // namespace TavrixDetail

template <typename DelegateType> struct TSlateEventBinding;

/**
 * How a declaration binds an event or an attribute getter to a method of an object. A widget (anything with AsShared)
 * is held weakly, as the engine's SP binding does, so a child's event never keeps its parent alive; once the widget is
 * gone the binding does nothing and answers Unhandled, or a default value. Any other object is bound raw.
 */
template <typename RetType, typename... ParamTypes> struct TSlateEventBinding<TDelegate<RetType(ParamTypes...)>>
{
	using FDelegate = TDelegate<RetType(ParamTypes...)>;

	template <class UserClass, typename... VarTypes> using TMethodPtr = RetType (UserClass::*)(ParamTypes..., VarTypes...);
	template <class UserClass, typename... VarTypes> using TConstMethodPtr = RetType (UserClass::*)(ParamTypes..., VarTypes...) const;
	template <typename... VarTypes> using TFunctionPtr = RetType (*)(ParamTypes..., VarTypes...);

	template <class UserClass, typename MethodType, typename... VarTypes>
	static FDelegate BindObject(UserClass* InUserObject, MethodType InMethod, VarTypes... Vars)
	{
		if constexpr (TavrixDetail::bHasAsShared<UserClass>)
		{
			return BindWeak(InUserObject->AsShared().ToWeakPtr(), InUserObject, InMethod, Vars...);
		}
		else
		{
			return FDelegate::CreateRaw(InUserObject, InMethod, Vars...);
		}
	}

	template <class UserClass, ESPMode Mode, typename MethodType, typename... VarTypes>
	static FDelegate BindShared(const TSharedRef<UserClass, Mode>& InUserObject, MethodType InMethod, VarTypes... Vars)
	{
		return BindWeak(InUserObject.ToWeakPtr(), &InUserObject.Get(), InMethod, Vars...);
	}

private:
	template <class WeakType, class UserClass, typename MethodType, typename... VarTypes>
	static FDelegate BindWeak(WeakType InWeakObject, UserClass* InUserObject, MethodType InMethod, VarTypes... Vars)
	{
		return FDelegate::CreateLambda(
			[InWeakObject, InUserObject, InMethod, Captured = std::tuple<VarTypes...>(Vars...)](ParamTypes... Params) mutable -> RetType {
				// Held for the duration of the call: the handler may release the last outside reference to its widget.
				const auto Pinned = InWeakObject.Pin();
				if (!Pinned.IsValid())
				{
					return GetExpiredResult();
				}
				return std::apply(
					[&](auto&... Values) -> RetType { return (InUserObject->*InMethod)(std::forward<ParamTypes>(Params)..., Values...); },
					Captured);
			});
	}

	static RetType GetExpiredResult()
	{
		if constexpr (std::is_void_v<RetType>)
		{
			return;
		}
		else if constexpr (TavrixDetail::bHasUnhandled<RetType>)
		{
			return RetType::Unhandled();
		}
		else
		{
			return RetType();
		}
	}
};

/** The binding of an attribute's getter. */
template <typename AttrType> using TSlateAttributeBinding = TSlateEventBinding<typename TAttribute<AttrType>::FGetter>;

/**
 * One declaration in flight: SNew makes the widget in shared ownership first, so that Construct may already hand out
 * shared references to it (and bind its own methods), then runs Construct with the arguments.
 */
template <class WidgetType, class... RequiredArgTypes> class TDecl
{
public:
	TDecl(const ANSICHAR* InType, const ANSICHAR* InFile, int32 OnLine, RequiredArgTypes&&... InRequiredArgs)
		: Widget(MakeShared<WidgetType>())
		, RequiredArgs(std::forward<RequiredArgTypes>(InRequiredArgs)...)
	{
		Widget->SetDebugInfo(InType, InFile, OnLine);
	}

	template <class ExposeAsWidgetType, ESPMode Mode> TDecl& Expose(TSharedPtr<ExposeAsWidgetType, Mode>& OutVarToInit)
	{
		OutVarToInit = Widget;
		return *this;
	}
	template <class ExposeAsWidgetType, ESPMode Mode> TDecl& Expose(TSharedRef<ExposeAsWidgetType, Mode>& OutVarToInit)
	{
		OutVarToInit = Widget;
		return *this;
	}
	template <class ExposeAsWidgetType, ESPMode Mode> TDecl& Expose(TWeakPtr<ExposeAsWidgetType, Mode>& OutVarToInit)
	{
		OutVarToInit = Widget;
		return *this;
	}

	TSharedRef<WidgetType> operator<<=(const typename WidgetType::FArguments& InArgs)
	{
		std::apply(
			[this, &InArgs](auto&&... Args) { Widget->Construct(InArgs, std::forward<decltype(Args)>(Args)...); }, MoveTemp(RequiredArgs));
		return Widget;
	}

private:
	TSharedRef<WidgetType> Widget;
	/** References to the extra Construct arguments of SNew; they live until the end of the declaring expression. */
	std::tuple<RequiredArgTypes&&...> RequiredArgs;
};

template <class WidgetType, class... RequiredArgTypes>
TDecl<WidgetType, RequiredArgTypes...> MakeTDecl(
	const ANSICHAR* InType, const ANSICHAR* InFile, int32 OnLine, RequiredArgTypes&&... InRequiredArgs)
{
	return TDecl<WidgetType, RequiredArgTypes...>(InType, InFile, OnLine, std::forward<RequiredArgTypes>(InRequiredArgs)...);
}

/**
 * SNew(SBox) passes nothing for a "..." after the widget type, which ISO C++17 does not allow, and __VA_OPT__ is
 * C++20: the type and its extra Construct arguments (up to seven) travel as one list, and its length picks the form.
 */
#define TAVRIX_SLATE_CONCAT(A, B) TAVRIX_SLATE_CONCAT_INNER(A, B)
#define TAVRIX_SLATE_CONCAT_INNER(A, B) A##B
#define TAVRIX_SLATE_ARITY(...) TAVRIX_SLATE_NINTH(__VA_ARGS__, MORE, MORE, MORE, MORE, MORE, MORE, MORE, ONE, ~)
#define TAVRIX_SLATE_NINTH(A1, A2, A3, A4, A5, A6, A7, A8, A9, ...) A9
#define TAVRIX_SLATE_DECL(...) TAVRIX_SLATE_CONCAT(TAVRIX_SLATE_DECL_, TAVRIX_SLATE_ARITY(__VA_ARGS__))(__VA_ARGS__)
#define TAVRIX_SLATE_DECL_ONE(WidgetType) MakeTDecl<WidgetType>(#WidgetType, __FILE__, __LINE__)
#define TAVRIX_SLATE_DECL_MORE(WidgetType, ...) MakeTDecl<WidgetType>(#WidgetType, __FILE__, __LINE__, __VA_ARGS__)
#define TAVRIX_SLATE_TYPE(WidgetType, ...) WidgetType

/** Declares a widget: SNew(SButton).OnClicked(...)[ ... ]. Extra arguments go to Construct after the FArguments. */
#define SNew(...) TAVRIX_SLATE_DECL(__VA_ARGS__) <<= TAVRIX_SLATE_TYPE(__VA_ARGS__, ~)::FArguments()

/** Declares a widget and stores it in a TSharedPtr, TSharedRef or TWeakPtr before it is constructed. */
#define SAssignNew(ExposeAs, ...) TAVRIX_SLATE_DECL(__VA_ARGS__).Expose(ExposeAs) <<= TAVRIX_SLATE_TYPE(__VA_ARGS__, ~)::FArguments()

#define SLATE_BEGIN_ARGS(WidgetType)                                                                                                       \
public:                                                                                                                                    \
	struct FArguments                                                                                                                      \
	{                                                                                                                                      \
		using WidgetArgsType = FArguments;                                                                                                 \
		FArguments()

#define SLATE_END_ARGS()                                                                                                                   \
	}                                                                                                                                      \
	;

/** A plain construction argument, copied into the arguments. */
#define SLATE_ARGUMENT(ArgType, ArgName)                                                                                                   \
	WidgetArgsType& ArgName(ArgType InArgument)                                                                                            \
	{                                                                                                                                      \
		_##ArgName = InArgument;                                                                                                           \
		return *this;                                                                                                                      \
	}                                                                                                                                      \
	ArgType _##ArgName;

/** An argument that is a fixed value or a getter read whenever the widget needs it. */
#define SLATE_ATTRIBUTE(AttrType, AttrName)                                                                                                \
	WidgetArgsType& AttrName(const TAttribute<AttrType>& InAttribute)                                                                      \
	{                                                                                                                                      \
		_##AttrName = InAttribute;                                                                                                         \
		return *this;                                                                                                                      \
	}                                                                                                                                      \
	template <class UserClass, typename... VarTypes>                                                                                       \
	WidgetArgsType& AttrName(UserClass* InUserObject,                                                                                      \
		typename TSlateAttributeBinding<AttrType>::template TConstMethodPtr<UserClass, VarTypes...> InMethod, VarTypes... Vars)            \
	{                                                                                                                                      \
		_##AttrName = TAttribute<AttrType>::Create(TSlateAttributeBinding<AttrType>::BindObject(InUserObject, InMethod, Vars...));         \
		return *this;                                                                                                                      \
	}                                                                                                                                      \
	template <class UserClass, typename... VarTypes>                                                                                       \
	WidgetArgsType& AttrName(UserClass* InUserObject,                                                                                      \
		typename TSlateAttributeBinding<AttrType>::template TMethodPtr<UserClass, VarTypes...> InMethod, VarTypes... Vars)                 \
	{                                                                                                                                      \
		_##AttrName = TAttribute<AttrType>::Create(TSlateAttributeBinding<AttrType>::BindObject(InUserObject, InMethod, Vars...));         \
		return *this;                                                                                                                      \
	}                                                                                                                                      \
	template <typename FunctorType> WidgetArgsType& AttrName##_Lambda(FunctorType&& InFunctor)                                             \
	{                                                                                                                                      \
		_##AttrName = TAttribute<AttrType>::CreateLambda(std::forward<FunctorType>(InFunctor));                                            \
		return *this;                                                                                                                      \
	}                                                                                                                                      \
	TAttribute<AttrType> _##AttrName;

/**
 * An event: a delegate object, a method of this widget (held weakly), a method of a shared object, or the explicit
 * _Raw, _UObject, _Lambda and _Static forms. Extra trailing values are carried by the binding as payload.
 */
#define SLATE_EVENT(DelegateName, EventName)                                                                                               \
	WidgetArgsType& EventName(const DelegateName& InDelegate)                                                                              \
	{                                                                                                                                      \
		_##EventName = InDelegate;                                                                                                         \
		return *this;                                                                                                                      \
	}                                                                                                                                      \
	template <class UserClass, typename... VarTypes>                                                                                       \
	WidgetArgsType& EventName(UserClass* InUserObject,                                                                                     \
		typename TSlateEventBinding<DelegateName>::template TMethodPtr<UserClass, VarTypes...> InMethod, VarTypes... Vars)                 \
	{                                                                                                                                      \
		_##EventName = TSlateEventBinding<DelegateName>::BindObject(InUserObject, InMethod, Vars...);                                      \
		return *this;                                                                                                                      \
	}                                                                                                                                      \
	template <class UserClass, typename... VarTypes>                                                                                       \
	WidgetArgsType& EventName(UserClass* InUserObject,                                                                                     \
		typename TSlateEventBinding<DelegateName>::template TConstMethodPtr<UserClass, VarTypes...> InMethod, VarTypes... Vars)            \
	{                                                                                                                                      \
		_##EventName = TSlateEventBinding<DelegateName>::BindObject(InUserObject, InMethod, Vars...);                                      \
		return *this;                                                                                                                      \
	}                                                                                                                                      \
	template <class UserClass, ESPMode Mode, typename... VarTypes>                                                                         \
	WidgetArgsType& EventName(const TSharedRef<UserClass, Mode>& InUserObject,                                                             \
		typename TSlateEventBinding<DelegateName>::template TMethodPtr<UserClass, VarTypes...> InMethod, VarTypes... Vars)                 \
	{                                                                                                                                      \
		_##EventName = TSlateEventBinding<DelegateName>::BindShared(InUserObject, InMethod, Vars...);                                      \
		return *this;                                                                                                                      \
	}                                                                                                                                      \
	template <class UserClass, ESPMode Mode, typename... VarTypes>                                                                         \
	WidgetArgsType& EventName(const TSharedRef<UserClass, Mode>& InUserObject,                                                             \
		typename TSlateEventBinding<DelegateName>::template TConstMethodPtr<UserClass, VarTypes...> InMethod, VarTypes... Vars)            \
	{                                                                                                                                      \
		_##EventName = TSlateEventBinding<DelegateName>::BindShared(InUserObject, InMethod, Vars...);                                      \
		return *this;                                                                                                                      \
	}                                                                                                                                      \
	template <class UserClass, typename... VarTypes>                                                                                       \
	WidgetArgsType& EventName##_Raw(UserClass* InUserObject,                                                                               \
		typename TSlateEventBinding<DelegateName>::template TMethodPtr<UserClass, VarTypes...> InMethod, VarTypes... Vars)                 \
	{                                                                                                                                      \
		_##EventName = DelegateName::CreateRaw(InUserObject, InMethod, Vars...);                                                           \
		return *this;                                                                                                                      \
	}                                                                                                                                      \
	template <class UserClass, typename... VarTypes>                                                                                       \
	WidgetArgsType& EventName##_UObject(UserClass* InUserObject,                                                                           \
		typename TSlateEventBinding<DelegateName>::template TMethodPtr<UserClass, VarTypes...> InMethod, VarTypes... Vars)                 \
	{                                                                                                                                      \
		_##EventName = DelegateName::CreateUObject(InUserObject, InMethod, Vars...);                                                       \
		return *this;                                                                                                                      \
	}                                                                                                                                      \
	template <typename FunctorType> WidgetArgsType& EventName##_Lambda(FunctorType&& InFunctor)                                            \
	{                                                                                                                                      \
		_##EventName = DelegateName::CreateLambda(std::forward<FunctorType>(InFunctor));                                                   \
		return *this;                                                                                                                      \
	}                                                                                                                                      \
	template <typename... VarTypes>                                                                                                        \
	WidgetArgsType& EventName##_Static(                                                                                                    \
		typename TSlateEventBinding<DelegateName>::template TFunctionPtr<VarTypes...> InFunction, VarTypes... Vars)                        \
	{                                                                                                                                      \
		_##EventName = DelegateName::CreateStatic(InFunction, Vars...);                                                                    \
		return *this;                                                                                                                      \
	}                                                                                                                                      \
	DelegateName _##EventName;

/** A slot argument by name: .Content()[ SNew(...) ]. */
#define SLATE_NAMED_SLOT(DeclarationType, SlotName)                                                                                        \
	TNamedSlotProperty<DeclarationType> SlotName()                                                                                         \
	{                                                                                                                                      \
		return TNamedSlotProperty<DeclarationType>(*this, _##SlotName);                                                                    \
	}                                                                                                                                      \
	TAlwaysValidWidget _##SlotName;

/** The slot that brackets fill: SNew(SBox)[ SNew(...) ]. */
#define SLATE_DEFAULT_SLOT(DeclarationType, SlotName)                                                                                      \
	SLATE_NAMED_SLOT(DeclarationType, SlotName)                                                                                            \
	DeclarationType& operator[](const TSharedRef<SWidget>& InChild)                                                                        \
	{                                                                                                                                      \
		_##SlotName.Widget = InChild;                                                                                                      \
		return *this;                                                                                                                      \
	}

/** The slots a panel declaration collects: SNew(SVerticalBox) + SVerticalBox::Slot()[ ... ]. */
#define SLATE_SUPPORTS_SLOT(SlotType)                                                                                                      \
	TArray<TSharedRef<SlotType>> Slots;                                                                                                    \
	WidgetArgsType& operator+(SlotType& InSlotToAdd)                                                                                       \
	{                                                                                                                                      \
		Slots.Add(MakeShared<SlotType>(MoveTemp(InSlotToAdd)));                                                                            \
		return *this;                                                                                                                      \
	}                                                                                                                                      \
	WidgetArgsType& operator+(SlotType&& InSlotToAdd)                                                                                      \
	{                                                                                                                                      \
		Slots.Add(MakeShared<SlotType>(MoveTemp(InSlotToAdd)));                                                                            \
		return *this;                                                                                                                      \
	}
