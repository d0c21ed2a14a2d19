// Stand-in for the engine's FSlotBase and TSlotBase: one child with alignment and padding. No invalidation.
#pragma once

#include "CoreMinimal.h"
#include "Layout/Margin.h"
#include "SlateGlobals.h"
#include "Types/SlateEnums.h"
#include "Widgets/SNullWidget.h"

class SWidget;

/** Owns its widget. A slot nobody filled holds SNullWidget::NullWidget, never null. */
class SLATE_API FSlotBase
{
public:
	FSlotBase();
	FSlotBase(const FSlotBase&) = default;
	FSlotBase& operator=(const FSlotBase&) = default;
	virtual ~FSlotBase();

	const TSharedRef<SWidget>& GetWidget() const { return Widget; }
	void AttachWidget(const TSharedRef<SWidget>& InWidget) { Widget = InWidget; }
	/** Empties the slot and hands its widget back. */
	TSharedRef<SWidget> DetachWidget();

	EHorizontalAlignment GetHorizontalAlignment() const { return HAlignment; }
	EVerticalAlignment GetVerticalAlignment() const { return VAlignment; }
	const FMargin& GetPadding() const { return SlotPadding; }

	/** The layout numbers that differ from the defaults, as text for a terminal ("HAlign_Left Padding=(2,0,2,0)"). */
	virtual FString DescribeLayout() const;

protected:
	EHorizontalAlignment HAlignment = HAlign_Fill;
	EVerticalAlignment VAlignment = VAlign_Fill;
	FMargin SlotPadding;

private:
	TSharedRef<SWidget> Widget;
};

/** The declarative setters of a slot; each returns the concrete slot, so calls chain: Slot().HAlign(...)[ ... ]. */
template <class SlotType, class BaseType = FSlotBase> class TSlotBase : public BaseType
{
public:
	using BaseType::BaseType;

	SlotType& operator[](const TSharedRef<SWidget>& InWidget)
	{
		this->AttachWidget(InWidget);
		return Me();
	}
	SlotType& HAlign(EHorizontalAlignment InAlignment)
	{
		this->HAlignment = InAlignment;
		return Me();
	}
	SlotType& VAlign(EVerticalAlignment InAlignment)
	{
		this->VAlignment = InAlignment;
		return Me();
	}
	SlotType& Padding(const FMargin& InPadding)
	{
		this->SlotPadding = InPadding;
		return Me();
	}
	SlotType& Padding(float Horizontal, float Vertical) { return Padding(FMargin(Horizontal, Vertical)); }
	SlotType& Padding(float Left, float Top, float Right, float Bottom) { return Padding(FMargin(Left, Top, Right, Bottom)); }

private:
	SlotType& Me() { return static_cast<SlotType&>(*this); }
};
