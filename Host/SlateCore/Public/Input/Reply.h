// Stand-in for the engine's FReply: whether an input event was consumed. No capture, focus or drag requests.
#pragma once

#include "CoreTypes.h"

class FReply
{
public:
	/** The widget consumed the event; it goes no further. */
	static FReply Handled() { return FReply(true); }
	/** The widget ignored the event; it may be offered to others. */
	static FReply Unhandled() { return FReply(false); }

	bool IsEventHandled() const { return bIsHandled; }

private:
	explicit FReply(bool bInIsHandled)
		: bIsHandled(bInIsHandled)
	{
	}

	bool bIsHandled;
};
