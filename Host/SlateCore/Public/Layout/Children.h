// Stand-in for the engine's FChildren family: how a widget exposes its slots. No reordering or invalidation.
#pragma once

#include "CoreMinimal.h"
#include "SlateGlobals.h"
#include "SlotBase.h"

class SWidget;

/** The children of one widget, in layout order. Every child sits in a slot; an empty slot holds the null widget. */
class SLATE_API FChildren
{
public:
	virtual ~FChildren();

	virtual int32 Num() const = 0;
	virtual TSharedRef<SWidget> GetChildAt(int32 Index) = 0;
	virtual const FSlotBase& GetSlotAt(int32 Index) const = 0;
};

/** The children of a leaf widget: none. */
class SLATE_API FNoChildren : public FChildren
{
public:
	virtual int32 Num() const override { return 0; }
	virtual TSharedRef<SWidget> GetChildAt(int32 Index) override;
	virtual const FSlotBase& GetSlotAt(int32 Index) const override;
};

/** One content slot with alignment and padding: the content of compound widgets, boxes, buttons and check boxes. */
class SLATE_API FSimpleSlot : public TSlotBase<FSimpleSlot>, public FChildren
{
public:
	FSimpleSlot() = default;
	FSimpleSlot(const FSimpleSlot&) = delete;
	FSimpleSlot& operator=(const FSimpleSlot&) = delete;

	//~ Begin FChildren interface
	virtual int32 Num() const override { return 1; }
	virtual TSharedRef<SWidget> GetChildAt(int32 Index) override;
	virtual const FSlotBase& GetSlotAt(int32 Index) const override;
	//~ End FChildren interface
};

/** The slots of a panel. Slots are shared so that a slot keeps its address while others are added. */
template <class SlotType> class TPanelChildren : public FChildren
{
public:
	//~ Begin FChildren interface
	virtual int32 Num() const override { return Slots.Num(); }
	virtual TSharedRef<SWidget> GetChildAt(int32 Index) override { return Slots[Index]->GetWidget(); }
	virtual const FSlotBase& GetSlotAt(int32 Index) const override { return *Slots[Index]; }
	//~ End FChildren interface

	int32 Add(const TSharedRef<SlotType>& InSlot) { return Slots.Add(InSlot); }
	void Empty() { Slots.Empty(); }
	SlotType& operator[](int32 Index) { return *Slots[Index]; }
	const SlotType& operator[](int32 Index) const { return *Slots[Index]; }

private:
	TArray<TSharedRef<SlotType>> Slots;
};
