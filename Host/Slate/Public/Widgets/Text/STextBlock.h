// Stand-in for the engine's STextBlock: a read-only text. No fonts, wrapping, justification or highlighting.
#pragma once

#include "Widgets/DeclarativeSyntaxSupport.h"
#include "Widgets/SLeafWidget.h"

class SLATE_API STextBlock : public SLeafWidget
{
public:
	// clang-format off
	SLATE_BEGIN_ARGS(STextBlock) {}
		SLATE_ATTRIBUTE(FText, Text)
	SLATE_END_ARGS()
	// clang-format on

	STextBlock();
	void Construct(const FArguments& InArgs);

	/** The text shown now; a bound text is read from its getter. */
	const FText& GetText() const { return BoundText.Get(); }
	void SetText(const TAttribute<FText>& InText);

	virtual FString DescribeState() const override;

private:
	TAttribute<FText> BoundText;
};
