#pragma once

#include "CoreMinimal.h"
#include "Input/Reply.h"
#include "TavrixLiveLinkSourceFactory.h"
#include "Types/SlateEnums.h"
#include "Widgets/DeclarativeSyntaxSupport.h"
#include "Widgets/SCompoundWidget.h"

class SCheckBox;
class SEditableTextBox;

/**
 * The small form behind the factory's entry: the endpoint to listen on and the three options, filled from the
 * project settings, reported through OnOk. It keeps only weak references to its own widgets and writes nothing back.
 */
class STavrixLiveLinkSourceFactory : public SCompoundWidget
{
public:
	// clang-format off
	SLATE_BEGIN_ARGS(STavrixLiveLinkSourceFactory) {}
		SLATE_EVENT(FOnTavrixSourceChoice, OnOk)
	SLATE_END_ARGS()
	// clang-format on

	void Construct(const FArguments& Args);

private:
	void HandleEndpointCommitted(const FText& InText, ETextCommit::Type InCommitType);
	FReply HandleOkClicked();

	TWeakPtr<SCheckBox> AutoLensCheckBox;
	TWeakPtr<SCheckBox> AutoSceneTakeCheckBox;
	TWeakPtr<SCheckBox> AutoRecordCheckBox;
	TWeakPtr<SEditableTextBox> EndpointTextBox;
	FOnTavrixSourceChoice OkCallback;
};
