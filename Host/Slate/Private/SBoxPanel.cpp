#include "Widgets/SBoxPanel.h"

#include "SlateLayoutText.h"

FString SBoxPanel::FSlot::DescribeLayout() const
{
	const bool bVertical = Orientation == Orient_Vertical;
	FString Out;
	if (SizeParam.SizeRule == FSizeParam::SizeRule_Auto)
	{
		Out = bVertical ? TEXT("AutoHeight") : TEXT("AutoWidth");
	}
	else
	{
		Out = FString(bVertical ? TEXT("FillHeight=") : TEXT("FillWidth="));
		Out += SlateLayoutText::FromNumber(SizeParam.Value);
	}
	SlateLayoutText::AppendItem(Out, FSlotBase::DescribeLayout());
	return Out;
}

SBoxPanel::SBoxPanel(EOrientation InOrientation)
	: Orientation(InOrientation)
{
}

void SBoxPanel::ClearChildren()
{
	CheckOwningThread();
	Children.Empty();
}

template <typename SlotType> void SBoxPanel::AddSlots(const TArray<TSharedRef<SlotType>>& Slots)
{
	for (const TSharedRef<SlotType>& Slot : Slots)
	{
		Children.Add(Slot);
	}
}

template <typename SlotType> SlotType& SBoxPanel::AddNewSlot()
{
	CheckOwningThread();
	const TSharedRef<SlotType> NewSlot = MakeShared<SlotType>();
	Children.Add(NewSlot);
	return *NewSlot;
}

template <typename SlotType> SlotType& SBoxPanel::GetSlotAs(int32 SlotIndex)
{
	return static_cast<SlotType&>(Children[SlotIndex]);
}

template <typename SlotType> const SlotType& SBoxPanel::GetSlotAs(int32 SlotIndex) const
{
	return static_cast<const SlotType&>(Children[SlotIndex]);
}

SVerticalBox::FSlot& SVerticalBox::FSlot::AutoHeight()
{
	SizeParam = FSizeParam{FSizeParam::SizeRule_Auto, 0.0f};
	return *this;
}

SVerticalBox::FSlot& SVerticalBox::FSlot::FillHeight(float StretchCoefficient)
{
	SizeParam = FSizeParam{FSizeParam::SizeRule_Stretch, StretchCoefficient};
	return *this;
}

SVerticalBox::SVerticalBox()
	: SBoxPanel(Orient_Vertical)
{
}

void SVerticalBox::Construct(const FArguments& InArgs)
{
	AddSlots(InArgs.Slots);
}

SVerticalBox::FSlot& SVerticalBox::AddSlot()
{
	return AddNewSlot<FSlot>();
}

SVerticalBox::FSlot& SVerticalBox::GetSlot(int32 SlotIndex)
{
	return GetSlotAs<FSlot>(SlotIndex);
}

const SVerticalBox::FSlot& SVerticalBox::GetSlot(int32 SlotIndex) const
{
	return GetSlotAs<FSlot>(SlotIndex);
}

SHorizontalBox::FSlot& SHorizontalBox::FSlot::AutoWidth()
{
	SizeParam = FSizeParam{FSizeParam::SizeRule_Auto, 0.0f};
	return *this;
}

SHorizontalBox::FSlot& SHorizontalBox::FSlot::FillWidth(float StretchCoefficient)
{
	SizeParam = FSizeParam{FSizeParam::SizeRule_Stretch, StretchCoefficient};
	return *this;
}

SHorizontalBox::SHorizontalBox()
	: SBoxPanel(Orient_Horizontal)
{
}

void SHorizontalBox::Construct(const FArguments& InArgs)
{
	AddSlots(InArgs.Slots);
}

SHorizontalBox::FSlot& SHorizontalBox::AddSlot()
{
	return AddNewSlot<FSlot>();
}

SHorizontalBox::FSlot& SHorizontalBox::GetSlot(int32 SlotIndex)
{
	return GetSlotAs<FSlot>(SlotIndex);
}

const SHorizontalBox::FSlot& SHorizontalBox::GetSlot(int32 SlotIndex) const
{
	return GetSlotAs<FSlot>(SlotIndex);
}
