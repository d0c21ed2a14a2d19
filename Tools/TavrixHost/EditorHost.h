#pragma once

#include "HostOptions.h"

/** Runs the editor host until its duration ends or SIGINT/SIGTERM arrives; returns the exit status. */
int RunEditorHost(const FHostOptions& Options);
