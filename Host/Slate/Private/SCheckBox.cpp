#include "Widgets/Input/SCheckBox.h"

SCheckBox::SCheckBox() = default;

void SCheckBox::Construct(const FArguments& InArgs)
{
	IsCheckboxChecked = InArgs._IsChecked;
	OnCheckStateChanged = InArgs._OnCheckStateChanged;
	bIsFocusable = InArgs._IsFocusable;
	ChildSlot[InArgs._Content.Widget];
}

void SCheckBox::SetIsChecked(const TAttribute<ECheckBoxState>& InIsChecked)
{
	CheckOwningThread();
	IsCheckboxChecked = InIsChecked;
}

void SCheckBox::ToggleCheckedState()
{
	CheckOwningThread();
	const ECheckBoxState NewState = IsChecked() ? ECheckBoxState::Unchecked : ECheckBoxState::Checked;
	if (!IsCheckboxChecked.IsBound())
	{
		IsCheckboxChecked.Set(NewState);
	}
	OnCheckStateChanged.ExecuteIfBound(NewState);
}

void SCheckBox::SetContent(const TSharedRef<SWidget>& InContent)
{
	CheckOwningThread();
	ChildSlot[InContent];
}

FString SCheckBox::DescribeState() const
{
	switch (GetCheckedState())
	{
	case ECheckBoxState::Unchecked:
		return TEXT("Unchecked");
	case ECheckBoxState::Checked:
		return TEXT("Checked");
	case ECheckBoxState::Undetermined:
		return TEXT("Undetermined");
	}
	return TEXT("Unknown");
}
