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
	for (const TSharedRef<FSlot>& Slot : InArgs.Slots)
	{
		Children.Add(Slot);
	}
}

SVerticalBox::FSlot& SVerticalBox::AddSlot()
{
	CheckOwningThread();
	const TSharedRef<FSlot> NewSlot = MakeShared<FSlot>();
	Children.Add(NewSlot);
	return *NewSlot;
}

SVerticalBox::FSlot& SVerticalBox::GetSlot(int32 SlotIndex)
{
	return static_cast<FSlot&>(Children[SlotIndex]);
}

const SVerticalBox::FSlot& SVerticalBox::GetSlot(int32 SlotIndex) const
{
	return static_cast<const FSlot&>(Children[SlotIndex]);
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
	for (const TSharedRef<FSlot>& Slot : InArgs.Slots)
	{
		Children.Add(Slot);
	}
}

SHorizontalBox::FSlot& SHorizontalBox::AddSlot()
{
	CheckOwningThread();
	const TSharedRef<FSlot> NewSlot = MakeShared<FSlot>();
	Children.Add(NewSlot);
	return *NewSlot;
}

SHorizontalBox::FSlot& SHorizontalBox::GetSlot(int32 SlotIndex)
{
	return static_cast<FSlot&>(Children[SlotIndex]);
}

const SHorizontalBox::FSlot& SHorizontalBox::GetSlot(int32 SlotIndex) const
{
	return static_cast<const FSlot&>(Children[SlotIndex]);
}
