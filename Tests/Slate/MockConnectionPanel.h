#pragma once

#include "CoreMinimal.h"
#include "Widgets/DeclarativeSyntaxSupport.h"
#include "Widgets/Input/SButton.h"
#include "Widgets/Input/SCheckBox.h"
#include "Widgets/Input/SEditableTextBox.h"
#include "Widgets/Layout/SBox.h"
#include "Widgets/SBoxPanel.h"
#include "Widgets/SCompoundWidget.h"
#include "Widgets/Text/STextBlock.h"

#define LOCTEXT_NAMESPACE "MockConnectionPanel"

struct FMockConnectionChoice
{
	FString Address;
	bool bVerbose = false;
	bool bAutoStart = false;
};

DECLARE_DELEGATE_OneParam(FOnMockConnectionChoice, FMockConnectionChoice);

/**
 * A form laid out the way a Live Link source panel is: an address row, two option rows and an Ok button, written in
 * the declarative syntax a plug-in uses. It records what its handlers saw so that tests can check the event paths.
 */
class SMockConnectionPanel : public SCompoundWidget
{
public:
	// clang-format off
	SLATE_BEGIN_ARGS(SMockConnectionPanel) : _InitialAddress(TEXT("localhost")) {}
		SLATE_ARGUMENT(FString, InitialAddress)
		SLATE_EVENT(FOnMockConnectionChoice, OnOk)
	SLATE_END_ARGS()
	// clang-format on

	void Construct(const FArguments& InArgs)
	{
		OkCallback = InArgs._OnOk;

		// clang-format off
		// clang-format off
		ChildSlot
		[
			SNew(SBox).WidthOverride(300)
			[
				SNew(SVerticalBox)
				+ SVerticalBox::Slot().AutoHeight()
				[
					SNew(SHorizontalBox)
					+ SHorizontalBox::Slot().FillWidth(0.5f).HAlign(HAlign_Left)
					[
						SNew(STextBlock).Text(LOCTEXT("Address", "Address"))
					]
					+ SHorizontalBox::Slot().FillWidth(0.5f)
					[
						SAssignNew(AddressTextBox, SEditableTextBox)
						.Text(FText::FromString(InArgs._InitialAddress))
						.OnTextCommitted(this, &SMockConnectionPanel::HandleAddressCommitted)
					]
				]
				+ SVerticalBox::Slot().AutoHeight()
				[
					SNew(SHorizontalBox)
					+ SHorizontalBox::Slot().FillWidth(0.5f).HAlign(HAlign_Left)
					[
						SNew(STextBlock).Text(LOCTEXT("Verbose", "Verbose"))
					]
					+ SHorizontalBox::Slot().FillWidth(0.5f)
					[
						SAssignNew(VerboseCheckBox, SCheckBox)
					]
				]
				+ SVerticalBox::Slot().AutoHeight()
				[
					SNew(SHorizontalBox)
					+ SHorizontalBox::Slot().FillWidth(0.5f).HAlign(HAlign_Left)
					[
						SNew(STextBlock).Text(LOCTEXT("AutoStart", "Auto Start"))
					]
					+ SHorizontalBox::Slot().FillWidth(0.5f)
					[
						SAssignNew(AutoStartCheckBox, SCheckBox)
					]
				]
				+ SVerticalBox::Slot().AutoHeight().HAlign(HAlign_Right)
				[
					SNew(SButton)
					.OnClicked(this, &SMockConnectionPanel::HandleOkClicked)
					[
						SNew(STextBlock).Text(LOCTEXT("Ok", "Ok"))
					]
				]
			]
		];
		// clang-format on
		// clang-format on

		if (const TSharedPtr<SCheckBox> CheckBox = VerboseCheckBox.Pin())
		{
			CheckBox->SetIsChecked(ECheckBoxState::Checked);
		}
	}

	void HandleAddressCommitted(const FText& InText, ETextCommit::Type InCommitType)
	{
		++NumCommits;
		LastCommittedText = InText.ToString();
		LastCommitType = InCommitType;
		const TSharedPtr<SEditableTextBox> TextBox = AddressTextBox.Pin();
		if (TextBox.IsValid() && InText.IsEmpty())
		{
			TextBox->SetText(FText::FromString(TEXT("localhost")));
		}
	}

	FReply HandleOkClicked()
	{
		const TSharedPtr<SEditableTextBox> TextBox = AddressTextBox.Pin();
		const TSharedPtr<SCheckBox> Verbose = VerboseCheckBox.Pin();
		if (TextBox.IsValid() && Verbose.IsValid() && AutoStartCheckBox.IsValid())
		{
			const FMockConnectionChoice Choice{TextBox->GetText().ToString(), Verbose->IsChecked(), AutoStartCheckBox->IsChecked()};
			OkCallback.ExecuteIfBound(Choice);
		}
		return FReply::Handled();
	}

	FOnMockConnectionChoice OkCallback;
	/** Weak, as a panel should hold its children; the tree owns them. */
	TWeakPtr<SEditableTextBox> AddressTextBox;
	TWeakPtr<SCheckBox> VerboseCheckBox;
	/** Shared, to prove SAssignNew fills both kinds; the panel owns the tree, so this makes no cycle. */
	TSharedPtr<SCheckBox> AutoStartCheckBox;

	int32 NumCommits = 0;
	FString LastCommittedText;
	ETextCommit::Type LastCommitType = ETextCommit::Default;
};

#undef LOCTEXT_NAMESPACE
