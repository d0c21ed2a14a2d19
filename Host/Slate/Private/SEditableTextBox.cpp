#include "Widgets/Input/SEditableTextBox.h"

SEditableTextBox::SEditableTextBox() = default;

void SEditableTextBox::Construct(const FArguments& InArgs)
{
	BoundText = InArgs._Text;
	OnTextChanged = InArgs._OnTextChanged;
	OnTextCommitted = InArgs._OnTextCommitted;
}

FText SEditableTextBox::GetText() const
{
	return bIsEditing ? EditedText : BoundText.Get();
}

void SEditableTextBox::SetText(const TAttribute<FText>& InNewText)
{
	CheckOwningThread();
	BoundText = InNewText;
	bIsEditing = false;
	EditedText = FText();
}

FString SEditableTextBox::DescribeState() const
{
	FString Out = FString(TEXT("\"")) + GetText().ToString() + TEXT("\"");
	if (bIsEditing)
	{
		Out += TEXT(" (typing)");
	}
	return Out;
}

void SEditableTextBox::TypeText(const FText& InTypedText)
{
	CheckOwningThread();
	EditedText = InTypedText;
	bIsEditing = true;
	// A copy: the handler may replace the entry's text while it runs.
	const FText Typed = InTypedText;
	OnTextChanged.ExecuteIfBound(Typed);
}

void SEditableTextBox::CommitText(ETextCommit::Type InCommitType)
{
	CheckOwningThread();
	const FText Committed = GetText();
	bIsEditing = false;
	EditedText = FText();
	if (!BoundText.IsBound())
	{
		BoundText.Set(Committed);
	}
	OnTextCommitted.ExecuteIfBound(Committed, InCommitType);
}
