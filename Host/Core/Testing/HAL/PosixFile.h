// Stand-in only, no engine counterpart: the file writing the stand-in's own modules share (config files, takes).
#pragma once

#include "CoreTypes.h"

#include <string_view>

struct CORE_API FPosixFile
{
	/**
	 * Writes every byte of InBytes to the open descriptor, carrying on after short and interrupted writes, as the
	 * engine's file handles do. False with errno set when the system refuses; what was written before stays.
	 */
	static bool WriteAll(int InDescriptor, std::string_view InBytes);
};
