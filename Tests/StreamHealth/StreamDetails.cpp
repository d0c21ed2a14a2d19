#include "LiveLinkClient.h"
#include "LoopbackUdp.h"
#include "TavrixLiveLinkSource.h"
#include "TavrixLiveLinkSourceFactory.h"
#include "TavrixLiveLinkSourceInspector.h"
#include "TavrixLiveLinkSourceSettings.h"
#include "TestWaits.h"
#include "LiveLinkClientTesting.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <set>
#include <string>

namespace
{
/** A camera message at a timecode of one frame a second, so that no pause of a slow machine reads as a jump. */
std::string CameraAtFrame(int Frame, const std::string& Extra = "")
{
	return "{\"TVKCamera\":[{\"Location\":[1,2,3],\"Rotation\":[0,0,0,1],\"Timecode\":[" + std::to_string(Frame) + ",1,1]}]" + Extra + "}";
}

/** A receiving Tavrix source on loopback, added to a client, with the details object Live Link made for it. */
class FDetailsHarness
{
public:
	FDetailsHarness()
	{
		Source = MakeShared<FTavrixLiveLinkSource>(FIPv4Endpoint(FIPv4Address::InternalLoopback, FreeLoopbackPort()), true, false, false);
		Port = static_cast<uint16_t>(FTavrixLiveLinkSourceInspector(*Source).GetBoundPort());
		Guid = Client.AddSource(Source);
		ULiveLinkSourceSettings* Settings = Client.GetSourceSettings(Guid);
		Details = Settings != nullptr && Settings->IsA(UTavrixLiveLinkSourceSettings::StaticClass())
			? static_cast<UTavrixLiveLinkSourceSettings*>(Settings)
			: nullptr;
	}
	~FDetailsHarness()
	{
		Source.Reset();
		Client.RemoveAllSources();
	}

	/** Ticks until the details count Count datagrams received. */
	bool TickUntilReceived(int32 Count)
	{
		return WaitUntil([&] {
			Client.Tick();
			return Details->DatagramsReceived >= Count;
		});
	}

	FLiveLinkClient Client;
	TSharedPtr<FTavrixLiveLinkSource> Source;
	uint16_t Port = 0;
	FGuid Guid;
	UTavrixLiveLinkSourceSettings* Details = nullptr;
};

TEST(StreamDetails, TavrixSourceDetailsAreReadOnlyStreamValues)
{
	FDetailsHarness Harness;
	ASSERT_NE(Harness.Details, nullptr) << "the source's settings are not of its settings class";
	// Every property the details show: the engine's base members first, then the source's own.
	const TArray<const FProperty*> Properties = UTavrixLiveLinkSourceSettings::StaticClass()->GetAllProperties();
	int32 StreamValues = 0;
	int32 BaseMembers = 0;
	const std::set<std::string> Editable = {
		"bCaptureRawDatagrams", "AcceptedSenders", "SubjectName", "bAutoLens", "bAutoSceneTake", "bAutoRecord", "bFramePerDatagram"};
	// The engine's: editable but for what the client estimates and what the editor writes itself.
	const std::set<std::string> BaseReadOnly = {"BufferSettings.EngineTimeClockOffset", "BufferSettings.DetectedFrameRate",
		"BufferSettings.TimecodeClockOffset", "ConnectionString", "Factory"};
	// Saved with the source, so that a preset brings it back; shown nowhere.
	const std::string Hidden = "bOptionsSaved";
	for (const FProperty* PropertyPointer : Properties)
	{
		const FProperty& Property = *PropertyPointer;
		const std::string Name = Property.Name.ToString().ToUtf8();
		if (Name == Hidden)
		{
			EXPECT_FALSE(Property.HasAnyPropertyFlags(CPF_Edit | CPF_Transient));
			continue;
		}
		EXPECT_FALSE(Property.GetMetaData(TEXT("ToolTip")).IsEmpty()) << Name;
		EXPECT_TRUE(Property.HasAnyPropertyFlags(CPF_Edit)) << Name;
		const bool bEditable = !Property.HasAnyPropertyFlags(CPF_EditConst);
		const FString Category = Property.GetMetaData(TEXT("Category"));
		if (Category == TEXT("Settings") || Category == TEXT("Buffer Settings"))
		{
			++BaseMembers;
			EXPECT_EQ(bEditable, BaseReadOnly.count(Name) == 0) << Name;
			// The preset keeps them all.
			EXPECT_FALSE(Property.HasAnyPropertyFlags(CPF_Transient)) << Name;
			continue;
		}
		// Everything else is shown; the stream's values are read-only.
		EXPECT_EQ(bEditable, Editable.count(Name) == 1) << Name;
		EXPECT_TRUE(Category == TEXT("Stream") || Category == TEXT("Capture") || Category == TEXT("Subject") ||
			Category == TEXT("Options") || Category == TEXT("Senders"))
			<< Name;
		StreamValues += Category == TEXT("Stream") ? 1 : 0;
		// Only what the user chose is saved with the source; a capture never starts from a preset.
		EXPECT_EQ(Property.HasAnyPropertyFlags(CPF_Transient), Editable.count(Name) == 0 || Name == "bCaptureRawDatagrams") << Name;
	}
	EXPECT_EQ(BaseMembers, 18);
	ASSERT_FALSE(Properties.IsEmpty());
	EXPECT_EQ(Properties[0]->Name, FName(TEXT("Mode"))) << "the engine's members come first";
	EXPECT_EQ(StreamValues, 14);
	EXPECT_FALSE(
		FLiveLinkClientTesting::SetSourceSettingsProperty(Harness.Client, Harness.Guid, FName(TEXT("DatagramsReceived")), TEXT("5")));

	// Nothing received yet: the details say so.
	Harness.Client.Tick();
	EXPECT_TRUE(Harness.Details->LastSender.IsEmpty());
	EXPECT_EQ(Harness.Details->LastDatagramAgeMs, -1.0f);
	EXPECT_EQ(Harness.Details->DatagramsReceived, 0);
}

TEST(StreamDetails, EngineMembersAreShownAndEditedAsTheEditorDoes)
{
	FDetailsHarness Harness;
	ASSERT_NE(Harness.Details, nullptr);
	const UClass* Class = Harness.Details->GetClass();
	const auto Shown = [Class](const TCHAR* Name) {
		const FProperty* Property = Class->FindPropertyByName(FName(Name));
		return Property != nullptr ? Property->GetMetaData(TEXT("DisplayName")).ToUtf8() : std::string("(missing)");
	};
	EXPECT_EQ(Shown(TEXT("Mode")), "Evaluation Mode");
	EXPECT_EQ(Shown(TEXT("BufferSettings.EngineTimeOffset")), "Engine Time Offset");
	EXPECT_EQ(Shown(TEXT("BufferSettings.MaxNumberOfFrameToBuffered")), "Max Number of Frame to Buffered");
	EXPECT_EQ(
		Class->FindPropertyByName(FName(TEXT("BufferSettings.LatestOffset")))->GetMetaData(TEXT("Category")), TEXT("Buffer Settings"));
	EXPECT_TRUE(Class->FindPropertyByName(FName(TEXT("ConnectionString")))->HasMetaData(TEXT("AdvancedDisplay")));

	// The engine's defaults, read through the properties as the panel reads them, but for the mode, which a Tavrix
	// source starts in Latest.
	const auto Text = [&](const TCHAR* Name) { return Class->FindPropertyByName(FName(Name))->ExportText(Harness.Details).ToUtf8(); };
	EXPECT_EQ(Text(TEXT("Mode")), "Latest");
	EXPECT_EQ(Text(TEXT("BufferSettings.ValidEngineTime")), "1");
	EXPECT_EQ(Text(TEXT("BufferSettings.SourceTimecodeFrameRate")), "24/1");
	EXPECT_EQ(Text(TEXT("BufferSettings.MaxNumberOfFrameToBuffered")), "10");
	EXPECT_EQ(Text(TEXT("BufferSettings.bKeepAtLeastOneFrame")), "True");
	EXPECT_EQ(Text(TEXT("Factory")), "None");

	const auto Edit = [&](const TCHAR* Name, const TCHAR* Value) {
		return FLiveLinkClientTesting::SetSourceSettingsProperty(Harness.Client, Harness.Guid, FName(Name), Value);
	};
	// Each edit lands in the member the client evaluates with.
	EXPECT_TRUE(Edit(TEXT("Mode"), TEXT("Timecode")));
	EXPECT_EQ(Harness.Details->Mode, ELiveLinkSourceMode::Timecode);
	EXPECT_TRUE(Edit(TEXT("Mode"), TEXT("latest")));
	EXPECT_EQ(Harness.Details->Mode, ELiveLinkSourceMode::Latest);
	EXPECT_TRUE(Edit(TEXT("BufferSettings.EngineTimeOffset"), TEXT("0.25")));
	EXPECT_EQ(Harness.Details->BufferSettings.EngineTimeOffset, 0.25f);
	EXPECT_TRUE(Edit(TEXT("BufferSettings.LatestOffset"), TEXT("2")));
	EXPECT_EQ(Harness.Details->BufferSettings.LatestOffset, 2);
	EXPECT_TRUE(Edit(TEXT("BufferSettings.bValidTimecodeFrameEnabled"), TEXT("True")));
	EXPECT_TRUE(Harness.Details->BufferSettings.bValidTimecodeFrameEnabled);
	EXPECT_TRUE(Edit(TEXT("BufferSettings.SourceTimecodeFrameRate"), TEXT("30000/1001")));
	EXPECT_EQ(Harness.Details->BufferSettings.SourceTimecodeFrameRate, FFrameRate(30000, 1001));
	// Neighbours are untouched by those edits.
	EXPECT_EQ(Harness.Details->BufferSettings.ValidEngineTime, 1.0f);
	EXPECT_EQ(Harness.Details->BufferSettings.MaxNumberOfFrameToBuffered, 10);
	EXPECT_EQ(Harness.Details->BufferSettings.TimecodeFrameOffset, 0.0f);

	// Refused: text that is not a value, and what is only shown.
	EXPECT_FALSE(Edit(TEXT("Mode"), TEXT("Sometimes")));
	EXPECT_FALSE(Edit(TEXT("Mode"), TEXT("3")));
	EXPECT_EQ(Harness.Details->Mode, ELiveLinkSourceMode::Latest);
	EXPECT_FALSE(Edit(TEXT("BufferSettings.SourceTimecodeFrameRate"), TEXT("24/0")));
	EXPECT_FALSE(Edit(TEXT("BufferSettings.LatestOffset"), TEXT("two")));
	for (const TCHAR* ReadOnly : {TEXT("BufferSettings.EngineTimeClockOffset"), TEXT("BufferSettings.TimecodeClockOffset"),
			 TEXT("BufferSettings.DetectedFrameRate"), TEXT("ConnectionString"), TEXT("Factory")})
	{
		FString Why;
		EXPECT_FALSE(FLiveLinkClientTesting::SetSourceSettingsProperty(Harness.Client, Harness.Guid, FName(ReadOnly), TEXT("1"), &Why))
			<< FString(ReadOnly).ToUtf8();
		EXPECT_TRUE(Why.Contains(TEXT("read-only"))) << Why.ToUtf8();
	}
	// The struct itself is not a property of its own here: its members are.
	EXPECT_FALSE(Edit(TEXT("BufferSettings"), TEXT("")));
}

TEST(StreamDetails, EngineMembersWrittenByTheClientAndTheEditorReadAsTheyHold)
{
	FDetailsHarness Harness;
	ASSERT_NE(Harness.Details, nullptr);
	const UClass* Class = Harness.Details->GetClass();
	const FProperty* ClockOffset = Class->FindPropertyByName(FName(TEXT("BufferSettings.EngineTimeClockOffset")));
	const FProperty* Factory = Class->FindPropertyByName(FName(TEXT("Factory")));
	ASSERT_NE(ClockOffset, nullptr);
	ASSERT_NE(Factory, nullptr);
	EXPECT_EQ(FString(ClockOffset->GetCPPType()), TEXT("double"));

	// A double keeps every digit through its text, where a float would lose them.
	volatile double Tenth = 0.1;
	Harness.Details->BufferSettings.EngineTimeClockOffset = Tenth + 0.2;
	const FString Text = ClockOffset->ExportText(Harness.Details);
	EXPECT_EQ(Text, TEXT("0.30000000000000004"));
	EXPECT_TRUE(ClockOffset->IdenticalToText(Harness.Details, Text));
	EXPECT_FALSE(ClockOffset->IdenticalToText(Harness.Details, TEXT("0.3")));

	// The factory, as the editor writes it after adding the source, by class.
	EXPECT_TRUE(Factory->ImportText(UTavrixLiveLinkSourceFactory::StaticClass()->GetPathName(), Harness.Details));
	EXPECT_EQ(Harness.Details->Factory.Get(), UTavrixLiveLinkSourceFactory::StaticClass());
	EXPECT_EQ(Factory->ExportText(Harness.Details), UTavrixLiveLinkSourceFactory::StaticClass()->GetPathName());
	FString Why;
	EXPECT_FALSE(Factory->ImportText(ULiveLinkSourceSettings::StaticClass()->GetPathName(), Harness.Details, &Why)) << "not a factory";
	EXPECT_FALSE(Why.IsEmpty());
	EXPECT_EQ(Harness.Details->Factory.Get(), UTavrixLiveLinkSourceFactory::StaticClass());
	EXPECT_TRUE(Factory->ImportText(TEXT("None"), Harness.Details));
	EXPECT_EQ(Harness.Details->Factory.Get(), nullptr);
}

TEST(StreamDetails, DetailsFollowTheStreamOnTheTick)
{
	FDetailsHarness Harness;
	ASSERT_NE(Harness.Details, nullptr);
	FLoopbackUdp Sender;
	const std::string Stream[] = {
		CameraAtFrame(100),
		CameraAtFrame(101),
		"[1]", // not an object
		CameraAtFrame(102, ",\"Extra\":true"),
		"not JSON at all",
		CameraAtFrame(104), // 103 withheld
		"{\"Other\":1,\"More\":2}",
		CameraAtFrame(103),																		// one back
		"{\"TVKCamera\":[{\"Location\":" + std::string(65, '[') + std::string(65, ']') + "}]}", // too deep
		CameraAtFrame(500),																		// a jump
		CameraAtFrame(501),
	};
	for (const std::string& Datagram : Stream)
	{
		ASSERT_TRUE(Sender.SendTo(Harness.Port, Datagram));
	}
	ASSERT_TRUE(Harness.TickUntilReceived(11)) << Harness.Details->DatagramsReceived;
	const UTavrixLiveLinkSourceSettings& Details = *Harness.Details;
	EXPECT_EQ(Details.DatagramsReceived, 11);
	EXPECT_EQ(Details.DatagramsRejected, 3);
	EXPECT_EQ(Details.MessagesWithForeignMembers, 2);
	EXPECT_EQ(Details.TimecodeGaps, 1);
	EXPECT_EQ(Details.TimecodeFramesMissed, 1);
	EXPECT_EQ(Details.TimecodeStepsBack, 1);
	EXPECT_EQ(Details.TimecodeJumps, 1);
	EXPECT_EQ(Details.LastSender, FString::FromUtf8("127.0.0.1:" + std::to_string(Sender.GetPort())));
	EXPECT_GE(Details.LastDatagramAgeMs, 0.0f);
	EXPECT_GE(Details.DatagramsPerSecond, 0.0f);
	EXPECT_LE(Details.DatagramsPerSecond, 11.0f);

	// Another sender takes over.
	FLoopbackUdp OtherSender;
	ASSERT_TRUE(OtherSender.SendTo(Harness.Port, CameraAtFrame(502)));
	ASSERT_TRUE(Harness.TickUntilReceived(12));
	EXPECT_EQ(Details.LastSender, FString::FromUtf8("127.0.0.1:" + std::to_string(OtherSender.GetPort())));
}

TEST(StreamDetails, EachDetailShowsItsOwnCounter)
{
	FDetailsHarness Harness;
	ASSERT_NE(Harness.Details, nullptr);
	// Nothing is sent to the source, so the test may stand in for its receive thread and script a stream in which
	// every value differs from every other: a detail wired to the wrong counter cannot read right by chance.
	FTavrixStreamHealth& Health = FTavrixLiveLinkSourceInspector(*Harness.Source).GetStreamHealth();
	const int64 NowUs = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
	constexpr int64 FrameUs = 40'000;
	// The scripted stream ran a minute ago, well out of the tick's last second.
	const int64 PastUs = NowUs - 60'000'000;
	Health.RecordSender(0x0A000005, 50123);
	int64 ArrivalUs = PastUs;
	for (int Index = 0; Index < 4; ++Index)
	{
		Health.RecordDatagram(ArrivalUs += 1000, true, false, nullptr);
	}
	for (int Index = 0; Index < 5; ++Index)
	{
		Health.RecordDatagram(ArrivalUs += 1000, false, true, nullptr);
	}
	// Frames at 25 a second, each arriving when its timecode says (FrameTime in frames since the first): gaps of 2,
	// 3 and 4 frames (1 + 2 + 3 missed), two steps back and one jump.
	struct FScriptedFrame
	{
		int32 Frame;
		double FrameTime;
	};
	const FScriptedFrame Frames[] = {
		{10, 0},
		{11, 1},
		{12, 2},
		{14, 4},
		{15, 5},
		{18, 8},
		{19, 9},
		{23, 13},
		{24, 14},
		{23, 14.1},
		{24, 14.2},
		{23, 14.3},
		{24, 14.4},
		{200, 15.4},
		{201, 16.4},
	};
	const int64 FirstFrameUs = ArrivalUs + FrameUs;
	for (const FScriptedFrame& Scripted : Frames)
	{
		const FTavrixTimecode Timecode{Scripted.Frame, 25, 1};
		Health.RecordDatagram(FirstFrameUs + static_cast<int64>(Scripted.FrameTime * FrameUs), false, false, &Timecode);
	}
	// Seven datagrams a minute ahead of the tick: within its last second however late it comes. Their intervals,
	// 10 ms three times and 30 ms three times, deviate 10 ms from their mean.
	const int64 IntervalsMs[] = {10, 10, 10, 30, 30, 30};
	ArrivalUs = NowUs + 60'000'000;
	Health.RecordDatagram(ArrivalUs, false, false, nullptr);
	for (const int64 IntervalMs : IntervalsMs)
	{
		Health.RecordDatagram(ArrivalUs += IntervalMs * 1000, false, false, nullptr);
	}

	Harness.Client.Tick();
	const UTavrixLiveLinkSourceSettings& Details = *Harness.Details;
	EXPECT_EQ(Details.LastSender, TEXT("10.0.0.5:50123"));
	EXPECT_EQ(Details.LastDatagramAgeMs, 0.0f);
	EXPECT_EQ(Details.DatagramsPerSecond, 7.0f);
	EXPECT_NEAR(Details.ArrivalJitterMs, 10.0f, 1e-3f);
	EXPECT_EQ(Details.DatagramsReceived, 31);
	EXPECT_EQ(Details.DatagramsRejected, 4);
	EXPECT_EQ(Details.MessagesWithForeignMembers, 5);
	EXPECT_EQ(Details.TimecodeGaps, 3);
	EXPECT_EQ(Details.TimecodeFramesMissed, 6);
	EXPECT_EQ(Details.TimecodeStepsBack, 2);
	EXPECT_EQ(Details.TimecodeJumps, 1);
}

TEST(StreamDetails, DetailsObjectThatIsGoneIsLeftAlone)
{
	FDetailsHarness Harness;
	ASSERT_NE(Harness.Details, nullptr);
	// The source holds its details weakly: one destroyed under it is never written.
	std::unique_ptr<UObject> Replacement = UTavrixLiveLinkSourceSettings::StaticClass()->CreateObject();
	Harness.Source->InitializeSettings(static_cast<ULiveLinkSourceSettings*>(Replacement.get()));
	Replacement.reset();
	FLoopbackUdp Sender;
	ASSERT_TRUE(Sender.SendTo(Harness.Port, CameraAtFrame(1)));
	ASSERT_TRUE(WaitUntil([&] { return FTavrixLiveLinkSourceInspector(*Harness.Source).HasReceivedData(); }));
	Harness.Client.Tick();
	EXPECT_EQ(Harness.Details->DatagramsReceived, 0);
}
} // namespace
