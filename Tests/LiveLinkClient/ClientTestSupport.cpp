#include "ClientTestSupport.h"

#include <cmath>
#include <limits>

FGuid FClientTest::AddSource(ELiveLinkSourceMode Mode)
{
	const FGuid Guid = Client.AddSource(MakeShared<FLiveLinkTestSource>());
	Client.GetSourceSettings(Guid)->Mode = Mode;
	return Guid;
}

void FClientTest::PushStatic(const FLiveLinkSubjectKey& Key)
{
	Client.PushSubjectStaticData_AnyThread(
		Key, ULiveLinkCameraRole::StaticClass(), FLiveLinkStaticDataStruct(FLiveLinkCameraStaticData::StaticStruct()));
}

FLiveLinkSubjectKey FClientTest::AddCamera(FGuid Source, const char* Name)
{
	const FLiveLinkSubjectKey Key(Source, FName(Name));
	PushStatic(Key);
	Tick();
	return Key;
}

void FClientTest::PushFrame(const FLiveLinkSubjectKey& Key, double Time, float X, int32 SceneFrame)
{
	FLiveLinkFrameDataStruct Frame(FLiveLinkCameraFrameData::StaticStruct());
	FLiveLinkCameraFrameData* Camera = Frame.Cast<FLiveLinkCameraFrameData>();
	Camera->WorldTime = FLiveLinkWorldTime(Time);
	Camera->MetaData.SceneTime = FQualifiedFrameTime(FFrameTime(SceneFrame), FFrameRate(24, 1));
	Camera->Transform.SetTranslation(FVector(X, 0.0f, 0.0f));
	Client.PushSubjectFrameData_AnyThread(Key, MoveTemp(Frame));
}

void FClientTest::Tick(double FrameTime, const std::vector<double>& ArrivalTimes)
{
	FEngineClockTesting::BeginFrame(FrameTime);
	TArray<uint64> Readings;
	for (const double Arrival : ArrivalTimes)
	{
		Readings.Add(static_cast<uint64>(std::llround(Arrival * 1e9)));
	}
	FPlatformTimeTesting::ScriptCycles64(Readings);
	Client.Tick();
	FPlatformTimeTesting::ScriptCycles64({});
}

std::vector<float> FClientTest::Buffered(const FLiveLinkSubjectKey& Key) const
{
	std::vector<float> Result;
	for (const FLiveLinkFrameDataStruct& Frame : FLiveLinkClientTesting::GetBufferedFrames(Client, Key))
	{
		Result.push_back(Frame.Cast<FLiveLinkCameraFrameData>()->Transform.GetTranslation().X);
	}
	return Result;
}

float FClientTest::Evaluated(const char* Name) const
{
	FLiveLinkSubjectFrameData Data;
	if (!Client.EvaluateFrame_AnyThread(FLiveLinkSubjectName(FName(Name)), ULiveLinkCameraRole::StaticClass(), Data))
	{
		return std::numeric_limits<float>::quiet_NaN();
	}
	return Data.FrameData.Cast<FLiveLinkCameraFrameData>()->Transform.GetTranslation().X;
}
