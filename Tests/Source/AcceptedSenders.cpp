#include "LiveLinkClient.h"
#include "LogCapture.h"
#include "SourceTestSupport.h"
#include "TavrixLiveLinkSourceSettings.h"
#include "TavrixSenderFilter.h"
#include "LiveLinkClientTesting.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace
{
constexpr uint32 Address(uint32 A, uint32 B, uint32 C, uint32 D)
{
	return (A << 24) | (B << 16) | (C << 8) | D;
}

FTavrixSenderFilter ParseOrFail(const char* Text)
{
	FTavrixSenderFilter Filter;
	FString Reason;
	EXPECT_TRUE(FTavrixSenderFilter::Parse(FString::FromUtf8(Text), Filter, Reason)) << Text << ": " << Reason.ToUtf8();
	return Filter;
}

TEST(AcceptedSenders, AddressesAndRangesAcceptTheirMembersAndNoOneElse)
{
	const FTavrixSenderFilter Filter = ParseOrFail(" 192.168.10.5,10.0.0.0/24 ,\t172.16.0.0/12");
	EXPECT_EQ(Filter.Num(), 3);
	EXPECT_TRUE(Filter.Accepts(Address(192, 168, 10, 5)));
	EXPECT_FALSE(Filter.Accepts(Address(192, 168, 10, 6)));
	EXPECT_FALSE(Filter.Accepts(Address(192, 168, 10, 4)));
	EXPECT_TRUE(Filter.Accepts(Address(10, 0, 0, 0)));
	EXPECT_TRUE(Filter.Accepts(Address(10, 0, 0, 255)));
	EXPECT_FALSE(Filter.Accepts(Address(10, 0, 1, 0)));
	EXPECT_TRUE(Filter.Accepts(Address(172, 31, 255, 255)));
	EXPECT_FALSE(Filter.Accepts(Address(172, 32, 0, 0)));
	EXPECT_FALSE(Filter.Accepts(Address(5, 168, 10, 192))) << "byte order";

	const FTavrixSenderFilter Everyone = ParseOrFail("0.0.0.0/0");
	EXPECT_FALSE(Everyone.AcceptsAnyone());
	EXPECT_TRUE(Everyone.Accepts(Address(203, 0, 113, 9)));
	EXPECT_TRUE(ParseOrFail("127.0.0.1/32").Accepts(Address(127, 0, 0, 1)));
	EXPECT_FALSE(ParseOrFail("127.0.0.1/32").Accepts(Address(127, 0, 0, 2)));

	for (const char* Blank : {"", " ", " \t "})
	{
		const FTavrixSenderFilter Anyone = ParseOrFail(Blank);
		EXPECT_TRUE(Anyone.AcceptsAnyone()) << '"' << Blank << '"';
		EXPECT_TRUE(Anyone.Accepts(Address(203, 0, 113, 9)));
	}

	std::string Longest;
	for (int Entry = 0; Entry < FTavrixSenderFilter::MaxEntries; ++Entry)
	{
		Longest += (Entry > 0 ? "," : "") + std::string("10.0.0.") + std::to_string(Entry);
	}
	const FTavrixSenderFilter Full = ParseOrFail(Longest.c_str());
	EXPECT_EQ(Full.Num(), FTavrixSenderFilter::MaxEntries);
	EXPECT_TRUE(Full.Accepts(Address(10, 0, 0, FTavrixSenderFilter::MaxEntries - 1)));
	EXPECT_FALSE(Full.Accepts(Address(10, 0, 0, FTavrixSenderFilter::MaxEntries)));
}

TEST(AcceptedSenders, TextThatIsNotAListIsRefusedWithTheReasonAndLeavesTheFilterAlone)
{
	std::string TooLong;
	for (int Entry = 0; Entry <= FTavrixSenderFilter::MaxEntries; ++Entry)
	{
		TooLong += (Entry > 0 ? "," : "") + std::string("10.0.0.") + std::to_string(Entry);
	}
	const struct
	{
		std::string Text;
		const char* ReasonHas;
	} Cases[] = {
		{"192.168.10", "not an IPv4 address"},
		{"192.168.10.256", "not an IPv4 address"},
		{"192.168.010.5", "not an IPv4 address"},
		{"192.168.10.5.1", "range ends in /N"},
		{"192.168.10.5/33", "range ends in /N"},
		{"192.168.10.5/", "range ends in /N"},
		{"10.0.0.0/024", "range ends in /N"},
		{"10.0.0.5/24", "10.0.0.0/24"},
		{"10.0.0.1,", "empty"},
		{",10.0.0.1", "empty"},
		{"10.0.0.1,,10.0.0.2", "empty"},
		{"10.0.0.1 10.0.0.2", "separated by commas"},
		{"host.example", "not an IPv4 address"},
		{"-1.0.0.0", "not an IPv4 address"},
		{"10.0.0.1;10.0.0.2", "range ends in /N"},
		{TooLong, "more than"},
	};
	for (const auto& Case : Cases)
	{
		FTavrixSenderFilter Filter = ParseOrFail("10.9.9.9");
		FString Reason;
		EXPECT_FALSE(FTavrixSenderFilter::Parse(FString::FromUtf8(Case.Text), Filter, Reason)) << Case.Text;
		EXPECT_NE(Reason.ToUtf8().find(Case.ReasonHas), std::string::npos) << Case.Text << ": " << Reason.ToUtf8();
		EXPECT_EQ(Filter.Num(), 1) << Case.Text;
		EXPECT_TRUE(Filter.Accepts(Address(10, 9, 9, 9))) << Case.Text;
	}
}

TEST(AcceptedSenders, TheReaderAlwaysSeesAWholeFilterAndEndsOnTheLatest)
{
	// Two filters that tell themselves apart by every entry: a reader that saw a mixture of the two would notice.
	std::string Many;
	for (int Entry = 0; Entry < FTavrixSenderFilter::MaxEntries; ++Entry)
	{
		Many += (Entry > 0 ? "," : "") + std::string("10.0.") + std::to_string(Entry) + ".0/24";
	}
	const FTavrixSenderFilter Wide = ParseOrFail(Many.c_str());
	const FTavrixSenderFilter Narrow = ParseOrFail("192.168.1.1");
	FTavrixSenderFilterExchange Exchange;
	std::atomic<bool> bWriting{true};
	std::thread Writer([&] {
		for (int Round = 0; Round < 20000; ++Round)
		{
			Exchange.Publish(Round % 2 == 0 ? Wide : Narrow);
		}
		Exchange.Publish(Narrow);
		bWriting = false;
	});
	int Torn = 0;
	while (bWriting.load())
	{
		const FTavrixSenderFilter& Seen = Exchange.Current();
		const bool bWide = Seen.Num() == FTavrixSenderFilter::MaxEntries;
		for (int Entry = 0; Entry < Seen.Num(); ++Entry)
		{
			Torn += Seen.Accepts(bWide ? Address(10, 0, Entry, 7) : Address(192, 168, 1, 1)) ? 0 : 1;
		}
		Torn += !bWide && Seen.Num() != 0 && Seen.Num() != 1 ? 1 : 0;
	}
	Writer.join();
	EXPECT_EQ(Torn, 0);
	EXPECT_EQ(Exchange.Current().Num(), 1);
	EXPECT_TRUE(Exchange.Current().Accepts(Address(192, 168, 1, 1)));
}

/** A receiving source on 127.0.0.1 added to a client, with the details object Live Link made for it. */
class FAcceptedSendersHarness
{
public:
	FAcceptedSendersHarness()
	{
		Source = MakeSharedLoopbackSource(true, false, false);
		Port = static_cast<uint16_t>(FTavrixLiveLinkSourceInspector(*Source).GetBoundPort());
		Guid = Client.AddSource(Source);
		Details = static_cast<UTavrixLiveLinkSourceSettings*>(Client.GetSourceSettings(Guid));
	}
	~FAcceptedSendersHarness()
	{
		Source.Reset();
		Client.RemoveAllSources();
	}

	/** As the details panel does when the user types the text. */
	bool Type(const char* Text)
	{
		return FLiveLinkClientTesting::SetSourceSettingsProperty(Client, Guid, FName(TEXT("AcceptedSenders")), FString::FromUtf8(Text));
	}

	/** Ticks until the details count Accepted datagrams decoded and Other ones from other senders. */
	bool TickUntil(int32 Accepted, int32 Other)
	{
		return WaitUntil([&] {
			Client.Tick();
			return Details->DatagramsReceived >= Accepted && Details->DatagramsFromOtherSenders >= Other;
		});
	}

	FLiveLinkClient Client;
	TSharedPtr<FTavrixLiveLinkSource> Source;
	uint16_t Port = 0;
	FGuid Guid;
	UTavrixLiveLinkSourceSettings* Details = nullptr;
};

constexpr uint32_t SecondLoopback = (127u << 24) | 2u;

TEST(AcceptedSenders, OnLoopbackADatagramFrom127002IsCountedNotDecodedWhile127001IsDecoded)
{
	FAcceptedSendersHarness Harness;
	ASSERT_NE(Harness.Details, nullptr);
	ASSERT_TRUE(Harness.Type("127.0.0.1"));
	EXPECT_EQ(Harness.Details->AcceptedSenders.ToUtf8(), "127.0.0.1");
	EXPECT_TRUE(Harness.Details->AcceptedSendersError.IsEmpty());

	FLogCapture Log;
	FLoopbackUdp Stranger(0, SecondLoopback);
	FLoopbackUdp Tracker;
	// The stranger's datagrams would move the camera and log a foreign member each, were they decoded.
	for (int Datagram = 0; Datagram < 5; ++Datagram)
	{
		ASSERT_TRUE(Stranger.SendTo(Harness.Port, R"({"TVKCamera":[{"Location":[66,66,66]}],"Extra":1})"));
	}
	ASSERT_TRUE(Harness.TickUntil(0, 5)) << Harness.Details->DatagramsFromOtherSenders;
	EXPECT_EQ(Harness.Details->LastOtherSender.ToUtf8(), "127.0.0.2:" + std::to_string(Stranger.GetPort()));
	EXPECT_EQ(Harness.Details->DatagramsReceived, 0);
	EXPECT_TRUE(Harness.Details->LastSender.IsEmpty());
	EXPECT_FALSE(FTavrixLiveLinkSourceInspector(*Harness.Source).HasReceivedData());

	ASSERT_TRUE(Tracker.SendTo(Harness.Port, R"({"TVKCamera":[{"Location":[1,2,3]}]})"));
	ASSERT_TRUE(Harness.TickUntil(1, 5));
	EXPECT_EQ(FTavrixLiveLinkSourceInspector(*Harness.Source).GetReceivedState().Location, FVector(1.0f, 2.0f, 3.0f));
	EXPECT_EQ(Harness.Details->LastSender.ToUtf8(), "127.0.0.1:" + std::to_string(Tracker.GetPort()));
	EXPECT_EQ(Harness.Details->DatagramsFromOtherSenders, 5);
	EXPECT_EQ(Log.CountLines("ModuleLog", "Unknow data received"), 0) << "a stranger's datagram is never logged";

	// Emptied, the list accepts anyone again.
	ASSERT_TRUE(Harness.Type(""));
	ASSERT_TRUE(Stranger.SendTo(Harness.Port, R"({"TVKCamera":[{"Location":[4,5,6]}]})"));
	ASSERT_TRUE(Harness.TickUntil(2, 5));
	EXPECT_EQ(FTavrixLiveLinkSourceInspector(*Harness.Source).GetReceivedState().Location, FVector(4.0f, 5.0f, 6.0f));
	EXPECT_EQ(Harness.Details->DatagramsFromOtherSenders, 5);
}

TEST(AcceptedSenders, ARefusedEditKeepsTheListInForceAndSaysWhy)
{
	FAcceptedSendersHarness Harness;
	ASSERT_NE(Harness.Details, nullptr);
	ASSERT_TRUE(Harness.Type("127.0.0.1, 10.0.0.0/8"));
	ASSERT_TRUE(Harness.Type("127.0.0.2,, 10.0.0.0/8"));
	EXPECT_EQ(Harness.Details->AcceptedSenders.ToUtf8(), "127.0.0.1, 10.0.0.0/8") << "the text in force is put back";
	EXPECT_NE(Harness.Details->AcceptedSendersError.ToUtf8().find("empty"), std::string::npos)
		<< Harness.Details->AcceptedSendersError.ToUtf8();

	FLoopbackUdp Stranger(0, SecondLoopback);
	ASSERT_TRUE(Stranger.SendTo(Harness.Port, R"({"TVKCamera":[{"Location":[66,66,66]}]})"));
	ASSERT_TRUE(Harness.TickUntil(0, 1));
	EXPECT_EQ(Harness.Details->DatagramsReceived, 0);

	// A list that reads clears the reason.
	ASSERT_TRUE(Harness.Type("127.0.0.0/8"));
	EXPECT_TRUE(Harness.Details->AcceptedSendersError.IsEmpty());
	ASSERT_TRUE(Stranger.SendTo(Harness.Port, R"({"TVKCamera":[{"Location":[4,5,6]}]})"));
	ASSERT_TRUE(Harness.TickUntil(1, 1));
}

TEST(AcceptedSenders, TheListIsSavedWithTheSourceAndInForceWhenSettingsAreHandedOver)
{
	const FProperty* Property = UTavrixLiveLinkSourceSettings::StaticClass()->FindPropertyByName(FName(TEXT("AcceptedSenders")));
	ASSERT_NE(Property, nullptr);
	EXPECT_FALSE(Property->HasAnyPropertyFlags(CPF_Transient)) << "a preset would lose it";
	EXPECT_FALSE(Property->HasAnyPropertyFlags(CPF_EditConst));

	// As a preset restores a source: settings saved with a list, handed to a new source.
	const std::shared_ptr<FTavrixLiveLinkSource> Source = MakeLoopbackSource(true, false, false);
	FTavrixLiveLinkSourceInspector Inspector(*Source);
	Source->Stop();
	Inspector.WaitForReceiveThread();
	EXPECT_TRUE(Inspector.AcceptsSender(SecondLoopback));
	std::unique_ptr<UObject> Saved = UTavrixLiveLinkSourceSettings::StaticClass()->CreateObject();
	auto* Settings = static_cast<UTavrixLiveLinkSourceSettings*>(Saved.get());
	Settings->AcceptedSenders = TEXT("127.0.0.1");
	Source->InitializeSettings(Settings);
	EXPECT_FALSE(Inspector.AcceptsSender(SecondLoopback));
	EXPECT_TRUE(Inspector.AcceptsSender(SecondLoopback - 1));

	// Saved text that no longer reads leaves the source as it was, and says why.
	std::unique_ptr<UObject> Broken = UTavrixLiveLinkSourceSettings::StaticClass()->CreateObject();
	auto* BrokenSettings = static_cast<UTavrixLiveLinkSourceSettings*>(Broken.get());
	BrokenSettings->AcceptedSenders = TEXT("127.0.0.300");
	Source->InitializeSettings(BrokenSettings);
	EXPECT_FALSE(BrokenSettings->AcceptedSendersError.IsEmpty());
	EXPECT_EQ(BrokenSettings->AcceptedSenders.ToUtf8(), "127.0.0.1");
	EXPECT_FALSE(Inspector.AcceptsSender(SecondLoopback));
}
} // namespace
