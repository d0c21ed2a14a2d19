// Stand-in for the engine's SEditableTextBox: a one-line entry that edits and commits. No caret, selection or undo.
#pragma once

#include "Framework/SlateDelegates.h"
#include "Widgets/DeclarativeSyntaxSupport.h"
#include "Widgets/SLeafWidget.h"

class FSlateUser;

/**
 * Holds the text it was given (Text, SetText) and, while the user types, the text typed so far. Typing needs the
 * keyboard focus and raises OnTextChanged; Enter, a focus change (a press on another focusable widget) or Escape
 * ends the edit and raises OnTextCommitted with the entry's text. A
 * fixed text is replaced by the committed text before the event, so a handler that calls SetText has the last word;
 * a text bound to a getter shows the getter's answer again once the edit ends.
 */
class SLATE_API SEditableTextBox : public SLeafWidget
{
public:
	// clang-format off
	SLATE_BEGIN_ARGS(SEditableTextBox) {}
		SLATE_ATTRIBUTE(FText, Text)
		SLATE_EVENT(FOnTextChanged, OnTextChanged)
		SLATE_EVENT(FOnTextCommitted, OnTextCommitted)
	SLATE_END_ARGS()
	// clang-format on

	SEditableTextBox();
	void Construct(const FArguments& InArgs);

	/** What the entry shows now: the text being typed, or else the text it holds. */
	FText GetText() const;
	/** Replaces the entry's text; an edit in progress is discarded. Raises no event. */
	void SetText(const TAttribute<FText>& InNewText);
	/** True between the first keystroke of an edit and its commit. */
	bool HasUncommittedEdit() const { return bIsEditing; }

	void SetOnTextCommitted(const FOnTextCommitted& InOnTextCommitted) { OnTextCommitted = InOnTextCommitted; }

	virtual FString DescribeState() const override;
	virtual bool SupportsKeyboardFocus() const override { return true; }

private:
	friend class FSlateUser;

	/** The user's keystrokes: the entry now reads InTypedText, not yet committed. */
	void TypeText(const FText& InTypedText);
	/** Ends the edit, if any, and reports the entry's text as final. */
	void CommitText(ETextCommit::Type InCommitType);

	TAttribute<FText> BoundText;
	FText EditedText;
	bool bIsEditing = false;
	FOnTextChanged OnTextChanged;
	FOnTextCommitted OnTextCommitted;
};
