#include "SourceTestSupport.h"

#include "LiveLinkClientTesting.h"
#include "Roles/LiveLinkCameraTypes.h"
#include "TavrixLiveLinkSourceFactory.h"
#include "TavrixLiveLinkSourceSettings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace
{
const FName DefaultName("Tavrix - Camera");

const char* PoseWithFocalLength35 =
	R"({"TVKCamera":[{"Location":[1,2,3],"Rotation":[0,0,0,1],"Scale":[1,1,1],"Lens":[35,300,1.5,60],"Timecode":[500,25,1]}]})";
const char* PoseWithFocalLength70 =
	R"({"TVKCamera":[{"Location":[1,2,3],"Rotation":[0,0,0,1],"Scale":[1,1,1],"Lens":[70,300,1.5,60],"Timecode":[501,25,1]}]})";

/** What reached the client, in order: "static <name>" or "frame <name>". */
struct FPushLog
{
	explicit FPushLog(FLiveLinkClient& Client)
	{
		FLiveLinkClientTesting::OnStaticDataReceived(Client).AddLambda(
			[this](const FLiveLinkSubjectKey& Key, const FLiveLinkStaticDataStruct&) { Add("static", Key); });
		FLiveLinkClientTesting::OnFrameDataReceived(Client).AddLambda(
			[this](const FLiveLinkSubjectKey& Key, const FLiveLinkFrameDataStruct& Frame) {
				Add("frame", Key);
				LastFrame = *Frame.Cast<FLiveLinkCameraFrameData>();
			});
	}
	void Add(const char* What, const FLiveLinkSubjectKey& Key)
	{
		std::lock_guard Lock(Mutex);
		Entries.push_back(std::string(What) + " " + Key.SubjectName.ToString().ToUtf8());
	}
	std::vector<std::string> Take()
	{
		std::lock_guard Lock(Mutex);
		return std::exchange(Entries, {});
	}

	std::mutex Mutex;
	std::vector<std::string> Entries;
	FLiveLinkCameraFrameData LastFrame;
};

/** A receiving source added to a client; datagrams are handed straight to its decoder. */
struct FNamingHarness
{
	explicit FNamingHarness(bool bAutoLens = true, bool bAutoSceneTake = false, bool bAutoRecord = false)
		: Log(Client)
	{
		Add(MakeSharedLoopbackSource(bAutoLens, bAutoSceneTake, bAutoRecord));
	}
	~FNamingHarness() { Client.RemoveAllSources(); }

	int Add(TSharedPtr<FTavrixLiveLinkSource> Source)
	{
		Sources.push_back(Source.Get());
		Guids.push_back(Client.AddSource(Source));
		return static_cast<int>(Sources.size()) - 1;
	}
	void Decode(const char* Bytes, int Index = 0)
	{
		TSharedPtr<TArray<uint8>, ESPMode::ThreadSafe> Data = MakeShared<TArray<uint8>, ESPMode::ThreadSafe>();
		Data->Append(reinterpret_cast<const uint8*>(Bytes), static_cast<int32>(std::strlen(Bytes)));
		Sources[Index]->ProcessReceivedData(Data);
	}
	UTavrixLiveLinkSourceSettings& Details(int Index = 0)
	{
		return *static_cast<UTavrixLiveLinkSourceSettings*>(Client.GetSourceSettings(Guids[Index]));
	}
	bool Set(const char* Property, const char* Value, int Index = 0)
	{
		return FLiveLinkClientTesting::SetSourceSettingsProperty(Client, Guids[Index], FName(Property), FString::FromUtf8(Value));
	}
	FLiveLinkSubjectKey Key(const char* Name, int Index = 0) const { return FLiveLinkSubjectKey(Guids[Index], FName(Name)); }

	FLiveLinkClient Client;
	FPushLog Log;
	std::vector<FTavrixLiveLinkSource*> Sources;
	std::vector<FGuid> Guids;
};

std::string Text(const FString& Value)
{
	return Value.ToUtf8();
}

TEST(SubjectNaming, RenamingReplacesTheSubjectWithStaticDataBeforeFrames)
{
	FNamingHarness Harness;
	EXPECT_EQ(Text(Harness.Details().SubjectName), "Tavrix - Camera");
	Harness.Decode(PoseWithFocalLength35);
	Harness.Client.Tick();
	EXPECT_EQ(Harness.Log.Take(), (std::vector<std::string>{"static Tavrix - Camera", "frame Tavrix - Camera"}));
	// Live Link applies what was pushed in a tick on the next one: the subject is in use from then on.
	EXPECT_EQ(Text(Harness.Details().SubjectStatus), "Not enabled in Live Link; this source's frames are not used");
	Harness.Client.Tick();
	Harness.Log.Take();
	EXPECT_EQ(Text(Harness.Details().SubjectStatus), "Enabled");

	// Spaces around the name are dropped; the old subject goes on the next tick.
	ASSERT_TRUE(Harness.Set("SubjectName", "  Stage Left\t"));
	EXPECT_EQ(Text(Harness.Details().SubjectName), "Stage Left");
	EXPECT_EQ(Text(Harness.Details().SubjectNameError), "");

	Harness.Client.Tick();
	EXPECT_FALSE(FLiveLinkClientTesting::HasSubject(Harness.Client, Harness.Key("Tavrix - Camera")));
	Harness.Client.Tick();
	EXPECT_EQ(Harness.Log.Take(), (std::vector<std::string>{"static Stage Left", "frame Stage Left", "frame Stage Left"}));
	EXPECT_TRUE(Harness.Client.IsSubjectEnabled(Harness.Key("Stage Left"), false));
	EXPECT_EQ(Text(Harness.Details().SubjectStatus), "Enabled");
	EXPECT_EQ(Harness.Client.GetSubjects(true, true).Num(), 1);

	// The same name again, or one that differs only in letter case, is the same subject: nothing is republished.
	ASSERT_TRUE(Harness.Set("SubjectName", "stage left"));
	Harness.Client.Tick();
	EXPECT_EQ(Harness.Log.Take(), (std::vector<std::string>{"frame Stage Left"}));
	EXPECT_TRUE(FLiveLinkClientTesting::HasSubject(Harness.Client, Harness.Key("Stage Left")));
}

// Live Link removes a subject before it applies the data queued since its last tick: a rename right after the first
// static data was pushed must not leave the old subject behind, brought back by that data.
TEST(SubjectNaming, RenamingBeforeTheFirstStaticDataIsAppliedLeavesNoOldSubject)
{
	FNamingHarness Harness;
	Harness.Decode(PoseWithFocalLength35);
	Harness.Client.Tick();
	ASSERT_TRUE(Harness.Set("SubjectName", "Stage Right"));
	for (int Tick = 0; Tick < 3; ++Tick)
	{
		Harness.Client.Tick();
	}
	EXPECT_FALSE(FLiveLinkClientTesting::HasSubject(Harness.Client, Harness.Key("Tavrix - Camera")));
	EXPECT_TRUE(FLiveLinkClientTesting::HasSubject(Harness.Client, Harness.Key("Stage Right")));
	EXPECT_EQ(Harness.Client.GetSubjects(true, true).Num(), 1);
}

TEST(SubjectNaming, UnusableNamesAreRefusedWithTheReasonAndThePreviousNameStays)
{
	FNamingHarness Harness;
	Harness.Decode(PoseWithFocalLength35);
	ASSERT_TRUE(Harness.Set("SubjectName", "Crane"));
	Harness.Client.Tick();
	Harness.Log.Take();

	const std::string LongName(1024, 'x');
	const std::pair<const char*, const char*> Refused[] = {
		{"", "empty"}, {"   ", "empty"}, {" \t ", "empty"}, {"none", "None"}, {LongName.c_str(), "longer than 1023"}};
	for (const auto& [Typed, Reason] : Refused)
	{
		Harness.Set("SubjectName", Typed);
		EXPECT_EQ(Text(Harness.Details().SubjectName), "Crane") << '"' << Typed << '"';
		const std::string Error = Text(Harness.Details().SubjectNameError);
		EXPECT_NE(Error.find("Refused"), std::string::npos) << Error;
		EXPECT_NE(Error.find(Reason), std::string::npos) << Error;
		EXPECT_NE(Error.find("'Crane'"), std::string::npos) << Error;
		Harness.Client.Tick();
		EXPECT_EQ(Harness.Log.Take(), (std::vector<std::string>{"frame Crane"})) << '"' << Typed << '"';
	}
	EXPECT_TRUE(FLiveLinkClientTesting::HasSubject(Harness.Client, Harness.Key("Crane")));

	// A usable name clears the reason.
	ASSERT_TRUE(Harness.Set("SubjectName", "Dolly"));
	EXPECT_EQ(Text(Harness.Details().SubjectNameError), "");
	Harness.Client.Tick();
	EXPECT_EQ(Harness.Log.Take(), (std::vector<std::string>{"static Dolly", "frame Dolly"}));
}

TEST(SubjectNaming, SecondSourceOfTheSameNameIsDisabledAndItsDetailsSaySo)
{
	FNamingHarness Harness;
	Harness.Add(MakeSharedLoopbackSource(true, false, false));
	Harness.Decode(PoseWithFocalLength35, 0);
	Harness.Decode(PoseWithFocalLength70, 1);
	Harness.Client.Tick();
	Harness.Client.Tick();
	EXPECT_EQ(Text(Harness.Details(0).SubjectStatus), "Enabled");
	const std::string Status = Text(Harness.Details(1).SubjectStatus);
	EXPECT_EQ(Status.rfind("Disabled: another source publishes an enabled subject named 'Tavrix - Camera'", 0), 0u) << Status;
	EXPECT_EQ(FLiveLinkClientTesting::GetFrameCount(Harness.Client, Harness.Key("Tavrix - Camera", 1)), 0u);
	EXPECT_EQ(FLiveLinkClientTesting::GetFrameCount(Harness.Client, Harness.Key("Tavrix - Camera", 0)), 1u);

	// Enabling the second in Live Link disables the first from the next tick; the details follow.
	Harness.Client.SetSubjectEnabled(Harness.Key("Tavrix - Camera", 1), true);
	Harness.Client.Tick();
	EXPECT_EQ(Text(Harness.Details(1).SubjectStatus), "Enabled");
	EXPECT_EQ(Text(Harness.Details(0).SubjectStatus).rfind("Disabled: another source", 0), 0u);
	EXPECT_TRUE(Harness.Client.IsSubjectEnabled(FLiveLinkSubjectName(DefaultName)));

	// A name of its own makes the first publish again.
	ASSERT_TRUE(Harness.Set("SubjectName", "Tavrix - Camera A", 0));
	Harness.Log.Take();
	Harness.Client.Tick();
	Harness.Client.Tick();
	EXPECT_EQ(Text(Harness.Details(0).SubjectStatus), "Enabled");
	EXPECT_EQ(Text(Harness.Details(1).SubjectStatus), "Enabled");
	const std::vector<std::string> Pushes = Harness.Log.Take();
	EXPECT_NE(std::find(Pushes.begin(), Pushes.end(), "frame Tavrix - Camera A"), Pushes.end());
	EXPECT_EQ(Harness.Client.GetSubjects(false, false).Num(), 2);
}

TEST(SubjectNaming, OptionsEditedInTheDetailsApplyFromTheNextTick)
{
	FNamingHarness Harness(true, false, false);
	UTavrixLiveLinkSourceSettings& Details = Harness.Details();
	EXPECT_TRUE(Details.bAutoLens);
	EXPECT_FALSE(Details.bAutoSceneTake);
	EXPECT_FALSE(Details.bAutoRecord);
	Harness.Decode(PoseWithFocalLength35);
	Harness.Client.Tick();
	EXPECT_FLOAT_EQ(Harness.Log.LastFrame.FocalLength, 35.0f);

	ASSERT_TRUE(Harness.Set("bAutoLens", "False"));
	Harness.Client.Tick();
	EXPECT_FLOAT_EQ(Harness.Log.LastFrame.FocalLength, FLiveLinkCameraFrameData().FocalLength);
	// Off, the decoder leaves the lens alone too: a datagram meanwhile does not reach the frames later.
	Harness.Decode(PoseWithFocalLength70);
	ASSERT_TRUE(Harness.Set("bAutoLens", "True"));
	Harness.Client.Tick();
	EXPECT_FLOAT_EQ(Harness.Log.LastFrame.FocalLength, 35.0f);
	Harness.Decode(PoseWithFocalLength70);
	Harness.Client.Tick();
	EXPECT_FLOAT_EQ(Harness.Log.LastFrame.FocalLength, 70.0f);

	ASSERT_TRUE(Harness.Set("bAutoSceneTake", "True"));
	ASSERT_TRUE(Harness.Set("bAutoRecord", "True"));
	FTavrixLiveLinkSourceInspector Inspector(*Harness.Sources[0]);
	EXPECT_TRUE(Inspector.GetAutoSceneTake());
	EXPECT_TRUE(Inspector.GetAutoRecord());
	ASSERT_TRUE(Harness.Set("bAutoSceneTake", "False"));
	EXPECT_FALSE(Inspector.GetAutoSceneTake());
	EXPECT_TRUE(Inspector.GetAutoLens());
}

// The receive thread reads the options for every datagram while the details change them on the game thread.
TEST(SubjectNaming, OptionsChangeWhileTheReceiveThreadDecodes)
{
	FNamingHarness Harness(true, false, false);
	FTavrixLiveLinkSourceInspector Inspector(*Harness.Sources[0]);
	const uint16 Port = static_cast<uint16>(Inspector.GetBoundPort());
	FLoopbackUdp Sender;
	for (int Round = 0; Round < 40; ++Round)
	{
		ASSERT_TRUE(Sender.SendTo(Port, PoseWithFocalLength35));
		Harness.Set("bAutoLens", Round % 2 == 0 ? "False" : "True");
		Harness.Set("bAutoRecord", Round % 2 == 0 ? "True" : "False");
		Harness.Client.Tick();
	}
	ASSERT_TRUE(WaitUntil([&] { return Inspector.GetDecodedCameraCount() == 40; }));
	ASSERT_TRUE(Harness.Set("bAutoLens", "True"));
	ASSERT_TRUE(Sender.SendTo(Port, PoseWithFocalLength70));
	ASSERT_TRUE(WaitUntil([&] { return Inspector.GetDecodedCameraCount() == 41; }));
	Harness.Client.Tick();
	EXPECT_FLOAT_EQ(Harness.Log.LastFrame.FocalLength, 70.0f);
}

TEST(SubjectNaming, FreshSettingsTakeTheOptionsTheSourceWasMadeWith)
{
	FLiveLinkClient Client;
	const uint16 Port = FreeLoopbackPort();
	const TSharedPtr<ILiveLinkSource> FromConnectionString =
		GetDefault<UTavrixLiveLinkSourceFactory>()->CreateSource(FString::FromUtf8("127.0.0.1:" + std::to_string(Port)));
	ASSERT_TRUE(FromConnectionString.IsValid());
	const FGuid First = Client.AddSource(FromConnectionString);
	// What the creation panel makes: the options the user ticked.
	const FGuid Second = Client.AddSource(MakeSharedLoopbackSource(true, false, true));

	const auto& Fixed = *static_cast<UTavrixLiveLinkSourceSettings*>(Client.GetSourceSettings(First));
	EXPECT_EQ(Text(Fixed.SubjectName), "Tavrix - Camera");
	EXPECT_FALSE(Fixed.bAutoLens);
	EXPECT_TRUE(Fixed.bAutoSceneTake);
	EXPECT_FALSE(Fixed.bAutoRecord);
	EXPECT_TRUE(Fixed.bOptionsSaved);
	FTavrixLiveLinkSourceInspector FixedInspector(*static_cast<FTavrixLiveLinkSource*>(FromConnectionString.Get()));
	EXPECT_FALSE(FixedInspector.GetAutoLens());
	EXPECT_TRUE(FixedInspector.GetAutoSceneTake());
	EXPECT_FALSE(FixedInspector.GetAutoRecord());

	const auto& Chosen = *static_cast<UTavrixLiveLinkSourceSettings*>(Client.GetSourceSettings(Second));
	EXPECT_TRUE(Chosen.bAutoLens);
	EXPECT_FALSE(Chosen.bAutoSceneTake);
	EXPECT_TRUE(Chosen.bAutoRecord);
	EXPECT_TRUE(Chosen.bOptionsSaved);
	Client.RemoveAllSources();
}

// A preset restores a source as the factory's CreateSource(ConnectionString), then hands it a copy of the saved
// settings after ReceiveClient.
TEST(SubjectNaming, SettingsRestoredFromAPresetReplaceTheConnectionStringsOptions)
{
	FLiveLinkClient Client;
	FPushLog Log(Client);
	const uint16 Port = FreeLoopbackPort();
	const TSharedPtr<ILiveLinkSource> Created =
		GetDefault<UTavrixLiveLinkSourceFactory>()->CreateSource(FString::FromUtf8("127.0.0.1:" + std::to_string(Port)));
	ASSERT_TRUE(Created.IsValid());
	FTavrixLiveLinkSource& Source = *static_cast<FTavrixLiveLinkSource*>(Created.Get());

	std::unique_ptr<UObject> SavedObject = UTavrixLiveLinkSourceSettings::StaticClass()->CreateObject();
	auto& Saved = *static_cast<UTavrixLiveLinkSourceSettings*>(SavedObject.get());
	Saved.SubjectName = TEXT("Jib");
	Saved.bAutoLens = true;
	Saved.bAutoSceneTake = false;
	Saved.bAutoRecord = true;
	Saved.bOptionsSaved = true;

	const FGuid SavedGuid = FGuid::NewGuid();
	Source.ReceiveClient(&Client, SavedGuid);
	Source.InitializeSettings(&Saved);
	FTavrixLiveLinkSourceInspector Inspector(Source);
	EXPECT_TRUE(Inspector.GetAutoLens());
	EXPECT_FALSE(Inspector.GetAutoSceneTake());
	EXPECT_TRUE(Inspector.GetAutoRecord());
	EXPECT_EQ(Text(Saved.SubjectName), "Jib");

	TSharedPtr<TArray<uint8>, ESPMode::ThreadSafe> Data = MakeShared<TArray<uint8>, ESPMode::ThreadSafe>();
	Data->Append(reinterpret_cast<const uint8*>(PoseWithFocalLength35), static_cast<int32>(std::strlen(PoseWithFocalLength35)));
	Source.ProcessReceivedData(Data);
	Client.Tick();
	EXPECT_EQ(Log.Take(), (std::vector<std::string>{"static Jib", "frame Jib"}));
	EXPECT_FLOAT_EQ(Log.LastFrame.FocalLength, 35.0f);

	// A saved name that cannot be used gives way to the default, and the details say why.
	const TSharedPtr<ILiveLinkSource> Other =
		GetDefault<UTavrixLiveLinkSourceFactory>()->CreateSource(FString::FromUtf8("127.0.0.1:" + std::to_string(FreeLoopbackPort())));
	ASSERT_TRUE(Other.IsValid());
	std::unique_ptr<UObject> BlankObject = UTavrixLiveLinkSourceSettings::StaticClass()->CreateObject();
	auto& Blank = *static_cast<UTavrixLiveLinkSourceSettings*>(BlankObject.get());
	Blank.SubjectName = TEXT("  ");
	Blank.bOptionsSaved = true;
	Other->ReceiveClient(&Client, FGuid::NewGuid());
	Other->InitializeSettings(&Blank);
	EXPECT_EQ(Text(Blank.SubjectName), "Tavrix - Camera");
	EXPECT_NE(Text(Blank.SubjectNameError).find("empty"), std::string::npos);
}
} // namespace

namespace
{
UTavrixLiveLinkSourceSettings& TavrixSettings(const FLiveLinkClient& Client, FGuid Source)
{
	return *static_cast<UTavrixLiveLinkSourceSettings*>(Client.GetSourceSettings(Source));
}

/** A preset saved from one client and applied to a new one, the first having let its sockets go in between. */
struct FPresetRoundTrip
{
	FLiveLinkClient Saving;
	std::unique_ptr<FLiveLinkClient> Restoring;
	TArray<FGuid> Restored;

	void Apply()
	{
		const FLiveLinkPresetData Preset = FLiveLinkClientTesting::SavePreset(Saving);
		Saving.RemoveAllSources();
		Restoring = std::make_unique<FLiveLinkClient>();
		Restored = FLiveLinkClientTesting::ApplyPreset(*Restoring, Preset);
	}
	FTavrixLiveLinkSource& RestoredSource(int32 Index) const
	{
		return *static_cast<FTavrixLiveLinkSource*>(FLiveLinkClientTesting::GetSource(*Restoring, Restored[Index]).Get());
	}
	~FPresetRoundTrip()
	{
		if (Restoring)
		{
			Restoring->RemoveAllSources();
		}
	}
};

TEST(SubjectNaming, APresetRoundTripKeepsThePanelsOptionsTheNameAndTheAcceptedSenders)
{
	FPresetRoundTrip Trip;
	const uint16 Port = FreeLoopbackPort();
	const FString Connection = FString::FromUtf8("127.0.0.1:" + std::to_string(Port));
	// What the creation panel makes with every option the other way round from a connection string's.
	TSharedPtr<ILiveLinkSource> FromPanel =
		MakeShared<FTavrixLiveLinkSource>(FIPv4Endpoint(FIPv4Address::InternalLoopback, Port), true, false, true);
	const FGuid Guid =
		FLiveLinkClientTesting::AddSourceFromFactory(Trip.Saving, FromPanel, Connection, UTavrixLiveLinkSourceFactory::StaticClass());
	ASSERT_TRUE(FLiveLinkClientTesting::SetSourceSettingsProperty(Trip.Saving, Guid, FName("SubjectName"), TEXT("Crane")));
	ASSERT_TRUE(
		FLiveLinkClientTesting::SetSourceSettingsProperty(Trip.Saving, Guid, FName("AcceptedSenders"), TEXT("127.0.0.1, 10.0.0.0/24")));
	ASSERT_EQ(Text(TavrixSettings(Trip.Saving, Guid).AcceptedSendersError), "");

	// Only the client holds the source now: removing it lets its port go for the restored one.
	FromPanel.Reset();
	Trip.Apply();
	ASSERT_EQ(Trip.Restored.Num(), 1);
	EXPECT_EQ(Trip.Restored[0], Guid);
	const UTavrixLiveLinkSourceSettings& Settings = TavrixSettings(*Trip.Restoring, Guid);
	EXPECT_EQ(Text(Settings.ConnectionString), Connection.ToUtf8());
	EXPECT_EQ(Text(Settings.SubjectName), "Crane");
	EXPECT_EQ(Text(Settings.AcceptedSenders), "127.0.0.1, 10.0.0.0/24");
	EXPECT_EQ(Text(Settings.AcceptedSendersError), "");
	FTavrixLiveLinkSourceInspector Inspector(Trip.RestoredSource(0));
	EXPECT_TRUE(Inspector.GetAutoLens());
	EXPECT_FALSE(Inspector.GetAutoSceneTake());
	EXPECT_TRUE(Inspector.GetAutoRecord());

	// The restored source publishes under the saved name.
	FPushLog Log(*Trip.Restoring);
	TSharedPtr<TArray<uint8>, ESPMode::ThreadSafe> Data = MakeShared<TArray<uint8>, ESPMode::ThreadSafe>();
	Data->Append(reinterpret_cast<const uint8*>(PoseWithFocalLength35), static_cast<int32>(std::strlen(PoseWithFocalLength35)));
	Trip.RestoredSource(0).ProcessReceivedData(Data);
	Trip.Restoring->Tick();
	EXPECT_EQ(Log.Take(), (std::vector<std::string>{"static Crane", "frame Crane"}));
}

TEST(SubjectNaming, APresetRoundTripOfAConnectionStringSourceKeepsItsFixedOptions)
{
	FPresetRoundTrip Trip;
	const FString Connection = FString::FromUtf8("127.0.0.1:" + std::to_string(FreeLoopbackPort()));
	const FGuid Guid = FLiveLinkClientTesting::AddSourceFromFactory(Trip.Saving,
		GetDefault<UTavrixLiveLinkSourceFactory>()->CreateSource(Connection), Connection, UTavrixLiveLinkSourceFactory::StaticClass());

	Trip.Apply();
	ASSERT_EQ(Trip.Restored.Num(), 1);
	EXPECT_EQ(Trip.Restored[0], Guid);
	const UTavrixLiveLinkSourceSettings& Settings = TavrixSettings(*Trip.Restoring, Guid);
	EXPECT_EQ(Text(Settings.SubjectName), "Tavrix - Camera");
	EXPECT_FALSE(Settings.bAutoLens);
	EXPECT_TRUE(Settings.bAutoSceneTake);
	EXPECT_FALSE(Settings.bAutoRecord);
	FTavrixLiveLinkSourceInspector Inspector(Trip.RestoredSource(0));
	EXPECT_FALSE(Inspector.GetAutoLens());
	EXPECT_TRUE(Inspector.GetAutoSceneTake());
	EXPECT_FALSE(Inspector.GetAutoRecord());
}
} // namespace
