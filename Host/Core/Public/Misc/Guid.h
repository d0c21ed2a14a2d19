// Stand-in for the engine's FGuid: four 32-bit words, random when new.
#pragma once

#include "CoreTypes.h"
#include "Containers/UnrealString.h"

struct CORE_API FGuid
{
	uint32 A = 0;
	uint32 B = 0;
	uint32 C = 0;
	uint32 D = 0;

	constexpr FGuid() = default;
	constexpr FGuid(uint32 InA, uint32 InB, uint32 InC, uint32 InD)
		: A(InA)
		, B(InB)
		, C(InC)
		, D(InD)
	{
	}

	static FGuid NewGuid();
	bool IsValid() const { return (A | B | C | D) != 0; }
	FString ToString() const;
	bool operator==(const FGuid& Other) const { return A == Other.A && B == Other.B && C == Other.C && D == Other.D; }
	bool operator!=(const FGuid& Other) const { return !(*this == Other); }
};

inline uint32 GetTypeHash(const FGuid& Guid)
{
	return Guid.A ^ (Guid.B * 31u) ^ (Guid.C * 131u) ^ (Guid.D * 1313u);
}
