#include "STavrixLiveLinkSourceFactory.h"

#include "TavrixEndpointText.h"
#include "TavrixLiveLinkRuntimeSettings.h"
#include "Widgets/Input/SButton.h"
#include "Widgets/Input/SCheckBox.h"
#include "Widgets/Input/SEditableTextBox.h"
#include "Widgets/Layout/SBox.h"
#include "Widgets/SBoxPanel.h"
#include "Widgets/Text/STextBlock.h"

#define LOCTEXT_NAMESPACE "TavrixLiveLinkSourceEditor"

namespace
{
void SetChecked(const TWeakPtr<SCheckBox>& WeakCheckBox, bool bChecked)
{
	if (TSharedPtr<SCheckBox> CheckBox = WeakCheckBox.Pin())
	{
		CheckBox->SetIsChecked(bChecked ? ECheckBoxState::Checked : ECheckBoxState::Unchecked);
	}
}
/** One option row: its label on the left half, its check box (created without a state) filling the right half. */
TSharedRef<SWidget> MakeOptionRow(const FText& Label, TWeakPtr<SCheckBox>& OutCheckBox)
{
	// clang-format off
	return SNew(SHorizontalBox)
		+ SHorizontalBox::Slot()
		.FillWidth(0.5f)
		.HAlign(HAlign_Left)
		[
			SNew(STextBlock)
			.Text(Label)
		]
		+ SHorizontalBox::Slot()
		.FillWidth(0.5f)
		[
			SAssignNew(OutCheckBox, SCheckBox)
		];
	// clang-format on
}
} // namespace

void STavrixLiveLinkSourceFactory::Construct(const FArguments& Args)
{
	OkCallback = Args._OnOk;

	const UTavrixLiveLinkRuntimeSettings* Settings = GetMutableDefault<UTavrixLiveLinkRuntimeSettings>();

	// The settings are never validated: an address that does not parse leaves 0.0.0.0, and only the port's low
	// 16 bits are used.
	FIPv4Address Address = FIPv4Address::Any;
	TavrixEndpointText::ParseAddress(Settings->NetworkServerAddressByDefault, Address);
	const FIPv4Endpoint InitialEndpoint(Address, static_cast<uint16>(Settings->NetworkPortIdByDefault));

	// clang-format off
	ChildSlot
	[
		SNew(SBox)
		.WidthOverride(300)
		[
			SNew(SVerticalBox)
			+ SVerticalBox::Slot()
			.AutoHeight()
			[
				SNew(SHorizontalBox)
				+ SHorizontalBox::Slot()
				.FillWidth(0.5f)
				.HAlign(HAlign_Left)
				[
					SNew(STextBlock)
					.Text(LOCTEXT("TavrixPortNumber", "Network Address:Port"))
				]
				+ SHorizontalBox::Slot()
				.FillWidth(0.5f)
				[
					SAssignNew(EndpointTextBox, SEditableTextBox)
					.Text(FText::FromString(InitialEndpoint.ToString()))
					.OnTextCommitted(this, &STavrixLiveLinkSourceFactory::HandleEndpointCommitted)
				]
			]
			+ SVerticalBox::Slot()
			.AutoHeight()
			[
				SNew(SHorizontalBox)
				+ SHorizontalBox::Slot()
				.FillWidth(0.5f)
				.HAlign(HAlign_Left)
				[
					SAssignNew(EndpointProblemLabel, STextBlock)
				]
				+ SHorizontalBox::Slot()
				.FillWidth(0.5f)
				[
					SAssignNew(EndpointProblemText, STextBlock)
				]
			]
			+ SVerticalBox::Slot()
			.AutoHeight()
			[
				MakeOptionRow(LOCTEXT("AutoLens", "Auto Lens Update"), AutoLensCheckBox)
			]
			+ SVerticalBox::Slot()
			.AutoHeight()
			[
				MakeOptionRow(LOCTEXT("AutoSceneTake", "Auto Scene/Take"), AutoSceneTakeCheckBox)
			]
			+ SVerticalBox::Slot()
			.AutoHeight()
			[
				MakeOptionRow(LOCTEXT("AutoRecord", "Auto Record"), AutoRecordCheckBox)
			]
			+ SVerticalBox::Slot()
			.AutoHeight()
			.HAlign(HAlign_Right)
			[
				SNew(SButton)
				.OnClicked(this, &STavrixLiveLinkSourceFactory::HandleOkClicked)
				[
					SNew(STextBlock)
					.Text(LOCTEXT("Ok", "Ok"))
				]
			]
		]
	];
	// clang-format on

	SetChecked(AutoLensCheckBox, Settings->bAutoLens);
	SetChecked(AutoSceneTakeCheckBox, Settings->bAutoSceneTakeUpdate);
	SetChecked(AutoRecordCheckBox, Settings->bAutoRecord);
}

void STavrixLiveLinkSourceFactory::HandleEndpointCommitted(const FText& InText, ETextCommit::Type InCommitType)
{
	TSharedPtr<SEditableTextBox> TextBox = EndpointTextBox.Pin();
	TSharedPtr<STextBlock> ProblemLabel = EndpointProblemLabel.Pin();
	TSharedPtr<STextBlock> ProblemText = EndpointProblemText.Pin();
	if (!TextBox.IsValid() || !ProblemLabel.IsValid() || !ProblemText.IsValid())
	{
		return;
	}
	// A valid entry stays exactly as typed; anything else becomes the fixed fallback, not the settings' value.
	FIPv4Endpoint Endpoint;
	if (TavrixEndpointText::ParseEndpoint(InText.ToString(), Endpoint))
	{
		bUnseenEndpointReset = false;
		ProblemLabel->SetText(FText());
		ProblemText->SetText(FText());
		return;
	}
	TextBox->SetText(FText::FromString(FIPv4Endpoint(FIPv4Address::Any, 9001).ToString()));
	// Quoted, so that a stray space shows.
	const FString Typed = InText.ToString();
	FString Refused;
	Refused.AppendChar(TEXT('"'));
	Refused.AppendChars(*Typed, Typed.Len());
	Refused.AppendChar(TEXT('"'));
	ProblemLabel->SetText(LOCTEXT("EndpointNotUnderstood", "Not an address and port, reset:"));
	ProblemText->SetText(FText::FromString(Refused));
	// Enter and Escape are pressed in the entry itself, where the reset shows at once; a focus change is a press
	// elsewhere, most often on Ok.
	bUnseenEndpointReset = InCommitType == ETextCommit::OnUserMovedFocus;
}

FReply STavrixLiveLinkSourceFactory::HandleOkClicked()
{
	TSharedPtr<SEditableTextBox> TextBox = EndpointTextBox.Pin();
	TSharedPtr<SCheckBox> LensBox = AutoLensCheckBox.Pin();
	TSharedPtr<SCheckBox> SceneTakeBox = AutoSceneTakeCheckBox.Pin();
	TSharedPtr<SCheckBox> RecordBox = AutoRecordCheckBox.Pin();
	if (!TextBox.IsValid() || !LensBox.IsValid() || !SceneTakeBox.IsValid() || !RecordBox.IsValid())
	{
		return FReply::Handled();
	}
	if (bUnseenEndpointReset)
	{
		bUnseenEndpointReset = false;
		return FReply::Handled();
	}

	FTavrixSourceChoice Choice;
	if (!TavrixEndpointText::ParseEndpoint(TextBox->GetText().ToString(), Choice.Endpoint))
	{
		return FReply::Handled();
	}
	Choice.bAutoLens = LensBox->IsChecked();
	Choice.bAutoSceneTake = SceneTakeBox->IsChecked();
	Choice.bAutoRecord = RecordBox->IsChecked();
	OkCallback.ExecuteIfBound(Choice);
	return FReply::Handled();
}

#undef LOCTEXT_NAMESPACE
