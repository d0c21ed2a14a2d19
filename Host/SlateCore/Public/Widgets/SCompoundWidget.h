// Stand-in for the engine's SCompoundWidget: a widget made of one child slot. No painting or content scale.
#pragma once

#include "Widgets/DeclarativeSyntaxSupport.h"
#include "Widgets/SWidget.h"

class SLATE_API SCompoundWidget : public SWidget
{
public:
	virtual FChildren* GetChildren() override { return &ChildSlot; }

protected:
	SCompoundWidget();

	/** The widget's content; a derived widget fills it in Construct: ChildSlot[ SNew(...) ]. */
	FSimpleSlot ChildSlot;
};
