// Stand-in for the engine's Live Link camera records. Defaults are the stand-in's own: a 50 mm perspective camera.
#pragma once

#include "Roles/LiveLinkTransformTypes.h"

enum class ELiveLinkCameraProjectionMode : uint8
{
	Perspective,
	Orthographic,
};

struct LIVELINKINTERFACE_API FLiveLinkCameraStaticData : public FLiveLinkTransformStaticData
{
	DECLARE_STRUCT(FLiveLinkCameraStaticData)
	bool bIsFieldOfViewSupported = false;
	bool bIsAspectRatioSupported = false;
	bool bIsFocalLengthSupported = false;
	bool bIsProjectionModeSupported = false;
	float FilmBackWidth = -1.0f;
	float FilmBackHeight = -1.0f;
	bool bIsApertureSupported = false;
	bool bIsFocusDistanceSupported = false;
};

struct LIVELINKINTERFACE_API FLiveLinkCameraFrameData : public FLiveLinkTransformFrameData
{
	DECLARE_STRUCT(FLiveLinkCameraFrameData)
	float FieldOfView = 90.0f;
	float AspectRatio = 1.777778f;
	float FocalLength = 50.0f;
	float Aperture = 2.8f;
	float FocusDistance = 100000.0f;
	ELiveLinkCameraProjectionMode ProjectionMode = ELiveLinkCameraProjectionMode::Perspective;
};
