// Stand-in for the engine's FTransform: rotation, translation and scale stored as given, never normalised.
#pragma once

#include "Math/Quat.h"
#include "Math/Vector.h"

struct FTransform
{
	FQuat Rotation = FQuat::Identity();
	FVector Translation = FVector::ZeroVector();
	FVector Scale3D = FVector::OneVector();

	FTransform() = default;
	FTransform(const FQuat& InRotation, const FVector& InTranslation, const FVector& InScale3D)
		: Rotation(InRotation)
		, Translation(InTranslation)
		, Scale3D(InScale3D)
	{
	}

	const FQuat& GetRotation() const { return Rotation; }
	const FVector& GetTranslation() const { return Translation; }
	const FVector& GetScale3D() const { return Scale3D; }
	void SetRotation(const FQuat& InRotation) { Rotation = InRotation; }
	void SetTranslation(const FVector& InTranslation) { Translation = InTranslation; }
	void SetScale3D(const FVector& InScale3D) { Scale3D = InScale3D; }
	bool operator==(const FTransform& Other) const
	{
		return Rotation == Other.Rotation && Translation == Other.Translation && Scale3D == Other.Scale3D;
	}
	bool operator!=(const FTransform& Other) const { return !(*this == Other); }
};
