// Stand-in for the engine's SLeafWidget: a widget without children. No painting.
#pragma once

#include "Widgets/SWidget.h"

class SLATE_API SLeafWidget : public SWidget
{
public:
	virtual FChildren* GetChildren() override { return &NoChildren; }

private:
	FNoChildren NoChildren;
};
