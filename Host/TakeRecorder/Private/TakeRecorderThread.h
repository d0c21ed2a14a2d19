#pragma once

/** Fails a check when called off the thread that opened the Take Recorder panel while that panel is open. */
void CheckTakeRecorderGameThread();
