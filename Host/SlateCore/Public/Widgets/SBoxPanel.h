// Stand-in for the engine's SBoxPanel.h: SVerticalBox and SHorizontalBox. No arrangement pass, no maximum sizes.
#pragma once

#include "Widgets/DeclarativeSyntaxSupport.h"
#include "Widgets/SWidget.h"

/** How a box slot takes its share of the panel's length. */
struct FSizeParam
{
	enum ESizeRule
	{
		/** As long as its content needs. */
		SizeRule_Auto,
		/** A share of the length left over, in proportion to its weight. */
		SizeRule_Stretch,
	};

	ESizeRule SizeRule = SizeRule_Stretch;
	/** The stretch weight; zero for SizeRule_Auto. */
	float Value = 1.0f;
};

/** The common part of the two box panels: a list of slots that share the panel's length. */
class SLATE_API SBoxPanel : public SWidget
{
public:
	/** A slot stretches with weight 1 and fills its cell until told otherwise. */
	class SLATE_API FSlot : public FSlotBase
	{
	public:
		explicit FSlot(EOrientation InOrientation)
			: Orientation(InOrientation)
		{
		}

		FSizeParam::ESizeRule GetSizeRule() const { return SizeParam.SizeRule; }
		/** The stretch weight; zero for an automatically sized slot. */
		float GetSizeValue() const { return SizeParam.Value; }

		virtual FString DescribeLayout() const override;

	protected:
		FSizeParam SizeParam;

	private:
		EOrientation Orientation;
	};

	virtual FChildren* GetChildren() override { return &Children; }

	int32 NumSlots() const { return Children.Num(); }
	EOrientation GetOrientation() const { return Orientation; }
	/** Removes every slot; the widgets they held are released. */
	void ClearChildren();

protected:
	explicit SBoxPanel(EOrientation InOrientation);

	// The slot handling of both boxes, which differ only in their slot type.
	template <typename SlotType> void AddSlots(const TArray<TSharedRef<SlotType>>& Slots);
	template <typename SlotType> SlotType& AddNewSlot();
	template <typename SlotType> SlotType& GetSlotAs(int32 SlotIndex);
	template <typename SlotType> const SlotType& GetSlotAs(int32 SlotIndex) const;

	TPanelChildren<FSlot> Children;

private:
	EOrientation Orientation;
};

/** Children one above the other. */
class SLATE_API SVerticalBox : public SBoxPanel
{
public:
	class SLATE_API FSlot : public TSlotBase<SVerticalBox::FSlot, SBoxPanel::FSlot>
	{
	public:
		FSlot()
			: TSlotBase(Orient_Vertical)
		{
		}

		/** As tall as the content needs. */
		FSlot& AutoHeight();
		/** A share of the height left over by the automatically sized slots, in proportion to the weight. */
		FSlot& FillHeight(float StretchCoefficient);
	};

	/** A new slot for a declaration: + SVerticalBox::Slot().AutoHeight()[ ... ]. */
	static FSlot Slot() { return FSlot(); }

	// clang-format off
	SLATE_BEGIN_ARGS(SVerticalBox) {}
		SLATE_SUPPORTS_SLOT(SVerticalBox::FSlot)
	SLATE_END_ARGS()
	// clang-format on

	SVerticalBox();
	void Construct(const FArguments& InArgs);

	/** Appends an empty slot, for code that fills the list after construction. */
	FSlot& AddSlot();
	FSlot& GetSlot(int32 SlotIndex);
	const FSlot& GetSlot(int32 SlotIndex) const;
};

/** Children side by side, left to right. */
class SLATE_API SHorizontalBox : public SBoxPanel
{
public:
	class SLATE_API FSlot : public TSlotBase<SHorizontalBox::FSlot, SBoxPanel::FSlot>
	{
	public:
		FSlot()
			: TSlotBase(Orient_Horizontal)
		{
		}

		/** As wide as the content needs. */
		FSlot& AutoWidth();
		/** A share of the width left over by the automatically sized slots, in proportion to the weight. */
		FSlot& FillWidth(float StretchCoefficient);
	};

	/** A new slot for a declaration: + SHorizontalBox::Slot().FillWidth(0.5f)[ ... ]. */
	static FSlot Slot() { return FSlot(); }

	// clang-format off
	SLATE_BEGIN_ARGS(SHorizontalBox) {}
		SLATE_SUPPORTS_SLOT(SHorizontalBox::FSlot)
	SLATE_END_ARGS()
	// clang-format on

	SHorizontalBox();
	void Construct(const FArguments& InArgs);

	/** Appends an empty slot, for code that fills the list after construction. */
	FSlot& AddSlot();
	FSlot& GetSlot(int32 SlotIndex);
	const FSlot& GetSlot(int32 SlotIndex) const;
};
