#include "ClientTestSupport.h"

namespace
{
class SubjectArbitration : public FClientTest
{
protected:
	void SetUp() override
	{
		First = AddCamera(AddSource(ELiveLinkSourceMode::Latest));
		Second = AddCamera(AddSource(ELiveLinkSourceMode::Latest));
	}
	void PushBoth()
	{
		PushFrame(First, 1.0, 1.0f);
		PushFrame(Second, 1.0, 2.0f);
	}
	FLiveLinkSubjectKey First;
	FLiveLinkSubjectKey Second;
};

TEST_F(SubjectArbitration, OnlyTheFirstSubjectOfANameIsEnabledAndTheOthersFramesAreDropped)
{
	EXPECT_TRUE(Client.IsSubjectEnabled(First, true));
	EXPECT_FALSE(Client.IsSubjectEnabled(Second, true));
	EXPECT_EQ(Client.GetSubjects(false, false).Num(), 1);
	EXPECT_EQ(Client.GetSubjects(true, false).Num(), 2);
	PushBoth();
	Tick();
	EXPECT_EQ(Evaluated(), 1.0f);
	EXPECT_EQ(FLiveLinkClientTesting::GetFrameCount(Client, Second), 0u);
	EXPECT_TRUE(Buffered(Second).empty());
}

TEST_F(SubjectArbitration, EnablingAnotherSwitchesFromTheNextTick)
{
	Client.SetSubjectEnabled(Second, true);
	EXPECT_TRUE(Client.IsSubjectEnabled(Second, false));
	EXPECT_FALSE(Client.IsSubjectEnabled(Second, true));
	EXPECT_FALSE(Client.IsSubjectEnabled(First, false));
	EXPECT_TRUE(Client.IsSubjectEnabled(First, true));
	Tick();
	EXPECT_TRUE(Client.IsSubjectEnabled(Second, true));
	EXPECT_FALSE(Client.IsSubjectEnabled(First, true));
	PushBoth();
	Tick();
	EXPECT_EQ(Evaluated(), 2.0f);
	EXPECT_TRUE(Buffered(First).empty()) << "a disabled subject's buffer is cleared";
}

TEST_F(SubjectArbitration, RemovingTheEnabledSubjectEnablesNoOther)
{
	Client.RemoveSubject_AnyThread(First);
	EXPECT_TRUE(FLiveLinkClientTesting::HasSubject(Client, First)) << "removed by the next tick";
	PushBoth();
	Tick();
	EXPECT_FALSE(FLiveLinkClientTesting::HasSubject(Client, First));
	EXPECT_FALSE(Client.IsSubjectEnabled(Second, true));
	EXPECT_FALSE(Client.IsSubjectEnabled(FLiveLinkSubjectName(FName("Camera"))));
	EXPECT_TRUE(std::isnan(Evaluated()));
}

TEST_F(SubjectArbitration, RemovalComesBeforeTheQueuedDataOfTheSameTick)
{
	Client.RemoveSubject_AnyThread(First);
	PushStatic(First);
	Tick();
	EXPECT_TRUE(FLiveLinkClientTesting::HasSubject(Client, First)) << "static data queued after the mark makes the subject anew";
	EXPECT_EQ(FLiveLinkClientTesting::GetTickCount(Client), 3u);
	EXPECT_TRUE(Client.IsSubjectEnabled(First, true)) << "no other subject of the name is enabled";
	EXPECT_FALSE(Client.IsSubjectEnabled(Second, true));
}
} // namespace
