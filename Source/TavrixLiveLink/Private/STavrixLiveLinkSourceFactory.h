#pragma once

#include "CoreMinimal.h"
#include "Input/Reply.h"
#include "TavrixLiveLinkSourceFactory.h"
#include "Types/SlateEnums.h"
#include "Widgets/DeclarativeSyntaxSupport.h"
#include "Widgets/SCompoundWidget.h"

class SCheckBox;
class SEditableTextBox;
class STextBlock;

/**
 * The small form behind the factory's entry: the endpoint to listen on and the three options, filled from the
 * project settings, reported through OnOk. It keeps only weak references to its own widgets and writes nothing back.
 *
 * An entry that is not an address and port is reset to 0.0.0.0:9001 when committed, and the panel says what was
 * refused. When the reset came from the focus leaving the entry (a press on Ok moves it there before the click),
 * the next Ok creates nothing: the user has not seen the reset yet, and a source on every interface is not what was
 * typed. Ok again accepts the reset entry.
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
	TWeakPtr<STextBlock> EndpointProblemLabel;
	TWeakPtr<STextBlock> EndpointProblemText;
	FOnTavrixSourceChoice OkCallback;
	/** Set by a reset the user may not have seen; the next Ok clears it instead of creating a source. */
	bool bUnseenEndpointReset = false;
};
