// Stand-in for the engine's SButton: clickable content raising OnClicked. No press or hover states, sounds, styles.
#pragma once

#include "Framework/SlateDelegates.h"
#include "Widgets/SCompoundWidget.h"

class FSlateUser;

class SLATE_API SButton : public SCompoundWidget
{
public:
	// clang-format off
	SLATE_BEGIN_ARGS(SButton) : _HAlign(HAlign_Fill), _VAlign(VAlign_Fill), _ContentPadding(FMargin()), _IsFocusable(true) {}
		SLATE_DEFAULT_SLOT(FArguments, Content)
		/** Shown as the button's content when the declaration gives no content of its own. */
		SLATE_ATTRIBUTE(FText, Text)
		SLATE_ARGUMENT(EHorizontalAlignment, HAlign)
		SLATE_ARGUMENT(EVerticalAlignment, VAlign)
		SLATE_ARGUMENT(FMargin, ContentPadding)
		/** As in the engine, a button takes keyboard focus when pressed unless told not to. */
		SLATE_ARGUMENT(bool, IsFocusable)
		SLATE_EVENT(FOnClicked, OnClicked)
	SLATE_END_ARGS()
	// clang-format on

	SButton();
	void Construct(const FArguments& InArgs);

	void SetContent(const TSharedRef<SWidget>& InContent);
	void SetOnClicked(const FOnClicked& InOnClicked) { OnClicked = InOnClicked; }
	/** A click from code: the click handler runs, the keyboard focus stays where it is. */
	void SimulateClick();

	virtual bool SupportsKeyboardFocus() const override { return bIsFocusable; }

private:
	friend class FSlateUser;

	/** The click handler's reply; Unhandled when no handler is bound. */
	FReply ExecuteOnClick();

	FOnClicked OnClicked;
	bool bIsFocusable = true;
};
