// Stand-in for the person at keyboard and mouse: finds and drives widgets. No engine counterpart, no pointer.
#pragma once

#include "CoreMinimal.h"
#include "Input/Reply.h"
#include "SlateGlobals.h"
#include "Types/SlateEnums.h"
#include "Widgets/SWidget.h"

class SButton;
class SCheckBox;
class SEditableTextBox;
class SHorizontalBox;
class STextBlock;

/**
 * Tests and the headless host drive panels through this, on the thread that owns the widgets. Searches run depth-first
 * in layout order, skip empty slots, and match texts exactly (case included). Every action goes through the widget's
 * own event path, so handlers run as they would for a real click or keystroke.
 *
 * The user has one keyboard focus per thread, as the editor's one user has on its game thread. Typing puts it on the
 * entry; a click on a widget that supports keyboard focus (buttons and check boxes do unless made otherwise) moves it
 * there on the press, before the click's own handler runs on the release; an entry that loses it commits its text
 * (OnUserMovedFocus) right then. Enter or Escape commit the entry and leave no widget focused.
 */
class SLATE_API FSlateUser
{
public:
	/** Every widget of the tree, the root first, depth-first in layout order. */
	static TArray<TSharedRef<SWidget>> GetAllWidgets(const TSharedRef<SWidget>& Root);

	/** The first widget of the tree that is a WidgetType and satisfies the predicate; null when there is none. */
	template <class WidgetType, typename PredicateType>
	static TSharedPtr<WidgetType> FindWidget(const TSharedRef<SWidget>& Root, PredicateType&& Predicate)
	{
		for (const TSharedRef<SWidget>& Widget : GetAllWidgets(Root))
		{
			if (WidgetType* Typed = dynamic_cast<WidgetType*>(&Widget.Get()); Typed != nullptr && Predicate(*Typed))
			{
				return StaticCastSharedRef<WidgetType>(Widget);
			}
		}
		return nullptr;
	}
	template <class WidgetType> static TSharedPtr<WidgetType> FindWidget(const TSharedRef<SWidget>& Root)
	{
		return FindWidget<WidgetType>(Root, [](const WidgetType&) { return true; });
	}

	/** The widgets from the root down to Target, both included; empty when Target is not in the tree. */
	static TArray<TSharedRef<SWidget>> FindPathTo(const TSharedRef<SWidget>& Root, const SWidget& Target);
	/** The widget whose slot holds Target; null for the root and for widgets outside the tree. */
	static TSharedPtr<SWidget> FindParent(const TSharedRef<SWidget>& Root, const SWidget& Target);
	/** The slot that holds Target, as SlotType (SVerticalBox::FSlot, FSimpleSlot, ...); null when it is another kind. */
	template <class SlotType> static const SlotType* FindSlotOf(const TSharedRef<SWidget>& Root, const SWidget& Target)
	{
		return dynamic_cast<const SlotType*>(FindSlotBaseOf(Root, Target));
	}

	/** The text block that shows exactly this text. */
	static TSharedPtr<STextBlock> FindTextBlock(const TSharedRef<SWidget>& Root, const FString& Text);
	/**
	 * The WidgetType that stands in the same row as the label: the label's nearest enclosing horizontal box holding
	 * one, or a WidgetType whose own content the label is. A vertical list ends the search, so a label never
	 * reaches into another row.
	 */
	template <class WidgetType> static TSharedPtr<WidgetType> FindInRowOf(const TSharedRef<SWidget>& Root, const FString& Label)
	{
		const TDelegate<bool(const SWidget&)> IsWanted = TDelegate<bool(const SWidget&)>::CreateLambda(
			[](const SWidget& Widget) { return dynamic_cast<const WidgetType*>(&Widget) != nullptr; });
		return StaticCastSharedPtr<WidgetType>(FindInRowOfLabel(Root, Label, IsWanted));
	}
	static TSharedPtr<SEditableTextBox> FindEditableTextBoxByLabel(const TSharedRef<SWidget>& Root, const FString& Label);
	static TSharedPtr<SCheckBox> FindCheckBoxByLabel(const TSharedRef<SWidget>& Root, const FString& Label);
	/** The button whose content shows exactly this text. */
	static TSharedPtr<SButton> FindButton(const TSharedRef<SWidget>& Root, const FString& ContentText);

	/** The widget that has the keyboard focus; null when none has it. */
	static TSharedPtr<SWidget> GetKeyboardFocusedWidget();

	/** Types into the entry as a user does before pressing Enter: it now reads Text, nothing is committed. */
	static void TypeText(const TSharedRef<SEditableTextBox>& TextBox, const FString& Text);
	/** Ends the edit as Enter (OnEnter), a click elsewhere (OnUserMovedFocus) or Escape (OnCleared) does. */
	static void CommitText(const TSharedRef<SEditableTextBox>& TextBox, ETextCommit::Type CommitType);
	/** Types the text and presses Enter. */
	static void EnterText(const TSharedRef<SEditableTextBox>& TextBox, const FString& Text);

	/** Clicks the box once, moving the focus to it first when it is focusable. */
	static void ClickCheckBox(const TSharedRef<SCheckBox>& CheckBox);
	/** Clicks the box until it is Checked (or Unchecked); no click when it already is. False when a bound state
	 * refuses to change. */
	static bool SetCheckBoxTicked(const TSharedRef<SCheckBox>& CheckBox, bool bTicked);

	/** Presses and releases the button, moving the focus to it first when it is focusable; the reply is its
	 * handler's, Unhandled when none is bound. */
	static FReply Click(const TSharedRef<SButton>& Button);

	/**
	 * The tree as indented text, one widget a line: type, its state (quoted text, check state, sizes) and, in braces,
	 * the layout its slot gives it beyond the defaults.
	 */
	static FString DumpTree(const TSharedRef<SWidget>& Root);

private:
	/** Gives the focus to Widget (null: to none); an entry that loses it commits as focus moving away does. */
	static void SetKeyboardFocus(const TSharedPtr<SWidget>& Widget);
	/** What a mouse press does to the focus: moves it to the widget when the widget supports it. */
	static void PressOn(const TSharedRef<SWidget>& Widget);
	static TSharedPtr<SWidget> FindInRowOfLabel(
		const TSharedRef<SWidget>& Root, const FString& Label, const TDelegate<bool(const SWidget&)>& IsWanted);
	static const FSlotBase* FindSlotBaseOf(const TSharedRef<SWidget>& Root, const SWidget& Target);
};
