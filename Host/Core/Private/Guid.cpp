#include "Misc/Guid.h"

#include <cstdio>
#include <random>

FGuid FGuid::NewGuid()
{
	thread_local std::mt19937 Generator{std::random_device{}()};
	FGuid Guid;
	do
	{
		Guid = FGuid(Generator(), Generator(), Generator(), Generator());
	} while (!Guid.IsValid());
	return Guid;
}

FString FGuid::ToString() const
{
	char Buffer[40];
	std::snprintf(Buffer, sizeof(Buffer), "%08X%08X%08X%08X", A, B, C, D);
	return FString::FromUtf8(Buffer);
}
