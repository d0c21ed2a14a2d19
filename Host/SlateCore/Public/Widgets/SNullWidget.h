// Stand-in for the engine's SNullWidget: the shared empty widget that fills every slot nobody filled. No painting.
#pragma once

#include "CoreMinimal.h"
#include "SlateGlobals.h"

class SWidget;

class SLATE_API SNullWidget
{
public:
	/** One process-wide instance; compare with it to tell an empty slot. */
	static TSharedRef<SWidget> NullWidget;
};
