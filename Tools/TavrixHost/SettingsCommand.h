#pragma once

#include "HostOptions.h"

/** tavrix-host settings [set KEY VALUE]: shows or changes the plug-in's project settings; returns the exit status. */
int RunSettingsCommand(const FHostOptions& Options);
