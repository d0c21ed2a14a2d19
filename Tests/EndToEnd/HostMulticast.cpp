#include "HostProcess.h"
#include "LoopbackMulticast.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <memory>
#include <thread>

namespace
{
using namespace std::chrono_literals;
using nlohmann::json;

constexpr int GroupHosts = 4;
constexpr int GroupDatagrams = 100;

/** One host's published scene time (frame and sub-frame, in frames) against the world time of the tick. */
struct FSceneTimeSample
{
	double WorldTime = 0.0;
	double Frames = 0.0;
};

std::vector<FSceneTimeSample> SceneTimeSamples(const std::vector<json>& Events)
{
	std::vector<FSceneTimeSample> Samples;
	for (const json& Event : Events)
	{
		if (IsEvent(Event, "frame") && !Event["sceneTime"].is_null() && Event["sceneTime"]["rate"] == json({25, 1}))
		{
			Samples.push_back({Event["worldTime"].get<double>(),
				Event["sceneTime"]["frame"].get<double>() + Event["sceneTime"]["subframe"].get<double>()});
		}
	}
	return Samples;
}

/**
 * Where both hosts published, the largest difference of their scene times, in frames. The world time is this
 * machine's monotonic clock, the same in every process; the other host's scene time at a tick of this one is read
 * between its two ticks around that moment, which the scene time's steady run makes exact to well within a frame.
 * Only moments the other host covers with ticks at most a tenth of a second apart are compared.
 */
double LargestDifference(const std::vector<FSceneTimeSample>& Mine, const std::vector<FSceneTimeSample>& Other, int& OutCompared)
{
	double Largest = 0.0;
	for (const FSceneTimeSample& Sample : Mine)
	{
		const auto After = std::lower_bound(Other.begin(), Other.end(), Sample.WorldTime,
			[](const FSceneTimeSample& InSample, double InTime) { return InSample.WorldTime < InTime; });
		if (After == Other.begin() || After == Other.end())
		{
			continue;
		}
		const FSceneTimeSample& Before = *(After - 1);
		const double Span = After->WorldTime - Before.WorldTime;
		if (Span <= 0.0 || Span > 0.1)
		{
			continue;
		}
		const double Fraction = (Sample.WorldTime - Before.WorldTime) / Span;
		const double OtherFrames = Before.Frames + Fraction * (After->Frames - Before.Frames);
		Largest = std::max(Largest, std::abs(Sample.Frames - OtherFrames));
		++OutCompared;
	}
	return Largest;
}

// Four editors on one machine joined to one group, one sender: every editor gets every datagram, and they show the
// same scene time at the same moment.
TEST(HostMulticast, FourHostsOnOneGroupReceiveEveryDatagramAndAgreeOnSceneTime)
{
	if (const std::optional<std::string> Why = WhyLocalMulticastIsUnavailable())
	{
		GTEST_SKIP() << *Why;
	}
	const uint16_t Port = FreeLoopbackPort();
	const std::string Group = TestMulticastGroupText() + ":" + std::to_string(Port);
	std::array<FTempProject, GroupHosts> Projects;
	std::vector<std::unique_ptr<FHostProcess>> Hosts;
	for (const FTempProject& Project : Projects)
	{
		Hosts.push_back(std::make_unique<FHostProcess>(std::vector<std::string>{
			"--project", Project.Path().string(), "--jsonl", "--endpoint", Group, "--no-take-recorder", "--tick-hz", "60"}));
	}
	for (const std::unique_ptr<FHostProcess>& Host : Hosts)
	{
		ASSERT_TRUE(Host->FindOrWaitForEvent([](const json& Event) { return IsEvent(Event, "source") && Event["status"] == "Receiving"; }))
			<< "a host did not join the group";
	}

	// The hosts' output is read all along, so that none of them ever waits to write it.
	const auto ReadAll = [&Hosts] {
		for (const std::unique_ptr<FHostProcess>& Host : Hosts)
		{
			Host->WaitForEvent([](const json&) { return false; }, 10ms);
		}
	};
	std::atomic<int> SenderExit{-2};
	std::thread SenderThread([&] {
		FHostProcess Sender({"--endpoint", Group, "--multicast-ttl", "0", "--rate", "25", "--timecode-rate", "25/1", "--count",
								std::to_string(GroupDatagrams), "--motion", "static", "--quiet"},
			TAVRIX_SEND_EXECUTABLE);
		SenderExit = Sender.Wait(60s);
	});
	while (SenderExit.load() == -2)
	{
		ReadAll();
	}
	SenderThread.join();
	ASSERT_EQ(SenderExit.load(), 0);

	const auto ReceivedAll = [](const json& Event) { return IsEvent(Event, "stats") && Event["datagramsReceived"] == GroupDatagrams; };
	std::array<long long, GroupHosts> Received{};
	for (int Index = 0; Index < GroupHosts; ++Index)
	{
		FHostProcess& Host = *Hosts[Index];
		const bool bAll = Host.FindOrWaitForEvent(ReceivedAll, 20s).has_value();
		for (const json& Event : Host.Events)
		{
			if (IsEvent(Event, "stats"))
			{
				Received[Index] = Event["datagramsReceived"].get<long long>();
			}
		}
		EXPECT_TRUE(bAll) << "host " << Index << " received " << Received[Index] << " of " << GroupDatagrams;
		ReadAll();
	}
	for (const std::unique_ptr<FHostProcess>& Host : Hosts)
	{
		Host->Signal(SIGTERM);
	}
	std::array<std::vector<FSceneTimeSample>, GroupHosts> Samples;
	for (int Index = 0; Index < GroupHosts; ++Index)
	{
		EXPECT_EQ(Hosts[Index]->Wait(), 0) << Hosts[Index]->GetErrors();
		Samples[Index] = SceneTimeSamples(Hosts[Index]->Events);
		ASSERT_GT(Samples[Index].size(), 60u) << "host " << Index << " published too few frames with a scene time";
	}

	double Largest = 0.0;
	int Compared = 0;
	for (int First = 0; First < GroupHosts; ++First)
	{
		for (int Second = 0; Second < GroupHosts; ++Second)
		{
			if (First != Second)
			{
				Largest = std::max(Largest, LargestDifference(Samples[First], Samples[Second], Compared));
			}
		}
	}
	std::printf("multicast: datagrams received per host %lld %lld %lld %lld of %d; largest scene-time difference %.3f frames over %d "
				"compared ticks\n",
		Received[0], Received[1], Received[2], Received[3], GroupDatagrams, Largest, Compared);
	EXPECT_GT(Compared, 200);
	EXPECT_LE(Largest, 1.0);
}
} // namespace
