#include "Framework/SlateUser.h"
#include "SlateUserFocus.h"

#include "Widgets/Input/SButton.h"
#include "Widgets/Input/SCheckBox.h"
#include "Widgets/Input/SEditableTextBox.h"
#include "Widgets/SBoxPanel.h"
#include "Widgets/SNullWidget.h"
#include "Widgets/Text/STextBlock.h"

namespace
{
/**
 * The user's keyboard focus, kept per thread: widgets belong to the thread that made them. The focused widget's
 * address is kept too, so that the widget lets go of the focus as it dies (KeyboardFocusWidgetDestroyed): a weak
 * reference outliving it until the thread ends would be released after the library that made it was unloaded.
 */
thread_local TWeakPtr<SWidget> KeyboardFocus;
thread_local const SWidget* KeyboardFocusWidget = nullptr;

bool IsEmptySlotContent(const TSharedRef<SWidget>& Widget)
{
	return Widget == SNullWidget::NullWidget;
}

void CollectWidgets(const TSharedRef<SWidget>& Widget, TArray<TSharedRef<SWidget>>& OutWidgets)
{
	OutWidgets.Add(Widget);
	FChildren* Children = Widget->GetChildren();
	for (int32 Index = 0; Index < Children->Num(); ++Index)
	{
		const TSharedRef<SWidget> Child = Children->GetChildAt(Index);
		if (!IsEmptySlotContent(Child))
		{
			CollectWidgets(Child, OutWidgets);
		}
	}
}

bool BuildPathTo(const TSharedRef<SWidget>& Widget, const SWidget& Target, TArray<TSharedRef<SWidget>>& InOutPath)
{
	InOutPath.Add(Widget);
	if (&Widget.Get() == &Target)
	{
		return true;
	}
	FChildren* Children = Widget->GetChildren();
	for (int32 Index = 0; Index < Children->Num(); ++Index)
	{
		const TSharedRef<SWidget> Child = Children->GetChildAt(Index);
		if (!IsEmptySlotContent(Child) && BuildPathTo(Child, Target, InOutPath))
		{
			return true;
		}
	}
	InOutPath.RemoveAt(InOutPath.Num() - 1);
	return false;
}

void DumpWidget(const TSharedRef<SWidget>& Widget, const FString& SlotLayout, int32 Depth, FString& Out)
{
	for (int32 Level = 0; Level < Depth; ++Level)
	{
		Out += TEXT("  ");
	}
	Out += Widget->GetTypeAsString();
	if (const FString State = Widget->DescribeState(); !State.IsEmpty())
	{
		Out += TEXT(" ");
		Out += State;
	}
	if (!SlotLayout.IsEmpty())
	{
		Out += TEXT(" {");
		Out += SlotLayout;
		Out += TEXT("}");
	}
	Out += TEXT("\n");

	FChildren* Children = Widget->GetChildren();
	for (int32 Index = 0; Index < Children->Num(); ++Index)
	{
		const TSharedRef<SWidget> Child = Children->GetChildAt(Index);
		if (!IsEmptySlotContent(Child))
		{
			DumpWidget(Child, Children->GetSlotAt(Index).DescribeLayout(), Depth + 1, Out);
		}
	}
}
} // namespace

TArray<TSharedRef<SWidget>> FSlateUser::GetAllWidgets(const TSharedRef<SWidget>& Root)
{
	TArray<TSharedRef<SWidget>> Widgets;
	CollectWidgets(Root, Widgets);
	return Widgets;
}

TArray<TSharedRef<SWidget>> FSlateUser::FindPathTo(const TSharedRef<SWidget>& Root, const SWidget& Target)
{
	TArray<TSharedRef<SWidget>> Path;
	BuildPathTo(Root, Target, Path);
	return Path;
}

TSharedPtr<SWidget> FSlateUser::FindParent(const TSharedRef<SWidget>& Root, const SWidget& Target)
{
	const TArray<TSharedRef<SWidget>> Path = FindPathTo(Root, Target);
	if (Path.Num() < 2)
	{
		return nullptr;
	}
	return Path[Path.Num() - 2];
}

const FSlotBase* FSlateUser::FindSlotBaseOf(const TSharedRef<SWidget>& Root, const SWidget& Target)
{
	const TSharedPtr<SWidget> Parent = FindParent(Root, Target);
	if (!Parent.IsValid())
	{
		return nullptr;
	}
	FChildren* Children = Parent->GetChildren();
	for (int32 Index = 0; Index < Children->Num(); ++Index)
	{
		if (&Children->GetChildAt(Index).Get() == &Target)
		{
			return &Children->GetSlotAt(Index);
		}
	}
	return nullptr;
}

TSharedPtr<STextBlock> FSlateUser::FindTextBlock(const TSharedRef<SWidget>& Root, const FString& Text)
{
	return FindWidget<STextBlock>(
		Root, [&Text](const STextBlock& TextBlock) { return TextBlock.GetText().ToString().Equals(Text, ESearchCase::CaseSensitive); });
}

TSharedPtr<SWidget> FSlateUser::FindInRowOfLabel(
	const TSharedRef<SWidget>& Root, const FString& Label, const TDelegate<bool(const SWidget&)>& IsWanted)
{
	const TSharedPtr<STextBlock> LabelBlock = FindTextBlock(Root, Label);
	if (!LabelBlock.IsValid())
	{
		return nullptr;
	}
	const TArray<TSharedRef<SWidget>> Path = FindPathTo(Root, *LabelBlock);
	for (int32 Index = Path.Num() - 2; Index >= 0; --Index)
	{
		const TSharedRef<SWidget>& Ancestor = Path[Index];
		if (IsWanted.Execute(*Ancestor))
		{
			return Ancestor;
		}
		if (dynamic_cast<const SVerticalBox*>(&Ancestor.Get()) != nullptr)
		{
			return nullptr;
		}
		if (dynamic_cast<const SHorizontalBox*>(&Ancestor.Get()) != nullptr)
		{
			for (const TSharedRef<SWidget>& Candidate : GetAllWidgets(Ancestor))
			{
				if (IsWanted.Execute(*Candidate))
				{
					return Candidate;
				}
			}
		}
	}
	return nullptr;
}

TSharedPtr<SEditableTextBox> FSlateUser::FindEditableTextBoxByLabel(const TSharedRef<SWidget>& Root, const FString& Label)
{
	return FindInRowOf<SEditableTextBox>(Root, Label);
}

TSharedPtr<SCheckBox> FSlateUser::FindCheckBoxByLabel(const TSharedRef<SWidget>& Root, const FString& Label)
{
	return FindInRowOf<SCheckBox>(Root, Label);
}

TSharedPtr<SButton> FSlateUser::FindButton(const TSharedRef<SWidget>& Root, const FString& ContentText)
{
	for (const TSharedRef<SWidget>& Widget : GetAllWidgets(Root))
	{
		if (dynamic_cast<SButton*>(&Widget.Get()) != nullptr && FindTextBlock(Widget, ContentText).IsValid())
		{
			return StaticCastSharedRef<SButton>(Widget);
		}
	}
	return nullptr;
}

TSharedPtr<SWidget> FSlateUser::GetKeyboardFocusedWidget()
{
	return KeyboardFocus.Pin();
}

void FSlateUser::SetKeyboardFocus(const TSharedPtr<SWidget>& Widget)
{
	const TSharedPtr<SWidget> Previous = KeyboardFocus.Pin();
	if (Previous.Get() == Widget.Get())
	{
		return;
	}
	KeyboardFocus = Widget;
	KeyboardFocusWidget = Widget.Get();
	// The focus has moved before the entry hears of it, as in the engine: its commit handler sees the new focus.
	if (SEditableTextBox* const Entry = dynamic_cast<SEditableTextBox*>(Previous.Get()))
	{
		Entry->CommitText(ETextCommit::OnUserMovedFocus);
	}
}

void FSlateUser::PressOn(const TSharedRef<SWidget>& Widget)
{
	if (Widget->SupportsKeyboardFocus())
	{
		SetKeyboardFocus(Widget);
	}
}

void FSlateUser::TypeText(const TSharedRef<SEditableTextBox>& TextBox, const FString& Text)
{
	SetKeyboardFocus(TextBox);
	TextBox->TypeText(FText::FromString(Text));
}

void FSlateUser::CommitText(const TSharedRef<SEditableTextBox>& TextBox, ETextCommit::Type CommitType)
{
	// The entry gives up the focus without a second commit: this one is the commit.
	if (KeyboardFocus.Pin().Get() == &TextBox.Get())
	{
		KeyboardFocus.Reset();
		KeyboardFocusWidget = nullptr;
	}
	TextBox->CommitText(CommitType);
}

void FSlateUser::EnterText(const TSharedRef<SEditableTextBox>& TextBox, const FString& Text)
{
	TypeText(TextBox, Text);
	CommitText(TextBox, ETextCommit::OnEnter);
}

void FSlateUser::ClickCheckBox(const TSharedRef<SCheckBox>& CheckBox)
{
	PressOn(CheckBox);
	CheckBox->ToggleCheckedState();
}

bool FSlateUser::SetCheckBoxTicked(const TSharedRef<SCheckBox>& CheckBox, bool bTicked)
{
	const ECheckBoxState Wanted = bTicked ? ECheckBoxState::Checked : ECheckBoxState::Unchecked;
	// Two clicks at most: Undetermined goes to Checked first, then to Unchecked.
	for (int32 Clicks = 0; Clicks < 2 && CheckBox->GetCheckedState() != Wanted; ++Clicks)
	{
		ClickCheckBox(CheckBox);
	}
	return CheckBox->GetCheckedState() == Wanted;
}

FReply FSlateUser::Click(const TSharedRef<SButton>& Button)
{
	PressOn(Button);
	return Button->ExecuteOnClick();
}

FString FSlateUser::DumpTree(const TSharedRef<SWidget>& Root)
{
	FString Out;
	DumpWidget(Root, FString(), 0, Out);
	return Out;
}

void KeyboardFocusWidgetDestroyed(const SWidget* Widget)
{
	if (KeyboardFocusWidget == Widget)
	{
		KeyboardFocus.Reset();
		KeyboardFocusWidget = nullptr;
	}
}
