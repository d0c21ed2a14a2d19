// A client with test sources, an engine clock the test sets, and camera frames told apart by their X location.
#pragma once

#include "HAL/PlatformTimeTesting.h"
#include "LiveLinkClientTesting.h"
#include "LiveLinkTestSource.h"
#include "Misc/EngineClockTesting.h"
#include "Roles/LiveLinkCameraRole.h"
#include "Roles/LiveLinkCameraTypes.h"

#include <gtest/gtest.h>

#include <vector>

/** The platform clock's bias: a source time T arrives at T + this when the source's clock is the engine's. */
constexpr double ClientTestClockBias = 16777216.0;

class FClientTest : public testing::Test
{
protected:
	FClientTest() { FEngineClockTesting::ResetTimecodeProvider(); }
	~FClientTest() override { FEngineClockTesting::ResetTimecodeProvider(); }

	/** A new source and its settings. */
	FGuid AddSource(ELiveLinkSourceMode Mode = ELiveLinkSourceMode::EngineTime);
	FLiveLinkSubjectKey AddCamera(FGuid Source, const char* Name = "Camera");
	void PushStatic(const FLiveLinkSubjectKey& Key);
	/** A camera frame of source time Time (also its scene time, in frames at 24/1) with location X. */
	void PushFrame(const FLiveLinkSubjectKey& Key, double Time, float X, int32 SceneFrame = 0);
	/** Starts a frame at FrameTime and ticks; the frames the tick applies arrive at ArrivalTimes, in order. */
	void Tick(double FrameTime = 0.0, const std::vector<double>& ArrivalTimes = {});
	/** The X location of every buffered frame, in order. */
	std::vector<float> Buffered(const FLiveLinkSubjectKey& Key) const;
	/** The X location of the evaluated frame; NaN without one. */
	float Evaluated(const char* Name = "Camera") const;
	ULiveLinkSourceSettings* Settings(FGuid Source) const { return Client.GetSourceSettings(Source); }

	FLiveLinkClient Client;
};
