#pragma once

class SWidget;

/** Called by a widget as it dies: the simulated user's keyboard focus lets go of it on this thread. */
void KeyboardFocusWidgetDestroyed(const SWidget* Widget);
