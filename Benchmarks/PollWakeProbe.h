#pragma once

#include <cstdint>

/**
 * When the calling thread last came back from poll(2): the benchmark binary interposes poll, so a receive loop's
 * wake-up can be told apart from what the loop then does, in the plug-in's code unchanged as in the bare loop.
 */
namespace PollWakeProbe
{
/** Microseconds since the calling thread's last return from poll; 0 if it never polled. */
double MicrosecondsSinceLastWake();
} // namespace PollWakeProbe
