#include "LiveLinkClient.h"
#include "StreamHealthTestTypes.h"
#include "UObject/WeakObjectPtr.h"
#include "LiveLinkClientTesting.h"
#include "UObject/UnrealType.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace
{
/** What a source saw of the client, in order, with what it could tell of its settings object at each step. */
struct FSourceJournal
{
	std::vector<std::string> Calls;
	ULiveLinkSourceSettings* Settings = nullptr;
	TWeakObjectPtr<ULiveLinkSourceSettings> WeakSettings;
	bool bSettingsAliveAtDestruction = false;
	std::vector<FName> ChangedProperties;
	/** Gain as the hook found it in the object. */
	std::vector<int32> GainsSeen;
};

class FJournalSource final : public ILiveLinkSource
{
public:
	FJournalSource(std::shared_ptr<FSourceJournal> InJournal, UClass* InSettingsClass)
		: Journal(MoveTemp(InJournal))
		, SettingsClass(InSettingsClass)
	{
	}
	~FJournalSource() override
	{
		Journal->Calls.push_back("Destroyed");
		Journal->bSettingsAliveAtDestruction = Journal->WeakSettings.IsValid();
	}

	void ReceiveClient(ILiveLinkClient* InClient, FGuid InSourceGuid) override
	{
		(void)InClient;
		(void)InSourceGuid;
		Journal->Calls.push_back("ReceiveClient");
	}
	void InitializeSettings(ULiveLinkSourceSettings* Settings) override
	{
		Journal->Calls.push_back("InitializeSettings");
		Journal->Settings = Settings;
		Journal->WeakSettings = Settings;
	}
	bool IsSourceStillValid() const override { return true; }
	bool RequestSourceShutdown() override { return true; }
	FText GetSourceType() const override { return FText::FromString(TEXT("Journal")); }
	FText GetSourceMachineName() const override { return FText::FromString(TEXT("here")); }
	FText GetSourceStatus() const override { return FText::FromString(TEXT("fine")); }
	TSubclassOf<ULiveLinkSourceSettings> GetSettingsClass() const override { return SettingsClass; }
	void OnSettingsChanged(ULiveLinkSourceSettings* Settings, const FPropertyChangedEvent& PropertyChangedEvent) override
	{
		Journal->Calls.push_back("OnSettingsChanged");
		EXPECT_EQ(Settings, Journal->Settings);
		Journal->ChangedProperties.push_back(PropertyChangedEvent.GetPropertyName());
		if (Settings->IsA(UStreamHealthTestSourceSettings::StaticClass()))
		{
			Journal->GainsSeen.push_back(static_cast<UStreamHealthTestSourceSettings*>(Settings)->Gain);
		}
		if (OnChanged)
		{
			OnChanged();
		}
	}

	std::function<void()> OnChanged;

private:
	std::shared_ptr<FSourceJournal> Journal;
	UClass* SettingsClass;
};

struct FJournalledSource
{
	std::shared_ptr<FSourceJournal> Journal = std::make_shared<FSourceJournal>();
	TSharedPtr<FJournalSource> Source;
	FGuid Guid;
};

FJournalledSource AddJournalSource(FLiveLinkClient& Client, UClass* SettingsClass = UStreamHealthTestSourceSettings::StaticClass())
{
	FJournalledSource Added;
	Added.Source = MakeShared<FJournalSource>(Added.Journal, SettingsClass);
	Added.Guid = Client.AddSource(Added.Source);
	return Added;
}

TEST(SourceSettingsObjects, SourceGetsAnObjectOfItsSettingsClassAfterItsClient)
{
	FLiveLinkClient Client;
	const FJournalledSource Added = AddJournalSource(Client);
	EXPECT_EQ(Added.Journal->Calls, (std::vector<std::string>{"ReceiveClient", "InitializeSettings"}));
	ASSERT_NE(Added.Journal->Settings, nullptr);
	EXPECT_EQ(Added.Journal->Settings->GetClass(), UStreamHealthTestSourceSettings::StaticClass());
	EXPECT_EQ(Client.GetSourceSettings(Added.Guid), Added.Journal->Settings);

	// Each source has its own.
	const FJournalledSource Other = AddJournalSource(Client);
	EXPECT_NE(Other.Journal->Settings, Added.Journal->Settings);
	EXPECT_EQ(Client.GetSourceSettings(FGuid::NewGuid()), nullptr);
}

TEST(SourceSettingsObjects, SourceWithoutAUsableSettingsClassGetsTheBaseSettings)
{
	FLiveLinkClient Client;
	for (UClass* SettingsClass :
		{static_cast<UClass*>(nullptr), ULiveLinkSourceSettings::StaticClass(), UStreamHealthTestNotSettings::StaticClass()})
	{
		const FJournalledSource Added = AddJournalSource(Client, SettingsClass);
		ASSERT_NE(Added.Journal->Settings, nullptr);
		EXPECT_EQ(Added.Journal->Settings->GetClass(), ULiveLinkSourceSettings::StaticClass());
	}
}

TEST(SourceSettingsObjects, SettingsOutliveTheSourceAndGoWithItsRemoval)
{
	FLiveLinkClient Client;
	FJournalledSource Added = AddJournalSource(Client);
	const std::shared_ptr<FSourceJournal> Journal = Added.Journal;
	Added.Source.Reset();
	Client.RemoveSource(Added.Guid);
	EXPECT_EQ(Journal->Calls.back(), "Destroyed");
	EXPECT_TRUE(Journal->bSettingsAliveAtDestruction);
	EXPECT_FALSE(Journal->WeakSettings.IsValid());
	EXPECT_EQ(Client.GetSourceSettings(Added.Guid), nullptr);

	std::shared_ptr<FSourceJournal> Remaining;
	{
		FLiveLinkClient ShortLived;
		FJournalledSource Kept = AddJournalSource(ShortLived);
		Remaining = Kept.Journal;
		Kept.Source.Reset();
	}
	EXPECT_TRUE(Remaining->bSettingsAliveAtDestruction);
	EXPECT_FALSE(Remaining->WeakSettings.IsValid());
}

TEST(SourceSettingsObjects, EditingAPropertyByNameCallsTheHookWithTheNewValueInPlace)
{
	FLiveLinkClient Client;
	const FJournalledSource Added = AddJournalSource(Client);
	FString Error;
	ASSERT_TRUE(FLiveLinkClientTesting::SetSourceSettingsProperty(Client, Added.Guid, FName(TEXT("Gain")), TEXT(" 7 "), &Error))
		<< Error.ToUtf8();
	EXPECT_EQ(static_cast<UStreamHealthTestSourceSettings*>(Added.Journal->Settings)->Gain, 7);
	EXPECT_EQ(Added.Journal->ChangedProperties, std::vector<FName>{FName(TEXT("Gain"))});
	EXPECT_EQ(Added.Journal->GainsSeen, std::vector<int32>{7});

	// The same value again is no change: nothing to tell the source.
	ASSERT_TRUE(FLiveLinkClientTesting::SetSourceSettingsProperty(Client, Added.Guid, FName(TEXT("gain")), TEXT("7")));
	EXPECT_EQ(Added.Journal->ChangedProperties.size(), 1u);
}

TEST(SourceSettingsObjects, EditsTheDetailsPanelWouldNotAllowChangeNothing)
{
	FLiveLinkClient Client;
	const FJournalledSource Added = AddJournalSource(Client);
	const auto* Settings = static_cast<const UStreamHealthTestSourceSettings*>(Added.Journal->Settings);
	const struct
	{
		FGuid Guid;
		const TCHAR* Property;
		const TCHAR* Text;
	} Refused[] = {
		{Added.Guid, TEXT("Shown"), TEXT("5")},														  // read-only
		{Added.Guid, TEXT("Missing"), TEXT("5")},													  // no such property
		{Added.Guid, TEXT("Gain"), TEXT("seven")},													  // not an int32
		{Added.Guid, TEXT("Gain"), TEXT("99999999999")}, {FGuid::NewGuid(), TEXT("Gain"), TEXT("5")}, // no such source
	};
	for (const auto& Case : Refused)
	{
		FString Error;
		EXPECT_FALSE(FLiveLinkClientTesting::SetSourceSettingsProperty(Client, Case.Guid, FName(Case.Property), Case.Text, &Error))
			<< FString(Case.Property).ToUtf8();
		EXPECT_FALSE(Error.IsEmpty());
	}
	EXPECT_EQ(Settings->Gain, 1);
	EXPECT_EQ(Settings->Shown, 0);
	EXPECT_TRUE(Added.Journal->ChangedProperties.empty());
}

TEST(SourceSettingsObjects, RemovalAskedInsideTheHookWaitsUntilItReturns)
{
	FLiveLinkClient Client;
	FJournalledSource Added = AddJournalSource(Client);
	const std::shared_ptr<FSourceJournal> Journal = Added.Journal;
	bool bSettingsAliveAfterRemovalAsked = false;
	Added.Source->OnChanged = [&] {
		Client.RemoveSource(Added.Guid);
		bSettingsAliveAfterRemovalAsked =
			Journal->WeakSettings.IsValid() && FLiveLinkClientTesting::GetSource(Client, Added.Guid).IsValid();
	};
	Added.Source.Reset();
	ASSERT_TRUE(FLiveLinkClientTesting::SetSourceSettingsProperty(Client, Added.Guid, FName(TEXT("Gain")), TEXT("3")));
	EXPECT_TRUE(bSettingsAliveAfterRemovalAsked);
	EXPECT_EQ(Client.GetSources().Num(), 0);
	EXPECT_EQ(Journal->Calls.back(), "Destroyed");
	EXPECT_TRUE(Journal->bSettingsAliveAtDestruction);
	EXPECT_FALSE(Journal->WeakSettings.IsValid());
}
} // namespace
