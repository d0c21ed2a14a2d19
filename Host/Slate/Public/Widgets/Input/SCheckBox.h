// Stand-in for the engine's SCheckBox: a two- or three-state box with content. No styles or radio behaviour.
#pragma once

#include "Framework/SlateDelegates.h"
#include "Styling/SlateTypes.h"
#include "Widgets/SCompoundWidget.h"

/**
 * Made without a state, a box is Unchecked. A click moves Checked to Unchecked and anything else to Checked, then
 * raises OnCheckStateChanged; a state bound to a getter is left to the getter, the event is still raised.
 */
class SLATE_API SCheckBox : public SCompoundWidget
{
public:
	// clang-format off
	SLATE_BEGIN_ARGS(SCheckBox) : _IsChecked(ECheckBoxState::Unchecked), _IsFocusable(true) {}
		SLATE_DEFAULT_SLOT(FArguments, Content)
		SLATE_ATTRIBUTE(ECheckBoxState, IsChecked)
		/** As in the engine, a box takes keyboard focus when pressed unless told not to. */
		SLATE_ARGUMENT(bool, IsFocusable)
		SLATE_EVENT(FOnCheckStateChanged, OnCheckStateChanged)
	SLATE_END_ARGS()
	// clang-format on

	SCheckBox();
	void Construct(const FArguments& InArgs);

	/** True only for Checked; Undetermined is not checked. */
	bool IsChecked() const { return GetCheckedState() == ECheckBoxState::Checked; }
	ECheckBoxState GetCheckedState() const { return IsCheckboxChecked.Get(); }
	/** Sets the state as code does: no event is raised. */
	void SetIsChecked(const TAttribute<ECheckBoxState>& InIsChecked);
	/** What a click does. */
	void ToggleCheckedState();

	void SetContent(const TSharedRef<SWidget>& InContent);

	virtual FString DescribeState() const override;
	virtual bool SupportsKeyboardFocus() const override { return bIsFocusable; }

private:
	TAttribute<ECheckBoxState> IsCheckboxChecked;
	FOnCheckStateChanged OnCheckStateChanged;
	bool bIsFocusable = true;
};
