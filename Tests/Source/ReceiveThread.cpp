#include "SourceTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace
{
using namespace std::chrono_literals;
using FClock = std::chrono::steady_clock;

TEST(ReceiveThread, SeveralDatagramsSentTogetherAllReachTheDecoderInOrder)
{
	auto Source = MakeLoopbackSource();
	FTavrixLiveLinkSourceInspector Inspector(*Source);
	FLoopbackUdp Sender;
	constexpr int Count = 50;
	for (int Frame = 1; Frame <= Count; ++Frame)
	{
		ASSERT_TRUE(Sender.SendTo(static_cast<uint16_t>(Inspector.GetBoundPort()), CameraMessageWithFrame(Frame)));
	}
	ASSERT_TRUE(WaitUntil([&] { return Inspector.GetDecodedCameraCount() == Count; }));
	// Only the latest datagram is kept: the last one sent must be the last one decoded.
	EXPECT_EQ(Inspector.GetReceivedState().Timecode[0], Count);
}

TEST(ReceiveThread, EmptyDatagramIsConsumedAndDoesNotWedgeTheSocket)
{
	auto Source = MakeLoopbackSource();
	FTavrixLiveLinkSourceInspector Inspector(*Source);
	FLoopbackUdp Sender;
	const uint16_t Port = static_cast<uint16_t>(Inspector.GetBoundPort());
	ASSERT_TRUE(Sender.SendTo(Port, ""));
	ASSERT_TRUE(Sender.SendTo(Port, CameraMessageWithFrame(7)));
	ASSERT_TRUE(WaitUntil([&] { return Inspector.GetDecodedCameraCount() == 1; }));
	EXPECT_EQ(Inspector.GetReceivedState().Timecode[0], 7);
}

TEST(ReceiveThread, StopWithoutTrafficEndsTheThreadWithinAFewWaitPeriods)
{
	auto Source = MakeLoopbackSource();
	FTavrixLiveLinkSourceInspector Inspector(*Source);
	std::this_thread::sleep_for(30ms); // let the loop settle into its readable-wait

	const auto Start = FClock::now();
	Source->RequestSourceShutdown();
	Inspector.WaitForReceiveThread();
	// One wait period is 10 ms; a generous bound keeps a loaded machine from failing a correct loop.
	EXPECT_LT(FClock::now() - Start, 1000ms);
}

TEST(ReceiveThread, DestroyingUnderAFloodReturnsPromptly)
{
	auto Source = MakeLoopbackSource();
	FTavrixLiveLinkSourceInspector Inspector(*Source);
	const uint16_t Port = static_cast<uint16_t>(Inspector.GetBoundPort());

	// Joined on every way out of the test, a failed assertion included.
	struct FFlooder
	{
		std::atomic<bool> bFlooding{true};
		std::thread Thread;
		~FFlooder()
		{
			bFlooding = false;
			if (Thread.joinable())
			{
				Thread.join();
			}
		}
	} Flooder;
	Flooder.Thread = std::thread([&] {
		FLoopbackUdp Sender;
		const std::string Message = CameraMessageWithFrame(1);
		while (Flooder.bFlooding.load())
		{
			Sender.SendTo(Port, Message);
		}
	});
	ASSERT_TRUE(WaitUntil([&] { return Inspector.GetDecodedCameraCount() > 100; }));

	const auto Start = FClock::now();
	Source.reset();
	const auto Elapsed = FClock::now() - Start;
	EXPECT_LT(Elapsed, 2000ms);
}

TEST(ReceiveThread, ThreadThatEndsBeforeReceiveClientRemovesNothing)
{
	FLiveLinkClient Client;
	TSharedPtr<FTavrixLiveLinkSource> Source = MakeSharedLoopbackSource();
	FTavrixLiveLinkSourceInspector Inspector(*Source);
	Source->RequestSourceShutdown();
	Inspector.WaitForReceiveThread();

	int OtherTicks = 0;
	Client.TickNotification().AddLambda([&] { ++OtherTicks; });
	const FGuid Guid = Client.AddSource(Source);
	Source.Reset();
	Client.Tick();
	EXPECT_EQ(OtherTicks, 1);
	EXPECT_TRUE(Client.HasSubject(FLiveLinkSubjectKey(Guid, FName("Tavrix - Camera"))));

	// The subscription it made after its thread had ended is removed by its destructor.
	Client.RemoveSource(Guid);
	Client.Tick();
	EXPECT_EQ(OtherTicks, 2);
}

TEST(ReceiveThread, TwoSourcesHaveThreadsWithDifferentNames)
{
	auto First = MakeLoopbackSource();
	auto Second = MakeLoopbackSource();
	const std::string FirstName = FTavrixLiveLinkSourceInspector(*First).GetThreadName().ToUtf8();
	const std::string SecondName = FTavrixLiveLinkSourceInspector(*Second).GetThreadName().ToUtf8();
	EXPECT_EQ(FirstName.rfind("Halvecor Tavrix Link", 0), 0u);
	EXPECT_EQ(SecondName.rfind("Halvecor Tavrix Link", 0), 0u);
	EXPECT_GT(FirstName.size(), std::string("Halvecor Tavrix Link").size());
	EXPECT_NE(FirstName, SecondName);
	EXPECT_EQ(FirstName, FTavrixLiveLinkSourceInspector(*First).GetThreadNameMember().ToUtf8());
}

TEST(ReceiveThread, SubscriptionEndsWhenTheThreadLeavesItsLoop)
{
	FLiveLinkClient Client;
	TSharedPtr<FTavrixLiveLinkSource> Source = MakeSharedLoopbackSource();
	FTavrixLiveLinkSourceInspector Inspector(*Source);
	const FGuid Guid = Client.AddSource(Source);
	EXPECT_TRUE(Client.TickNotification().IsBound());

	Source->RequestSourceShutdown();
	Inspector.WaitForReceiveThread();
	EXPECT_FALSE(Client.TickNotification().IsBound());
	Source.Reset();
	Client.RemoveSource(Guid);
}

// The receive thread removes its tick subscription while the game thread raises the notification: the removal
// must be serialised with the raise (ThreadSanitizer watches this test).
TEST(ReceiveThread, SubscriptionRemovalRacesTheTickSafely)
{
	FLiveLinkClient Client;
	for (int Round = 0; Round < 100; ++Round)
	{
		TSharedPtr<FTavrixLiveLinkSource> Source = MakeSharedLoopbackSource(true, false, false);
		FTavrixLiveLinkSourceInspector Inspector(*Source);
		FLoopbackUdp Sender;
		Sender.SendTo(static_cast<uint16_t>(Inspector.GetBoundPort()), CameraMessageWithFrame(Round));
		const FGuid Guid = Client.AddSource(Source);
		Source->RequestSourceShutdown();
		const auto Deadline = FClock::now() + 10s;
		while (Client.TickNotification().IsBound() && FClock::now() < Deadline)
		{
			Client.Tick();
		}
		EXPECT_FALSE(Client.TickNotification().IsBound());
		Source.Reset();
		Client.RemoveSource(Guid);
	}
	EXPECT_EQ(Client.GetSourceCount(), 0);
}
} // namespace
