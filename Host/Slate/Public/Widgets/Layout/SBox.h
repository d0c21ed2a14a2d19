// Stand-in for the engine's SBox: one child with optional fixed width and height. No min, max or aspect limits.
#pragma once

#include "Types/SlateStructs.h"
#include "Widgets/DeclarativeSyntaxSupport.h"
#include "Widgets/SWidget.h"

class SLATE_API SBox : public SWidget
{
public:
	// clang-format off
	SLATE_BEGIN_ARGS(SBox) : _HAlign(HAlign_Fill), _VAlign(VAlign_Fill), _Padding(0.0f) {}
		SLATE_ARGUMENT(EHorizontalAlignment, HAlign)
		SLATE_ARGUMENT(EVerticalAlignment, VAlign)
		SLATE_ARGUMENT(FMargin, Padding)
		/** Fixed width in layout units; unset, the box is as wide as its content. */
		SLATE_ATTRIBUTE(FOptionalSize, WidthOverride)
		/** Fixed height in layout units; unset, the box is as tall as its content. */
		SLATE_ATTRIBUTE(FOptionalSize, HeightOverride)
		SLATE_DEFAULT_SLOT(FArguments, Content)
	SLATE_END_ARGS()
	// clang-format on

	SBox();
	void Construct(const FArguments& InArgs);

	virtual FChildren* GetChildren() override { return &ChildSlot; }
	virtual FString DescribeState() const override;

	void SetContent(const TSharedRef<SWidget>& InContent);
	void SetWidthOverride(const TAttribute<FOptionalSize>& InWidthOverride);
	void SetHeightOverride(const TAttribute<FOptionalSize>& InHeightOverride);
	FOptionalSize GetWidthOverride() const { return WidthOverride.Get(); }
	FOptionalSize GetHeightOverride() const { return HeightOverride.Get(); }

protected:
	FSimpleSlot ChildSlot;

private:
	TAttribute<FOptionalSize> WidthOverride;
	TAttribute<FOptionalSize> HeightOverride;
};
