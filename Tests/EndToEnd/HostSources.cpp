#include "HostProcess.h"

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <set>

namespace
{
using nlohmann::json;

/** A tavrix-send process holding a camera still on an orbit of the given radius, until it is stopped. */
std::unique_ptr<FHostProcess> StartStillCamera(const std::string& Endpoint, int Radius)
{
	return std::make_unique<FHostProcess>(std::vector<std::string>{"--endpoint", Endpoint, "--motion", "static", "--radius",
											  std::to_string(Radius), "--rate", "50", "--duration", "60", "--quiet"},
		TAVRIX_SEND_EXECUTABLE);
}

/** How far from the orbit's axis a frame's camera stands: the radius its sender was given. */
double DistanceFromAxis(const json& Frame)
{
	return std::hypot(Frame["location"][0].get<double>(), Frame["location"][1].get<double>());
}
} // namespace

TEST(HostSources, EachEndpointIsASourceOfItsOwnAndEveryEventNamesIt)
{
	FTempProject Project;
	const std::string First = "127.0.0.1:" + std::to_string(FreeLoopbackPort());
	const std::string Second = "127.0.0.1:" + std::to_string(FreeLoopbackPort());
	ASSERT_NE(First, Second);
	// Live Link enables one subject of a name: each source publishes a name of its own.
	FHostProcess Host({"--project", Project.Path().string(), "--jsonl", "--endpoint", First, "--subject-name", "Near Camera", "--endpoint",
		Second, "--subject-name", "Far Camera", "--no-take-recorder", "--duration", "60"});
	const std::optional<json> Listed =
		Host.WaitForEvent([&](const json& Event) { return IsEvent(Event, "source") && Event["source"] == Second; });
	ASSERT_TRUE(Listed) << "no source event for the second endpoint";
	EXPECT_EQ((*Listed)["connection"], Second);
	ASSERT_TRUE(Host.FindOrWaitForEvent([&](const json& Event) { return IsEvent(Event, "source") && Event["source"] == First; }));

	const std::unique_ptr<FHostProcess> NearCamera = StartStillCamera(First, 100);
	const std::unique_ptr<FHostProcess> FarCamera = StartStillCamera(Second, 250);
	std::set<std::string> Framed;
	const auto FramedBoth = [&](const json& Event) {
		if (IsEvent(Event, "frame"))
		{
			Framed.insert(Event["source"].get<std::string>());
		}
		return Framed.size() == 2;
	};
	ASSERT_TRUE(Host.WaitForEvent(FramedBoth)) << "frames came only from " << (Framed.empty() ? "neither source" : *Framed.begin());
	// Every stream reached its own source, and only it.
	for (const json& Event : Host.Events)
	{
		if (IsEvent(Event, "frame"))
		{
			ASSERT_TRUE(Event["source"] == First || Event["source"] == Second) << Event;
			EXPECT_NEAR(DistanceFromAxis(Event), Event["source"] == First ? 100.0 : 250.0, 0.5) << Event;
			EXPECT_EQ(Event["subject"], Event["source"] == First ? "Near Camera" : "Far Camera") << Event;
		}
		if (IsEvent(Event, "static"))
		{
			EXPECT_TRUE(Event["source"] == First || Event["source"] == Second) << Event;
			EXPECT_EQ(Event["subject"], Event["source"] == First ? "Near Camera" : "Far Camera") << Event;
		}
	}
	std::set<std::string> Counted;
	ASSERT_TRUE(Host.WaitForEvent([&](const json& Event) {
		if (IsEvent(Event, "stats") && Event["datagramsReceived"].get<long long>() > 0)
		{
			Counted.insert(Event["source"].get<std::string>());
		}
		return Counted.size() == 2;
	})) << "stats of both sources";

	NearCamera->Signal(SIGTERM);
	FarCamera->Signal(SIGTERM);
	EXPECT_EQ(NearCamera->Wait(), 0);
	EXPECT_EQ(FarCamera->Wait(), 0);
	Host.Signal(SIGTERM);
	EXPECT_EQ(Host.Wait(), 0) << Host.GetErrors();
}

TEST(HostSources, SameSubjectNameTwiceLeavesTheSecondDisabledAndItsDetailsSaySo)
{
	FTempProject Project;
	const std::string First = "127.0.0.1:" + std::to_string(FreeLoopbackPort());
	const std::string Second = "127.0.0.1:" + std::to_string(FreeLoopbackPort());
	ASSERT_NE(First, Second);
	FHostProcess Host({"--project", Project.Path().string(), "--jsonl", "--endpoint", First, "--subject-name", "Crane", "--endpoint",
		Second, "--subject-name", "Crane", "--no-take-recorder", "--duration", "60"});
	ASSERT_TRUE(Host.WaitForEvent([&](const json& Event) { return IsEvent(Event, "source") && Event["source"] == Second; }));
	const std::unique_ptr<FHostProcess> FirstCamera = StartStillCamera(First, 100);
	const std::unique_ptr<FHostProcess> SecondCamera = StartStillCamera(Second, 250);

	// The first source's subject came first and is the enabled one; the second receives, and says why nothing of it
	// is used. Two of its stats a second apart, both after datagrams arrived, leave many ticks in between.
	std::optional<long long> SecondReceived;
	const std::optional<json> Later = Host.WaitForEvent([&](const json& Event) {
		if (!IsEvent(Event, "stats") || Event["source"] != Second || Event["datagramsReceived"].get<long long>() == 0)
		{
			return false;
		}
		if (!SecondReceived)
		{
			SecondReceived = Event["datagramsReceived"].get<long long>();
			return false;
		}
		return Event["datagramsReceived"].get<long long>() > *SecondReceived;
	});
	ASSERT_TRUE(Later) << "no stats of the second source after its datagrams";
	EXPECT_EQ((*Later)["subjectName"], "Crane");
	const std::string Status = (*Later)["subjectStatus"].get<std::string>();
	EXPECT_EQ(Status.rfind("Disabled: another source publishes an enabled subject named 'Crane'", 0), 0u) << Status;
	ASSERT_TRUE(Host.FindOrWaitForEvent(
		[&](const json& Event) { return IsEvent(Event, "stats") && Event["source"] == First && Event["subjectStatus"] == "Enabled"; }));
	ASSERT_TRUE(Host.FindOrWaitForEvent([&](const json& Event) { return IsEvent(Event, "frame") && Event["source"] == First; }));
	// Both sources push (a frame event is a push); Live Link drops the disabled subject's frames when it applies them.
	for (const json& Event : Host.Events)
	{
		if (IsEvent(Event, "frame"))
		{
			EXPECT_EQ(Event["subject"], "Crane") << Event;
		}
	}

	FirstCamera->Signal(SIGTERM);
	SecondCamera->Signal(SIGTERM);
	EXPECT_EQ(FirstCamera->Wait(), 0);
	EXPECT_EQ(SecondCamera->Wait(), 0);
	Host.Signal(SIGTERM);
	EXPECT_EQ(Host.Wait(), 0) << Host.GetErrors();
}
