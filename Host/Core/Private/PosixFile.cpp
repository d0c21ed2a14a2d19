#include "HAL/PosixFile.h"

#include <cerrno>
#include <unistd.h>

bool FPosixFile::WriteAll(int InDescriptor, std::string_view InBytes)
{
	while (!InBytes.empty())
	{
		const ssize_t Written = ::write(InDescriptor, InBytes.data(), InBytes.size());
		if (Written < 0)
		{
			if (errno == EINTR)
			{
				continue;
			}
			return false;
		}
		InBytes.remove_prefix(static_cast<size_t>(Written));
	}
	return true;
}
