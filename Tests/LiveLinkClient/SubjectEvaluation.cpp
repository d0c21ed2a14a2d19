#include "ClientTestSupport.h"

#include <cmath>

namespace
{
using SubjectBlending = FClientTest;

struct FEvaluationCase
{
	const char* Name;
	ELiveLinkSourceMode Mode;
	/** Engine time (seconds after the clock bias) or engine timecode (seconds of the day) when evaluating. */
	double ReadAt;
	int32 LatestOffset;
	float EngineTimeOffset;
	float Expected;
};

class SubjectEvaluation : public FClientTest, public testing::WithParamInterface<FEvaluationCase>
{
};

// Frames at source times 10 and 11 (scene frames 240 and 264 at 24/1) with X equal to the time, arriving on a clock
// equal to the source's, so that the estimated offset is exactly the clock bias.
TEST_P(SubjectEvaluation, ModePicksOrBlendsTheBufferedFrames)
{
	const FEvaluationCase& Case = GetParam();
	const FGuid Guid = AddSource(Case.Mode);
	Settings(Guid)->BufferSettings.LatestOffset = Case.LatestOffset;
	Settings(Guid)->BufferSettings.EngineTimeOffset = Case.EngineTimeOffset;
	const FLiveLinkSubjectKey Key = AddCamera(Guid);
	const int32 Frame = static_cast<int32>(std::lround(Case.ReadAt * 24.0));
	FEngineClockTesting::ScriptTimecode(FTimecode::FromFrameNumber(FFrameNumber(Frame), FFrameRate(24, 1)), FFrameRate(24, 1));
	PushFrame(Key, 10.0, 10.0f, 240);
	PushFrame(Key, 11.0, 11.0f, 264);
	Tick(ClientTestClockBias + Case.ReadAt, {10.0, 11.0});
	EXPECT_NEAR(Evaluated(), Case.Expected, 1e-3);
}

INSTANTIATE_TEST_SUITE_P(, SubjectEvaluation,
	testing::Values(FEvaluationCase{"LatestIsTheNewest", ELiveLinkSourceMode::Latest, 0.0, 0, 0.0f, 11.0f},
		FEvaluationCase{"LatestWithOffset", ELiveLinkSourceMode::Latest, 0.0, 1, 0.0f, 10.0f},
		FEvaluationCase{"LatestOffsetClamped", ELiveLinkSourceMode::Latest, 0.0, 5, 0.0f, 10.0f},
		FEvaluationCase{"EngineTimeBlends", ELiveLinkSourceMode::EngineTime, 10.25, 0, 0.0f, 10.25f},
		FEvaluationCase{"EngineTimeOffsetReadsEarlier", ELiveLinkSourceMode::EngineTime, 11.0, 0, 0.5f, 10.5f},
		FEvaluationCase{"EngineTimeNoExtrapolation", ELiveLinkSourceMode::EngineTime, 12.0, 0, 0.0f, 11.0f},
		FEvaluationCase{"EngineTimeBeforeAllIsTheOldest", ELiveLinkSourceMode::EngineTime, 9.0, 0, 0.0f, 10.0f},
		FEvaluationCase{"TimecodeBlends", ELiveLinkSourceMode::Timecode, 10.25, 0, 0.0f, 10.25f},
		FEvaluationCase{"TimecodeNoExtrapolation", ELiveLinkSourceMode::Timecode, 12.0, 0, 0.0f, 11.0f}),
	[](const testing::TestParamInfo<FEvaluationCase>& Info) { return std::string(Info.param.Name); });

TEST_F(SubjectBlending, TimecodeModeWithoutAnEngineTimecodeHasNoSnapshot)
{
	const FGuid Guid = AddSource(ELiveLinkSourceMode::Timecode);
	const FLiveLinkSubjectKey Key = AddCamera(Guid);
	FEngineClockTesting::SetTimecodeProviderAvailable(false);
	PushFrame(Key, 10.0, 10.0f, 240);
	Tick();
	EXPECT_EQ(Buffered(Key).size(), 1u);
	EXPECT_TRUE(std::isnan(Evaluated()));
}

// The blend of rotations is normalised linear, not spherical: a quarter of the way from 0 to 90 degrees about Z is
// about 21.6 degrees, where a spherical blend would give 22.5.
TEST_F(SubjectBlending, RotationsBlendByNormalisedLinearInterpolation)
{
	FLiveLinkFrameDataStruct A(FLiveLinkCameraFrameData::StaticStruct());
	FLiveLinkFrameDataStruct B(FLiveLinkCameraFrameData::StaticStruct());
	const float Half = std::sqrt(0.5f);
	B.Cast<FLiveLinkCameraFrameData>()->Transform.SetRotation(FQuat(0.0f, 0.0f, Half, Half));
	A.Cast<FLiveLinkCameraFrameData>()->FieldOfView = 40.0f;
	B.Cast<FLiveLinkCameraFrameData>()->FieldOfView = 80.0f;
	B.Cast<FLiveLinkCameraFrameData>()->ProjectionMode = ELiveLinkCameraProjectionMode::Orthographic;
	const FLiveLinkFrameDataStruct Blend = FLiveLinkClientTesting::BlendFrames(A, B, 0.25f);
	const FLiveLinkCameraFrameData* Camera = Blend.Cast<FLiveLinkCameraFrameData>();
	const FQuat Rotation = Camera->Transform.GetRotation();
	const double Degrees = 2.0 * std::atan2(Rotation.Z, Rotation.W) * 180.0 / 3.14159265358979;
	EXPECT_NEAR(Degrees, 21.6, 0.05);
	EXPECT_NEAR(Rotation.X * Rotation.X + Rotation.Y * Rotation.Y + Rotation.Z * Rotation.Z + Rotation.W * Rotation.W, 1.0, 1e-6);
	EXPECT_FLOAT_EQ(Camera->FieldOfView, 50.0f);
	EXPECT_EQ(Camera->ProjectionMode, ELiveLinkCameraProjectionMode::Perspective) << "enums come from the closer frame";
	// The shorter path: the same rotation given with the opposite sign blends the same way.
	B.Cast<FLiveLinkCameraFrameData>()->Transform.SetRotation(FQuat(0.0f, 0.0f, -Half, -Half));
	const FQuat Flipped = FLiveLinkClientTesting::BlendFrames(A, B, 0.25f).Cast<FLiveLinkCameraFrameData>()->Transform.GetRotation();
	EXPECT_NEAR(2.0 * std::atan2(Flipped.Z, Flipped.W) * 180.0 / 3.14159265358979, 21.6, 0.05);
}

struct FEstimatorCase
{
	const char* Name;
	/** Clock offsets the frames carry (arrival minus source time, after the bias), in order. */
	std::vector<double> Samples;
	double Expected;
};

class ClockOffsetEstimation : public FClientTest, public testing::WithParamInterface<FEstimatorCase>
{
};

TEST_P(ClockOffsetEstimation, EstimateJumpsStepsOrTakesTheSample)
{
	const FGuid Guid = AddSource(ELiveLinkSourceMode::Latest);
	const FLiveLinkSubjectKey Key = AddCamera(Guid);
	double SourceTime = 100.0;
	for (const double Sample : GetParam().Samples)
	{
		SourceTime += 1.0;
		PushFrame(Key, SourceTime, 0.0f);
		Tick(0.0, {SourceTime + Sample});
	}
	EXPECT_NEAR(Settings(Guid)->BufferSettings.EngineTimeClockOffset - ClientTestClockBias, GetParam().Expected, 1e-6);
}

INSTANTIATE_TEST_SUITE_P(, ClockOffsetEstimation,
	testing::Values(FEstimatorCase{"FirstSampleIsTakenAtOnce", {5.0}, 5.0}, FEstimatorCase{"SmallErrorMovesOneStep", {5.0, 5.001}, 5.0001},
		FEstimatorCase{"ErrorWithinAStepIsTaken", {5.0, 5.00005}, 5.00005},
		FEstimatorCase{"FiveLargeErrorsOnlyStep", {5.0, 1.0, 1.0, 1.0, 1.0, 1.0}, 4.9995},
		FEstimatorCase{"SixthLargeErrorJumps", {5.0, 1.0, 1.0, 1.0, 1.0, 1.0, 1.0}, 1.0}),
	[](const testing::TestParamInfo<FEstimatorCase>& Info) { return std::string(Info.param.Name); });
} // namespace
