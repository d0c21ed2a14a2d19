#include "CoreMinimal.h"
#include "HAL/Runnable.h"
#include "HAL/RunnableThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace
{
int StaticCalls = 0;
void CountWithPayload(int* Counter, int Step)
{
	*Counter += Step;
	++StaticCalls;
}

TEST(EngineDelegates, PayloadsFollowTheCallArguments)
{
	int Counter = 0;
	TDelegate<void()> Delegate = TDelegate<void()>::CreateStatic(&CountWithPayload, &Counter, 3);
	Delegate.Execute();
	Delegate.Execute();
	EXPECT_EQ(Counter, 6);

	struct FTarget
	{
		int Sum(int A, int B) const { return A + B; }
	} Target;
	TDelegate<int(int)> Bound = TDelegate<int(int)>::CreateRaw(&Target, &FTarget::Sum, 10);
	EXPECT_EQ(Bound.Execute(5), 15);
	EXPECT_FALSE(TDelegate<void()>().ExecuteIfBound());
}

TEST(EngineDelegates, MulticastRemovalInsideTheRaiseIsHonoured)
{
	FSimpleMulticastDelegate Notification;
	int First = 0;
	int Second = 0;
	FDelegateHandle SecondHandle;
	Notification.AddLambda([&] {
		++First;
		Notification.Remove(SecondHandle);
	});
	SecondHandle = Notification.AddLambda([&] { ++Second; });
	Notification.Broadcast();
	Notification.Broadcast();
	EXPECT_EQ(First, 2);
	EXPECT_EQ(Second, 0);
	EXPECT_FALSE(Notification.Remove(SecondHandle));
}

class FRecordingRunnable : public FRunnable
{
public:
	bool Init() override
	{
		Order += "I";
		return true;
	}
	uint32 Run() override
	{
		Order += "R";
		return 0;
	}
	void Exit() override { Order += "E"; }
	std::string Order;
};

TEST(EngineThreads, RunnableRunsInitRunExitInOrderOnANamedThread)
{
	FRecordingRunnable Runnable;
	FRunnableThread* Thread = FRunnableThread::Create(&Runnable, TEXT("A rather long thread name 7"), 128 * 1024, TPri_AboveNormal);
	ASSERT_NE(Thread, nullptr);
	Thread->WaitForCompletion();
	EXPECT_EQ(Runnable.Order, "IRE");
	EXPECT_EQ(Thread->GetThreadName().ToUtf8(), "A rather long thread name 7");
	delete Thread;
}
} // namespace
