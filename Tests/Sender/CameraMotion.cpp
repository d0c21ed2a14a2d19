#include "TavrixSyntheticCamera.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

using namespace TavrixSend;
using namespace std::chrono_literals;

namespace
{
struct FVec
{
	double X = 0.0;
	double Y = 0.0;
	double Z = 0.0;
};

double Length(const FVec& InVector)
{
	return std::sqrt(InVector.X * InVector.X + InVector.Y * InVector.Y + InVector.Z * InVector.Z);
}

FVec Between(const std::array<float, 3>& InFrom, const std::array<double, 3>& InTo)
{
	return {InTo[0] - InFrom[0], InTo[1] - InFrom[1], InTo[2] - InFrom[2]};
}

/** The camera's forward axis (+X) turned by the quaternion: q (1,0,0) q*. */
FVec Forward(const std::array<float, 4>& InRotation)
{
	const double X = InRotation[0];
	const double Y = InRotation[1];
	const double Z = InRotation[2];
	const double W = InRotation[3];
	return {1.0 - 2.0 * (Y * Y + Z * Z), 2.0 * (X * Y + W * Z), 2.0 * (X * Z - W * Y)};
}

double Norm(const std::array<float, 4>& InRotation)
{
	double Sum = 0.0;
	for (const float Component : InRotation)
	{
		Sum += static_cast<double>(Component) * Component;
	}
	return std::sqrt(Sum);
}

FTavrixDuration Seconds(double InSeconds)
{
	return std::chrono::duration_cast<FTavrixDuration>(std::chrono::duration<double>(InSeconds));
}

FTavrixOrbit OffCenterOrbit()
{
	FTavrixOrbit Orbit;
	Orbit.Center = {100.0, -50.0, 20.0};
	Orbit.Radius = 250.0;
	Orbit.Height = 150.0;
	Orbit.PeriodSeconds = 8.0;
	return Orbit;
}
} // namespace

TEST(CameraMotion, OrbitRotationIsAUnitQuaternionLookingAtTheCenter)
{
	const FTavrixOrbit Orbit = OffCenterOrbit();
	for (int Step = 0; Step < 400; ++Step)
	{
		const FTavrixCameraPose Pose = EvaluateMotion(ETavrixMotion::Orbit, Orbit, Seconds(Step * 0.04));
		ASSERT_NEAR(Norm(Pose.Rotation), 1.0, 1e-6) << "step " << Step;
		const FVec Facing = Forward(Pose.Rotation);
		const FVec ToCenter = Between(Pose.Location, Orbit.Center);
		const double Distance = Length(ToCenter);
		ASSERT_NEAR(Facing.X, ToCenter.X / Distance, 1e-5) << "step " << Step;
		ASSERT_NEAR(Facing.Y, ToCenter.Y / Distance, 1e-5) << "step " << Step;
		ASSERT_NEAR(Facing.Z, ToCenter.Z / Distance, 1e-5) << "step " << Step;
	}
}

TEST(CameraMotion, OrbitMovesSmoothlyAlongItsCircle)
{
	const FTavrixOrbit Orbit = OffCenterOrbit();
	const double Step = 0.01;
	const double ExpectedChord = 2.0 * Orbit.Radius * std::sin(std::numbers::pi * Step / Orbit.PeriodSeconds);
	FTavrixCameraPose Previous = EvaluateMotion(ETavrixMotion::Orbit, Orbit, 0s);
	for (int Index = 1; Index <= 2000; ++Index)
	{
		const FTavrixCameraPose Pose = EvaluateMotion(ETavrixMotion::Orbit, Orbit, Seconds(Index * Step));
		const FVec Moved{
			Pose.Location[0] - Previous.Location[0], Pose.Location[1] - Previous.Location[1], Pose.Location[2] - Previous.Location[2]};
		ASSERT_NEAR(Length(Moved), ExpectedChord, 1e-3) << "at " << Index * Step << " s";
		const FVec FromCenter = Between(Pose.Location, Orbit.Center);
		ASSERT_NEAR(std::hypot(FromCenter.X, FromCenter.Y), Orbit.Radius, 1e-3);
		ASSERT_NEAR(-FromCenter.Z, Orbit.Height, 1e-3);
		Previous = Pose;
	}
}

TEST(CameraMotion, OrbitStartsOnTheMinusXSideAndTurnsOnceAPeriod)
{
	const FTavrixOrbit Orbit = OffCenterOrbit();
	const FTavrixCameraPose Start = EvaluateMotion(ETavrixMotion::Orbit, Orbit, 0s);
	EXPECT_FLOAT_EQ(Start.Location[0], 100.0f - 250.0f);
	EXPECT_FLOAT_EQ(Start.Location[1], -50.0f);
	EXPECT_FLOAT_EQ(Start.Location[2], 170.0f);
	const FTavrixCameraPose Quarter = EvaluateMotion(ETavrixMotion::Orbit, Orbit, 2s);
	EXPECT_NEAR(Quarter.Location[0], 100.0, 1e-3);
	EXPECT_NEAR(Quarter.Location[1], -300.0, 1e-3);
	const FTavrixCameraPose Turned = EvaluateMotion(ETavrixMotion::Orbit, Orbit, 8s);
	for (size_t Index = 0; Index < 3; ++Index)
	{
		EXPECT_NEAR(Turned.Location[Index], Start.Location[Index], 1e-3);
	}
}

TEST(CameraMotion, OrbitKeepsItsPrecisionAfterDaysOfStreaming)
{
	const FTavrixOrbit Orbit = OffCenterOrbit();
	const FTavrixCameraPose Early = EvaluateMotion(ETavrixMotion::Orbit, Orbit, 1234567us);
	const FTavrixCameraPose Late = EvaluateMotion(ETavrixMotion::Orbit, Orbit, std::chrono::hours(24 * 30) + 1234567us);
	EXPECT_EQ(Early.Location, Late.Location);
	EXPECT_EQ(Early.Rotation, Late.Rotation);
}

TEST(CameraMotion, StaticHoldsTheFirstPoseOfTheOrbit)
{
	const FTavrixOrbit Orbit = OffCenterOrbit();
	const FTavrixCameraPose Start = EvaluateMotion(ETavrixMotion::Orbit, Orbit, 0s);
	for (const FTavrixDuration Elapsed : {FTavrixDuration(0s), FTavrixDuration(3s), FTavrixDuration(1234567ms)})
	{
		const FTavrixCameraPose Pose = EvaluateMotion(ETavrixMotion::Static, Orbit, Elapsed);
		EXPECT_EQ(Pose.Location, Start.Location);
		EXPECT_EQ(Pose.Rotation, Start.Rotation);
	}
}

TEST(CameraMotion, CameraAboveTheCenterLooksStraightDown)
{
	FTavrixOrbit Orbit = OffCenterOrbit();
	Orbit.Radius = 0.0;
	const FTavrixCameraPose Pose = EvaluateMotion(ETavrixMotion::Orbit, Orbit, 3s);
	EXPECT_NEAR(Norm(Pose.Rotation), 1.0, 1e-6);
	const FVec Facing = Forward(Pose.Rotation);
	EXPECT_NEAR(Facing.X, 0.0, 1e-6);
	EXPECT_NEAR(Facing.Y, 0.0, 1e-6);
	EXPECT_NEAR(Facing.Z, -1.0, 1e-6);
}
