// Stand-in for the engine's SlateEnums.h plus ECheckBoxState: the enumerations the widgets use. No navigation.
#pragma once

#include "CoreTypes.h"

/** How a child is placed across the width of the space its slot gives it. */
enum EHorizontalAlignment
{
	HAlign_Fill,
	HAlign_Left,
	HAlign_Center,
	HAlign_Right,
};

/** How a child is placed across the height of the space its slot gives it. */
enum EVerticalAlignment
{
	VAlign_Fill,
	VAlign_Top,
	VAlign_Center,
	VAlign_Bottom,
};

enum EOrientation
{
	Orient_Horizontal,
	Orient_Vertical,
};

/** Why an editable text reports its text as final. */
namespace ETextCommit
{
enum Type
{
	/** Committed by code rather than by the user. */
	Default,
	/** The user pressed Enter. */
	OnEnter,
	/** The keyboard focus left the entry. */
	OnUserMovedFocus,
	/** The user pressed Escape. */
	OnCleared,
};
} // namespace ETextCommit

enum class ECheckBoxState : uint8
{
	Unchecked,
	Checked,
	/** Neither: shown for a mixed selection; a click moves it to Checked. */
	Undetermined,
};
