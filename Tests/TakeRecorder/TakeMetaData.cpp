#include "TakeRecorderTestSupport.h"

namespace
{
class TakeMetaData : public FTakeRecorderFixture
{
protected:
	void SetUp() override
	{
		FTakeRecorderFixture::SetUp();
		SlateHandle = FTakeRecorderHost::OnTakeSlateChanged().AddLambda([this](const FString& Slate, UTakeMetaData* MetaData) {
			Slates.push_back(Slate.ToUtf8());
			Senders.push_back(MetaData);
		});
		NumberHandle = FTakeRecorderHost::OnTakeNumberChanged().AddLambda([this](int32 TakeNumber, UTakeMetaData* MetaData) {
			Numbers.push_back(TakeNumber);
			Senders.push_back(MetaData);
		});
	}
	void TearDown() override
	{
		FTakeRecorderHost::OnTakeSlateChanged().Remove(SlateHandle);
		FTakeRecorderHost::OnTakeNumberChanged().Remove(NumberHandle);
		FTakeRecorderFixture::TearDown();
	}

	std::vector<std::string> Slates;
	std::vector<int32> Numbers;
	std::vector<UTakeMetaData*> Senders;

private:
	FDelegateHandle SlateHandle;
	FDelegateHandle NumberHandle;
};

TEST_F(TakeMetaData, SettersStoreAndAnnounceEverySet)
{
	UTakeMetaData* MetaData = UTakeRecorderBlueprintLibrary::OpenTakeRecorderPanel()->GetTakeMetaData();
	ASSERT_NE(MetaData, nullptr);
	MetaData->SetSlate(TEXT("Scene 4"), true);
	MetaData->SetTakeNumber(7, true);
	MetaData->SetSlate(TEXT("Scene 4"), true);

	EXPECT_TRUE(MetaData->GetSlate().Equals(TEXT("Scene 4")));
	EXPECT_EQ(MetaData->GetTakeNumber(), 7);
	EXPECT_EQ(Slates, (std::vector<std::string>{"Scene 4", "Scene 4"}));
	EXPECT_EQ(Numbers, std::vector<int32>{7});
	EXPECT_EQ(Senders, (std::vector<UTakeMetaData*>{MetaData, MetaData, MetaData}));
}

TEST_F(TakeMetaData, SettersWithoutEmitChangedStaySilent)
{
	UTakeMetaData* MetaData = UTakeRecorderBlueprintLibrary::OpenTakeRecorderPanel()->GetTakeMetaData();
	MetaData->SetSlate(TEXT("scene 4"), false);
	MetaData->SetTakeNumber(-3, false);

	EXPECT_TRUE(MetaData->GetSlate().Equals(TEXT("scene 4"), ESearchCase::CaseSensitive));
	EXPECT_EQ(MetaData->GetTakeNumber(), 1) << "the editor stores a take number of at least 1";
	EXPECT_TRUE(Slates.empty());
	EXPECT_TRUE(Numbers.empty());
}
} // namespace
