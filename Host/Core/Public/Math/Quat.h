// Stand-in for the engine's FQuat: four 32-bit floats X, Y, Z, W. No rotation algebra: values pass through.
#pragma once

#include "CoreTypes.h"

struct FQuat
{
	float X = 0.0f;
	float Y = 0.0f;
	float Z = 0.0f;
	float W = 1.0f;

	constexpr FQuat() = default;
	constexpr FQuat(float InX, float InY, float InZ, float InW)
		: X(InX)
		, Y(InY)
		, Z(InZ)
		, W(InW)
	{
	}
	bool operator==(const FQuat& Other) const { return X == Other.X && Y == Other.Y && Z == Other.Z && W == Other.W; }
	bool operator!=(const FQuat& Other) const { return !(*this == Other); }

	static constexpr FQuat Identity() { return FQuat(0.0f, 0.0f, 0.0f, 1.0f); }
};
