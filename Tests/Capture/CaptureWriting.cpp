#include "CaptureTestSupport.h"
#include "CaptureWriterInspector.h"
#include "GenericPlatform/PlatformFileTesting.h"
#include "LogCapture.h"
#include "SenderTestSupport.h"
#include "TavrixCaptureFile.h"
#include "TavrixCaptureWriter.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>

using namespace CaptureTest;

namespace
{
constexpr uint32 LocalAddress = 0x7F000001;
constexpr uint16 LocalPort = 9001;
constexpr int64_t FirstArrival = 1'700'000'000'250'000;

/** Datagrams from two senders, with an empty one, a binary one and a large one among them, 20 ms apart. */
std::vector<FOfferedDatagram> MakeDatagrams()
{
	std::vector<FOfferedDatagram> Datagrams;
	for (int Index = 0; Index < 40; ++Index)
	{
		FOfferedDatagram Datagram;
		Datagram.ArrivalMicroseconds = FirstArrival + Index * 20'000 + Index % 7;
		Datagram.SenderAddress = Index % 2 == 0 ? 0x0A000005 : 0xC0A80117;
		Datagram.SenderPort = static_cast<uint16>(Index % 2 == 0 ? 50000 : 61234);
		Datagram.Payload = "{\"TVKCamera\":[{\"Timecode\":[" + std::to_string(Index) + ",25,1]}]}";
		Datagrams.push_back(Datagram);
	}
	Datagrams[3].Payload.clear();
	Datagrams[5].Payload = std::string("\0\x01\xFF\x7F\0", 5);
	Datagrams[8].Payload = std::string(9000, 'L');
	return Datagrams;
}

bool Offer(FTavrixCaptureWriter& Writer, const FOfferedDatagram& Datagram)
{
	return Writer.Enqueue(Datagram.ArrivalMicroseconds, Datagram.SenderAddress, Datagram.SenderPort,
		reinterpret_cast<const uint8*>(Datagram.Payload.data()), static_cast<int32>(Datagram.Payload.size()));
}

/** Writes MakeDatagrams() into a new capture in InFolder and returns its path. */
std::string WriteCapture(const FTempFolder& InFolder)
{
	FTavrixCaptureWriter Writer;
	EXPECT_TRUE(Writer.Start(InFolder.GetFString(), FIPv4Endpoint(FIPv4Address(LocalAddress), LocalPort)));
	for (const FOfferedDatagram& Datagram : MakeDatagrams())
	{
		EXPECT_TRUE(Offer(Writer, Datagram));
	}
	Writer.Stop();
	const FTavrixCaptureStatus Status = Writer.GetStatus();
	EXPECT_EQ(Status.CapturedDatagrams, MakeDatagrams().size());
	EXPECT_EQ(Status.DroppedDatagrams, 0u);
	EXPECT_FALSE(Status.bFailed) << Status.Error.ToUtf8();
	EXPECT_FALSE(Status.bCapturing);
	return Status.FilePath.ToUtf8();
}

std::string DottedQuad(uint32 InAddress)
{
	return std::to_string(InAddress >> 24) + "." + std::to_string((InAddress >> 16) & 0xFF) + "." +
		std::to_string((InAddress >> 8) & 0xFF) + "." + std::to_string(InAddress & 0xFF);
}
} // namespace

TEST(CaptureWriting, ReplayReaderReadsBackThePayloadsAndTiming)
{
	FTempFolder Folder;
	const std::string Path = WriteCapture(Folder);
	const std::vector<FOfferedDatagram> Offered = MakeDatagrams();

	const TavrixSend::FTavrixCaptureLoad Load = TavrixSend::LoadCapture(Path, "");
	ASSERT_EQ(Load.Problem, TavrixSend::ETavrixCaptureProblem::None) << Load.Error;
	EXPECT_TRUE(Load.Capture.ReadError.empty()) << Load.Capture.ReadError;
	EXPECT_EQ(Load.Capture.Skipped.Total(), 0u) << Load.Capture.Skipped.Describe();
	ASSERT_EQ(Load.Capture.Datagrams.size(), Offered.size());
	for (size_t Index = 0; Index < Offered.size(); ++Index)
	{
		EXPECT_EQ(Load.Capture.Datagrams[Index].Payload, Offered[Index].Payload) << "datagram " << Index;
		EXPECT_EQ(std::chrono::duration_cast<std::chrono::microseconds>(Load.Capture.Datagrams[Index].Timestamp).count(),
			Offered[Index].ArrivalMicroseconds)
			<< "datagram " << Index;
	}

	// A filter in tcpdump's language sees the senders and the receiving end in the headers.
	const TavrixSend::FTavrixCaptureLoad FromOne =
		TavrixSend::LoadCapture(Path, "src host 10.0.0.5 and src port 50000 and dst host 127.0.0.1 and dst port 9001");
	ASSERT_EQ(FromOne.Problem, TavrixSend::ETavrixCaptureProblem::None) << FromOne.Error;
	EXPECT_EQ(FromOne.Capture.Datagrams.size(), Offered.size() / 2);
}

TEST(CaptureWriting, TcpdumpShowsEveryDatagramWithItsEndsAndPayload)
{
	const std::optional<std::string> Tcpdump = FindTool("tcpdump");
	if (!Tcpdump)
	{
		GTEST_SKIP() << "tcpdump is not installed (Scripts/install-deps.sh installs it)";
	}
	FTempFolder Folder;
	const std::string Path = WriteCapture(Folder);
	const std::vector<FOfferedDatagram> Offered = MakeDatagrams();

	const FTcpdumpReading Reading = ReadWithTcpdump(*Tcpdump, Path);
	ASSERT_EQ(Reading.ExitCode, 0) << Reading.Err;
	EXPECT_EQ(Reading.Err.find("truncated"), std::string::npos) << Reading.Err;
	ASSERT_EQ(Reading.Packets.size(), Offered.size()) << Reading.Err;
	for (size_t Index = 0; Index < Offered.size(); ++Index)
	{
		const FOfferedDatagram& Datagram = Offered[Index];
		const FTcpdumpPacket& Packet = Reading.Packets[Index];
		std::ostringstream Time;
		Time << Datagram.ArrivalMicroseconds / 1'000'000 << "." << std::setw(6) << std::setfill('0')
			 << Datagram.ArrivalMicroseconds % 1'000'000;
		const std::string Ends = DottedQuad(Datagram.SenderAddress) + "." + std::to_string(Datagram.SenderPort) + " > 127.0.0.1.9001:";
		EXPECT_EQ(Packet.Summary.rfind(Time.str() + " IP ", 0), 0u) << Packet.Summary;
		EXPECT_NE(Packet.Summary.find(Ends), std::string::npos) << Packet.Summary;
		EXPECT_NE(Packet.Summary.find("UDP, length " + std::to_string(Datagram.Payload.size())), std::string::npos) << Packet.Summary;
		EXPECT_EQ(Packet.Summary.find("bad"), std::string::npos) << Packet.Summary;
		ASSERT_EQ(Packet.Bytes.size(), 28 + Datagram.Payload.size()) << Packet.Summary;
		EXPECT_EQ(std::string(Packet.Bytes.begin() + 28, Packet.Bytes.end()), Datagram.Payload) << "datagram " << Index;
	}
}

TEST(CaptureWriting, TsharkShowsEveryDatagramWithItsEnds)
{
	const std::optional<std::string> Tshark = FindTool("tshark");
	if (!Tshark)
	{
		GTEST_SKIP() << "tshark is not installed (apt-get install tshark); tcpdump's reading is checked on its own";
	}
	FTempFolder Folder;
	const std::string Path = WriteCapture(Folder);
	const std::vector<FOfferedDatagram> Offered = MakeDatagrams();

	FChildProcess Process({*Tshark, "-r", Path, "-n", "-o", "ip.check_checksum:TRUE", "-T", "fields", "-E", "separator=,", "-e", "ip.src",
		"-e", "udp.srcport", "-e", "ip.dst", "-e", "udp.dstport", "-e", "udp.length", "-e", "ip.checksum.status"});
	const FProcessResult Result = Process.Finish(std::chrono::seconds(120));
	ASSERT_EQ(Result.ExitCode, 0) << Result.Err;
	std::istringstream Lines(Result.Out);
	std::string Line;
	size_t Index = 0;
	while (std::getline(Lines, Line) && Index < Offered.size())
	{
		const FOfferedDatagram& Datagram = Offered[Index++];
		// Status 1 is "good" (0 bad, 2 unverified).
		const std::string Expected = DottedQuad(Datagram.SenderAddress) + "," + std::to_string(Datagram.SenderPort) + ",127.0.0.1,9001," +
			std::to_string(8 + Datagram.Payload.size()) + ",1";
		EXPECT_EQ(Line, Expected) << "datagram " << Index - 1;
	}
	EXPECT_EQ(Index, Offered.size()) << Result.Out;
}

TEST(CaptureWriting, NewFileNeverReplacesOne)
{
	FTempFolder Folder;
	// Every name the clock could give in the next seconds is taken already, by a file that must stay as it is.
	const auto Now = std::chrono::system_clock::now();
	std::vector<std::string> Taken;
	for (int Second = -1; Second <= 3; ++Second)
	{
		const std::time_t Time = std::chrono::system_clock::to_time_t(Now + std::chrono::seconds(Second));
		std::tm Utc{};
		::gmtime_r(&Time, &Utc);
		char Name[64];
		std::strftime(Name, sizeof(Name), "Tavrix-%Y%m%d-%H%M%S.pcap", &Utc);
		Taken.push_back(Folder.Get() + "/" + Name);
		std::ofstream(Taken.back()) << "keep";
	}

	FTavrixCaptureWriter Writer;
	std::vector<std::string> Paths;
	for (int Start = 0; Start < 3; ++Start)
	{
		ASSERT_TRUE(Writer.Start(Folder.GetFString(), FIPv4Endpoint(FIPv4Address(LocalAddress), LocalPort)));
		Paths.push_back(Writer.GetStatus().FilePath.ToUtf8());
	}
	Writer.Stop();

	for (const std::string& Path : Taken)
	{
		std::ifstream File(Path);
		std::string Content;
		std::getline(File, Content);
		EXPECT_EQ(Content, "keep") << Path;
	}
	EXPECT_NE(Paths[0], Paths[1]);
	EXPECT_NE(Paths[1], Paths[2]);
	EXPECT_NE(Paths[0], Paths[2]);
	for (const std::string& Path : Paths)
	{
		EXPECT_EQ(Path.rfind(Folder.Get() + "/Tavrix-", 0), 0u) << Path;
		EXPECT_NE(std::find(Taken.begin(), Taken.end(), Path.substr(0, Path.rfind('-')) + ".pcap"), Taken.end()) << Path;
		// Started and stopped with nothing received: a file header and no record.
		EXPECT_EQ(FileSize(Path), 24) << Path;
	}
	EXPECT_EQ(ListCaptures(Folder.Get()).size(), Taken.size() + Paths.size());
}

TEST(CaptureWriting, AnalyserCanReadTheFileWhileItIsWritten)
{
	FTempFolder Folder;
	FTavrixCaptureWriter Writer;
	ASSERT_TRUE(Writer.Start(Folder.GetFString(), FIPv4Endpoint(FIPv4Address(LocalAddress), LocalPort)));
	const FString Path = Writer.GetStatus().FilePath;
	EXPECT_TRUE(Offer(Writer, MakeDatagrams()[0]));
	// On Windows a file opened for writing alone cannot be opened by a network analyser following the capture.
	EXPECT_TRUE(FPlatformFileTesting::CanBeReadWhileWritten(*Path)) << Path.ToUtf8();
	Writer.Stop();
}

TEST(CaptureWriting, DatagramsOutsideACaptureOrTooLargeAreNotWritten)
{
	FTempFolder Folder;
	FTavrixCaptureWriter Writer;
	const uint8 Byte = 'x';
	EXPECT_FALSE(Writer.Enqueue(FirstArrival, 1, 2, &Byte, 1));
	ASSERT_TRUE(Writer.Start(Folder.GetFString(), FIPv4Endpoint(FIPv4Address(LocalAddress), LocalPort)));
	const std::string TooLarge(static_cast<size_t>(TavrixPcapFormat::MaxPayloadSize) + 1, 'x');
	EXPECT_FALSE(Writer.Enqueue(FirstArrival, 1, 2, reinterpret_cast<const uint8*>(TooLarge.data()), static_cast<int32>(TooLarge.size())));
	EXPECT_TRUE(Writer.Enqueue(FirstArrival, 1, 2, &Byte, 1));
	Writer.Stop();
	EXPECT_FALSE(Writer.Enqueue(FirstArrival, 1, 2, &Byte, 1));

	const FTavrixCaptureStatus Status = Writer.GetStatus();
	EXPECT_EQ(Status.CapturedDatagrams, 1u);
	EXPECT_EQ(Status.DroppedDatagrams, 1u);
	EXPECT_EQ(FileSize(Status.FilePath.ToUtf8()), 24 + TavrixPcapFormat::RecordOverhead + 1);
}

TEST(CaptureWriting, FloodBeyondTheQueueIsCountedNeverLost)
{
	FTempFolder Folder;
	FTavrixCaptureWriter Writer;
	ASSERT_TRUE(Writer.Start(Folder.GetFString(), FIPv4Endpoint(FIPv4Address(LocalAddress), LocalPort)));
	// Three times the queue's budget offered at once, faster than any disk: some may be dropped, none may vanish.
	const std::string Payload(TavrixPcapFormat::MaxPayloadSize, 'F');
	const int Offered = 3 * FTavrixCaptureWriter::QueueByteBudget / static_cast<int>(Payload.size());
	int Accepted = 0;
	for (int Index = 0; Index < Offered; ++Index)
	{
		Accepted +=
			Writer.Enqueue(FirstArrival + Index, 1, 2, reinterpret_cast<const uint8*>(Payload.data()), static_cast<int32>(Payload.size()))
			? 1
			: 0;
	}
	Writer.Stop();

	const FTavrixCaptureStatus Status = Writer.GetStatus();
	EXPECT_EQ(Status.CapturedDatagrams, static_cast<uint64>(Accepted));
	EXPECT_EQ(Status.CapturedDatagrams + Status.DroppedDatagrams, static_cast<uint64>(Offered));
	EXPECT_EQ(FileSize(Status.FilePath.ToUtf8()), 24 + Accepted * int64_t(TavrixPcapFormat::RecordOverhead + Payload.size()));
	const TavrixSend::FTavrixCaptureLoad Load = TavrixSend::LoadCapture(Status.FilePath.ToUtf8(), "");
	EXPECT_EQ(Load.Capture.Datagrams.size(), static_cast<size_t>(Accepted));
	EXPECT_TRUE(Load.Capture.ReadError.empty()) << Load.Capture.ReadError;
}

TEST(CaptureWriting, QueueTakesRecordsUpToItsBudgetAndDropsWhatDoesNotFit)
{
	FTavrixCaptureWriter Writer;
	const FTavrixCaptureWriterInspector Inspector(Writer);
	Inspector.OpenQueueWithoutWriter();
	constexpr int32 PayloadSize = 1000;
	constexpr int32 RecordSize = TavrixPcapFormat::RecordOverhead + PayloadSize;
	constexpr int32 Fitting = FTavrixCaptureWriter::QueueByteBudget / RecordSize;
	constexpr int32 SpaceLeft = FTavrixCaptureWriter::QueueByteBudget - Fitting * RecordSize;
	static_assert(SpaceLeft > TavrixPcapFormat::RecordOverhead, "the last record must not fit whole, a smaller one must");
	const std::string Payload(PayloadSize, 'Q');
	const auto OfferBytes = [&Writer](const std::string& InPayload) {
		return Writer.Enqueue(FirstArrival, 1, 2, reinterpret_cast<const uint8*>(InPayload.data()), static_cast<int32>(InPayload.size()));
	};

	int32 Accepted = 0;
	for (int32 Index = 0; Index < Fitting + 3; ++Index)
	{
		Accepted += OfferBytes(Payload) ? 1 : 0;
	}
	EXPECT_EQ(Accepted, Fitting);
	EXPECT_EQ(Inspector.GetQueuedRecords(), Fitting);
	EXPECT_EQ(Inspector.GetQueuedBytes(), Fitting * RecordSize);
	EXPECT_EQ(Writer.GetStatus().DroppedDatagrams, 3u);

	// The space left still takes a record that fills it exactly; after that not even an empty datagram fits.
	EXPECT_TRUE(OfferBytes(std::string(static_cast<size_t>(SpaceLeft - TavrixPcapFormat::RecordOverhead), 'q')));
	EXPECT_EQ(Inspector.GetQueuedBytes(), FTavrixCaptureWriter::QueueByteBudget);
	EXPECT_FALSE(OfferBytes(std::string()));
	EXPECT_EQ(Inspector.GetQueuedBytes(), FTavrixCaptureWriter::QueueByteBudget);
	EXPECT_EQ(Inspector.GetQueuedRecords(), Fitting + 1);
	EXPECT_EQ(Writer.GetStatus().DroppedDatagrams, 4u);
	Inspector.CloseQueueWithoutWriter();
}
