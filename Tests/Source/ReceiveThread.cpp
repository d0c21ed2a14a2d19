#include "SourceTestSupport.h"
#include "LiveLinkClientTesting.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <regex>
#include <sstream>
#include <string>
#include <thread>

namespace
{
using namespace std::chrono_literals;
using FClock = std::chrono::steady_clock;

/** This process's UDP socket bound to Port, found among its open descriptors; -1 when there is none. */
int FindDatagramDescriptorBoundTo(uint16_t Port)
{
	for (const std::filesystem::directory_entry& Entry : std::filesystem::directory_iterator("/proc/self/fd"))
	{
		const int Descriptor = std::stoi(Entry.path().filename().string());
		int Type = 0;
		socklen_t TypeSize = sizeof(Type);
		sockaddr_in Address{};
		socklen_t AddressSize = sizeof(Address);
		if (::getsockopt(Descriptor, SOL_SOCKET, SO_TYPE, &Type, &TypeSize) == 0 && Type == SOCK_DGRAM &&
			::getsockname(Descriptor, reinterpret_cast<sockaddr*>(&Address), &AddressSize) == 0 && Address.sin_family == AF_INET &&
			ntohs(Address.sin_port) == Port)
		{
			return Descriptor;
		}
	}
	return -1;
}

int ReadSocketOption(int Descriptor, int Option)
{
	int Value = -1;
	socklen_t Size = sizeof(Value);
	return ::getsockopt(Descriptor, SOL_SOCKET, Option, &Value, &Size) == 0 ? Value : -1;
}

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

/** CPU time the thread has used so far, user and system, in clock ticks of the system (usually 10 ms). */
long ThreadCpuTicks(uint32 ThreadId)
{
	std::ifstream Stat("/proc/self/task/" + std::to_string(ThreadId) + "/stat");
	std::string Line;
	std::getline(Stat, Line);
	// The fields after the parenthesised name: state is field 3, utime 14 and stime 15.
	std::istringstream Fields(Line.substr(Line.rfind(')') + 2));
	std::string Field;
	long UserTicks = 0;
	long SystemTicks = 0;
	for (int Index = 3; Index <= 15 && Fields >> Field; ++Index)
	{
		if (Index == 14)
		{
			UserTicks = std::stol(Field);
		}
		if (Index == 15)
		{
			SystemTicks = std::stol(Field);
		}
	}
	return UserTicks + SystemTicks;
}

// The system counts 0 queued bytes for an empty datagram while the socket stays readable: the loop must take it
// off the queue, or it wakes at once on every wait and never reads what follows.
TEST(ReceiveThread, EmptyDatagramIsConsumedWithoutWedgingOrSpinning)
{
	auto Source = MakeLoopbackSource();
	FTavrixLiveLinkSourceInspector Inspector(*Source);
	FLoopbackUdp Sender;
	const uint16_t Port = static_cast<uint16_t>(Inspector.GetBoundPort());
	ASSERT_TRUE(Sender.SendTo(Port, ""));
	ASSERT_TRUE(Sender.SendTo(Port, CameraMessageWithFrame(7)));
	ASSERT_TRUE(WaitUntil([&] { return Inspector.GetDecodedCameraCount() == 1; }));
	EXPECT_EQ(Inspector.GetReceivedState().Timecode[0], 7);

	ASSERT_TRUE(Sender.SendTo(Port, ""));
	const long CpuBefore = ThreadCpuTicks(Inspector.GetReceiveThreadId());
	std::this_thread::sleep_for(500ms); // the time a spinning loop needs to show
	const long CpuAfter = ThreadCpuTicks(Inspector.GetReceiveThreadId());
	// A thread that waits uses next to nothing; one that wakes at once on every wait uses the whole half second.
	EXPECT_LT(CpuAfter - CpuBefore, 15);
	ASSERT_TRUE(Sender.SendTo(Port, CameraMessageWithFrame(8)));
	ASSERT_TRUE(WaitUntil([&] { return Inspector.GetDecodedCameraCount() == 2; }));
}

TEST(ReceiveThread, DatagramsQueuedWhenTheStopComesAreStillDecoded)
{
	auto Source = MakeLoopbackSource();
	FTavrixLiveLinkSourceInspector Inspector(*Source);
	FLoopbackUdp Sender;
	const uint16_t Port = static_cast<uint16_t>(Inspector.GetBoundPort());
	constexpr int Queued = 20;
	{
		// The receive thread stalls in the decoder of the first datagram while the rest queue up behind it, and
		// the stop is requested before it gets back to the socket.
		std::unique_lock<std::mutex> Held = Inspector.HoldDataMutex();
		ASSERT_TRUE(Sender.SendTo(Port, CameraMessageWithFrame(0)));
		std::this_thread::sleep_for(50ms); // lets the thread reach the held lock; the test holds without it too
		for (int Frame = 1; Frame <= Queued; ++Frame)
		{
			ASSERT_TRUE(Sender.SendTo(Port, CameraMessageWithFrame(Frame)));
		}
		Source->RequestSourceShutdown();
	}
	Inspector.WaitForReceiveThread();
	EXPECT_EQ(Inspector.GetDecodedCameraCount(), static_cast<uint64>(Queued + 1));
	EXPECT_EQ(Inspector.GetReceivedState().Timecode[0], Queued);
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

TEST(ReceiveThread, ThreadThatEndedBeforeReceiveClientPublishesNothing)
{
	FLiveLinkClient Client;
	TSharedPtr<FTavrixLiveLinkSource> Source = MakeSharedLoopbackSource();
	FTavrixLiveLinkSourceInspector Inspector(*Source);
	Source->RequestSourceShutdown();
	Inspector.WaitForReceiveThread();

	int OtherTicks = 0;
	Client.OnLiveLinkTicked().AddLambda([&] { ++OtherTicks; });
	const FGuid Guid = Client.AddSource(Source);
	Source.Reset();
	Client.Tick();
	EXPECT_EQ(OtherTicks, 1);
	EXPECT_FALSE(FLiveLinkClientTesting::HasSubject(Client, FLiveLinkSubjectKey(Guid, FName("Tavrix - Camera"))));

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

TEST(ReceiveThread, ThreadRunsAboveNormalUnderTheLinkNameAndADecimalNumber)
{
	auto Source = MakeLoopbackSource();
	FTavrixLiveLinkSourceInspector Inspector(*Source);
	EXPECT_EQ(Inspector.GetThreadPriority(), TPri_AboveNormal);
	const std::string Name = Inspector.GetThreadName().ToUtf8();
	EXPECT_TRUE(std::regex_match(Name, std::regex("Halvecor Tavrix Link[0-9]+"))) << '"' << Name << '"';
}

TEST(ReceiveThread, SocketIsReusableNonBlockingAndAsksForAMebibyteReceiveBuffer)
{
	auto Source = MakeLoopbackSource();
	FTavrixLiveLinkSourceInspector Inspector(*Source);
	const int Descriptor = FindDatagramDescriptorBoundTo(static_cast<uint16_t>(Inspector.GetBoundPort()));
	ASSERT_GE(Descriptor, 0);
	EXPECT_NE(ReadSocketOption(Descriptor, SO_REUSEADDR), 0);
	EXPECT_NE(::fcntl(Descriptor, F_GETFL) & O_NONBLOCK, 0);

	// Linux grants at most rmem_max of what is asked and reports twice what it granted.
	long MaxReceiveBuffer = 0;
	ASSERT_TRUE(std::ifstream("/proc/sys/net/core/rmem_max") >> MaxReceiveBuffer);
	EXPECT_EQ(ReadSocketOption(Descriptor, SO_RCVBUF), 2 * std::min<long>(1048576, MaxReceiveBuffer)) << "rmem_max " << MaxReceiveBuffer;
}

// The client's notification takes no lock, so the subscription is ended on the game thread: by the first tick
// after the receive thread has left its loop, and that tick publishes nothing.
TEST(ReceiveThread, SubscriptionEndsOnTheFirstTickAfterTheThreadLeavesItsLoop)
{
	FLiveLinkClient Client;
	TSharedPtr<FTavrixLiveLinkSource> Source = MakeSharedLoopbackSource();
	FTavrixLiveLinkSourceInspector Inspector(*Source);
	const FGuid Guid = Client.AddSource(Source);
	const FLiveLinkSubjectKey Subject(Guid, FName("Tavrix - Camera"));
	FLoopbackUdp Sender;
	ASSERT_TRUE(Sender.SendTo(static_cast<uint16_t>(Inspector.GetBoundPort()), CameraMessageWithFrame(3)));
	ASSERT_TRUE(WaitUntil([&] { return Inspector.HasReceivedData(); }));
	// Published on the first tick, applied by the second.
	Client.Tick();
	Client.Tick();
	EXPECT_GE(FLiveLinkClientTesting::GetFrameCount(Client, Subject), 1u);

	Source->RequestSourceShutdown();
	Inspector.WaitForReceiveThread();
	EXPECT_TRUE(Client.OnLiveLinkTicked().IsBound());
	Client.Tick();
	EXPECT_FALSE(Client.OnLiveLinkTicked().IsBound());
	// Whatever that tick had published would be applied by the next one.
	const uint64 Applied = FLiveLinkClientTesting::GetFrameCount(Client, Subject);
	Client.Tick();
	EXPECT_EQ(FLiveLinkClientTesting::GetFrameCount(Client, Subject), Applied);
	Source.Reset();
	Client.RemoveSource(Guid);
}

// The receive thread ends while the game thread raises the notification: only the game thread may touch the
// subscription (ThreadSanitizer watches this test).
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
		while (Client.OnLiveLinkTicked().IsBound() && FClock::now() < Deadline)
		{
			Client.Tick();
		}
		EXPECT_FALSE(Client.OnLiveLinkTicked().IsBound());
		Source.Reset();
		Client.RemoveSource(Guid);
	}
	EXPECT_EQ(Client.GetSources().Num(), 0);
}
} // namespace
