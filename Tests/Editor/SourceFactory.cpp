#include "EditorTestSupport.h"

#include "HAL/RunnableThread.h"
#include "LoopbackUdp.h"
#include "SocketSubsystem.h"
#include "TavrixLiveLinkSource.h"
#include "TavrixLiveLinkSourceFactory.h"
#include "TavrixLiveLinkSourceInspector.h"
#include "UObject/UObjectHash.h"
#include "HAL/RunnableThreadTesting.h"

#include <gtest/gtest.h>

namespace
{
const UTavrixLiveLinkSourceFactory& Factory()
{
	return *GetDefault<UTavrixLiveLinkSourceFactory>();
}

TEST(SourceFactory, IsFoundByItsClassAndOffersTheTavrixEntry)
{
	TArray<UClass*> Factories;
	GetDerivedClasses(ULiveLinkSourceFactory::StaticClass(), Factories);
	EXPECT_TRUE(Factories.Contains(UTavrixLiveLinkSourceFactory::StaticClass()));

	const FText Name = Factory().GetSourceDisplayName();
	const FText Tooltip = Factory().GetSourceTooltip();
	EXPECT_EQ(Name.ToString().ToUtf8(), "Tavrix LiveLink");
	EXPECT_EQ(FTextInspector::GetKey(Name).ToUtf8(), "SourceDisplayName");
	EXPECT_EQ(Tooltip.ToString().ToUtf8(), "Creates a connection to Halvecor Tavrix");
	EXPECT_EQ(FTextInspector::GetKey(Tooltip).ToUtf8(), "SourceTooltip");
	EXPECT_EQ(FTextInspector::GetNamespace(Name).ToUtf8(), "TavrixLiveLinkSourceFactory");
	EXPECT_EQ(FTextInspector::GetNamespace(Tooltip).ToUtf8(), "TavrixLiveLinkSourceFactory");
	EXPECT_EQ(static_cast<int>(Factory().GetMenuType()), 0);
}

TEST(SourceFactory, ConnectionStringGivesASourceWithFixedOptions)
{
	const uint16 Port = FreeLoopbackPort();
	const FString Connection = FIPv4Endpoint(FIPv4Address::InternalLoopback, Port).ToString();
	const TSharedPtr<ILiveLinkSource> Source = Factory().CreateSource(Connection);
	ASSERT_TRUE(Source.IsValid());
	FTavrixLiveLinkSourceInspector Inspector(static_cast<FTavrixLiveLinkSource&>(*Source));
	EXPECT_EQ(Inspector.GetDeviceEndpoint(), FIPv4Endpoint(FIPv4Address::InternalLoopback, Port));
	EXPECT_EQ(Inspector.GetBoundPort(), Port);
	EXPECT_FALSE(Inspector.GetAutoLens());
	EXPECT_TRUE(Inspector.GetAutoSceneTake());
	EXPECT_FALSE(Inspector.GetAutoRecord());
	EXPECT_TRUE(Source->IsSourceStillValid());
}

TEST(SourceFactory, ConnectionStringsThatAreNotEndpointsGiveNoSource)
{
	for (const TCHAR* Text : {TEXT("127.0.0.1"), TEXT("localhost:9001"), TEXT(""), TEXT("127.0.0.1:"), TEXT("127.0.0.1:70000")})
	{
		EXPECT_FALSE(Factory().CreateSource(Text).IsValid()) << FString(Text).ToUtf8();
	}
}

TEST(SourceFactory, PanelRouteHandsTheHostTheSourceAndItsConnectionString)
{
	FScopedProject Project;
	const uint16 Port = FreeLoopbackPort();
	TSharedPtr<ILiveLinkSource> Created;
	FString Connection;
	const TSharedPtr<SWidget> Panel = Factory().BuildCreationPanel(
		ULiveLinkSourceFactory::FOnLiveLinkSourceCreated::CreateLambda([&](TSharedPtr<ILiveLinkSource> Source, FString ConnectionString) {
			Created = Source;
			Connection = ConnectionString;
		}));
	ASSERT_TRUE(Panel.IsValid());
	const TSharedRef<SWidget> Root = Panel.ToSharedRef();
	const FString Typed = FIPv4Endpoint(FIPv4Address::InternalLoopback, Port).ToString();
	FSlateUser::TypeText(FSlateUser::FindEditableTextBoxByLabel(Root, TEXT("Network Address:Port")).ToSharedRef(), Typed);
	FSlateUser::SetCheckBoxTicked(FSlateUser::FindCheckBoxByLabel(Root, TEXT("Auto Record")).ToSharedRef(), true);
	FSlateUser::Click(FSlateUser::FindButton(Root, TEXT("Ok")).ToSharedRef());

	ASSERT_TRUE(Created.IsValid());
	EXPECT_EQ(Connection.ToUtf8(), Typed.ToUtf8());
	FTavrixLiveLinkSourceInspector Inspector(static_cast<FTavrixLiveLinkSource&>(*Created));
	EXPECT_TRUE(Inspector.GetAutoLens());
	EXPECT_TRUE(Inspector.GetAutoSceneTake());
	EXPECT_TRUE(Inspector.GetAutoRecord());
	Created.Reset();

	// The connection string carries no options: the same string through the other route gives the fixed ones.
	const TSharedPtr<ILiveLinkSource> FromString = Factory().CreateSource(Connection);
	ASSERT_TRUE(FromString.IsValid());
	FTavrixLiveLinkSourceInspector FromStringInspector(static_cast<FTavrixLiveLinkSource&>(*FromString));
	EXPECT_FALSE(FromStringInspector.GetAutoLens());
	EXPECT_TRUE(FromStringInspector.GetAutoSceneTake());
	EXPECT_FALSE(FromStringInspector.GetAutoRecord());
}

TEST(SourceFactory, OkWithoutAHostCallbackLeavesNothingListening)
{
	const int32 SocketsBefore = ISocketSubsystem::GetLiveSocketCount();
	const int32 ThreadsBefore = FRunnableThreadTesting::GetLiveThreadCount();
	const uint16 Port = FreeLoopbackPort();
	FTavrixSourceChoice Choice;
	Choice.Endpoint = FIPv4Endpoint(FIPv4Address::InternalLoopback, Port);
	Factory().HandlePanelOk(Choice, ULiveLinkSourceFactory::FOnLiveLinkSourceCreated());
	EXPECT_EQ(ISocketSubsystem::GetLiveSocketCount(), SocketsBefore);
	EXPECT_EQ(FRunnableThreadTesting::GetLiveThreadCount(), ThreadsBefore);
	// The port is free again: an exclusive bind succeeds.
	FLoopbackUdp Holder(Port);
	EXPECT_EQ(Holder.GetPort(), Port);
}
} // namespace
