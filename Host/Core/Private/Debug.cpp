#include "CoreTypes.h"

#include <cstdio>
#include <cstdlib>

void FDebug::AssertFailed(const char* Expr, const char* File, int Line, const char* Message)
{
	std::fprintf(stderr, "Assertion failed: %s [%s:%d]%s%s\n", Expr, File, Line, Message ? ": " : "", Message ? Message : "");
	std::fflush(stderr);
	std::abort();
}
