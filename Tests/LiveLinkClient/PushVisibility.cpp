#include "ClientTestSupport.h"

#include <thread>

namespace
{
using PushAcceptance = FClientTest;

enum class EPushFrom
{
	BeforeTheTick,
	AnotherThreadBeforeTheTick,
	TickNotification,
	SourceUpdate,
};

struct FVisibilityCase
{
	const char* Name;
	EPushFrom From;
	/** The tick (counted from 1) whose snapshot first holds the frame. */
	int FirstSeenOnTick;
};

class PushVisibility : public FClientTest, public testing::WithParamInterface<FVisibilityCase>
{
};

TEST_P(PushVisibility, FrameIsFirstEvaluatedOnTheTickAfterItIsQueued)
{
	const FGuid Guid = Client.AddSource(MakeShared<FLiveLinkTestSource>());
	Settings(Guid)->Mode = ELiveLinkSourceMode::Latest;
	FLiveLinkTestSource& Source = static_cast<FLiveLinkTestSource&>(*FLiveLinkClientTesting::GetSource(Client, Guid));
	const FLiveLinkSubjectKey Key = AddCamera(Guid);
	bool bPushed = false;
	const auto PushOnce = [&] {
		if (!bPushed)
		{
			bPushed = true;
			PushFrame(Key, 1.0, 7.0f);
		}
	};
	switch (GetParam().From)
	{
	case EPushFrom::BeforeTheTick:
		PushOnce();
		break;
	case EPushFrom::AnotherThreadBeforeTheTick:
		std::thread([&] { PushOnce(); }).join();
		break;
	case EPushFrom::TickNotification:
		Client.OnLiveLinkTicked().AddLambda([&] { PushOnce(); });
		break;
	case EPushFrom::SourceUpdate:
		Source.OnUpdate = PushOnce;
		break;
	}
	for (int TickNumber = 1; TickNumber <= 3; ++TickNumber)
	{
		Tick();
		EXPECT_EQ(!std::isnan(Evaluated()), TickNumber >= GetParam().FirstSeenOnTick) << "tick " << TickNumber;
	}
	EXPECT_EQ(Evaluated(), 7.0f);
}

INSTANTIATE_TEST_SUITE_P(, PushVisibility,
	testing::Values(FVisibilityCase{"BeforeTheTick", EPushFrom::BeforeTheTick, 1},
		FVisibilityCase{"AnotherThreadBeforeTheTick", EPushFrom::AnotherThreadBeforeTheTick, 1},
		FVisibilityCase{"TickNotification", EPushFrom::TickNotification, 2}, FVisibilityCase{"SourceUpdate", EPushFrom::SourceUpdate, 2}),
	[](const testing::TestParamInfo<FVisibilityCase>& Info) { return std::string(Info.param.Name); });

TEST_F(PushAcceptance, StaticDataIsAppliedOnlyByTheNextTick)
{
	const FGuid Guid = AddSource();
	const FLiveLinkSubjectKey Key(Guid, FName("Camera"));
	PushStatic(Key);
	EXPECT_FALSE(FLiveLinkClientTesting::HasSubject(Client, Key));
	EXPECT_EQ(Client.GetSubjects(true, true).Num(), 0);
	Tick();
	EXPECT_TRUE(FLiveLinkClientTesting::HasSubject(Client, Key));
	EXPECT_TRUE(Client.IsSubjectEnabled(Key, true));
}

TEST_F(PushAcceptance, FrameOfAnUnknownSourceOrBeforeStaticDataIsDropped)
{
	const FGuid Guid = AddSource(ELiveLinkSourceMode::Latest);
	const FLiveLinkSubjectKey Key(Guid, FName("Camera"));
	PushFrame(Key, 1.0, 1.0f);
	Tick();
	PushStatic(Key);
	PushFrame(FLiveLinkSubjectKey(FGuid::NewGuid(), FName("Camera")), 1.0, 2.0f);
	Tick();
	EXPECT_TRUE(FLiveLinkClientTesting::HasSubject(Client, Key));
	EXPECT_EQ(FLiveLinkClientTesting::GetFrameCount(Client, Key), 0u);
	// Static data is applied before the frames of the same tick.
	PushFrame(Key, 2.0, 3.0f);
	PushStatic(Key);
	Tick();
	EXPECT_EQ(FLiveLinkClientTesting::GetFrameCount(Client, Key), 1u);
}
} // namespace
