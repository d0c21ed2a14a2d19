// Stand-in for the engine's FVector: three 32-bit floats, as in the 4.26 engine. Only what the plug-in uses.
#pragma once

#include "CoreTypes.h"

struct FVector
{
	float X = 0.0f;
	float Y = 0.0f;
	float Z = 0.0f;

	constexpr FVector() = default;
	constexpr FVector(float InX, float InY, float InZ)
		: X(InX)
		, Y(InY)
		, Z(InZ)
	{
	}
	bool operator==(const FVector& Other) const { return X == Other.X && Y == Other.Y && Z == Other.Z; }
	bool operator!=(const FVector& Other) const { return !(*this == Other); }

	static constexpr FVector ZeroVector() { return FVector(0.0f, 0.0f, 0.0f); }
	static constexpr FVector OneVector() { return FVector(1.0f, 1.0f, 1.0f); }
};
