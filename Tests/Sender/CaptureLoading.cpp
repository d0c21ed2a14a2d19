#include "CaptureTestSupport.h"
#include "TavrixCaptureFile.h"

#include <gtest/gtest.h>
#include <pcap/dlt.h>

#include <filesystem>
#include <fstream>
#include <optional>

using namespace TavrixSend;
using namespace CaptureTest;
using namespace std::chrono_literals;

namespace
{
const FTavrixEndpoint OtherPort{Workstation.Address, 9002};

/** An IPv6 datagram as InLinkType frames it; none for a link type that carries only IPv4. */
std::optional<FBytes> FrameIPv6(int InLinkType, std::string_view InPayload)
{
	const FBytes Packet = MakeIPv6Udp(InPayload);
	switch (InLinkType)
	{
	case DLT_EN10MB:
		return Ethernet(Packet, EtherTypeIPv6);
	case DLT_LINUX_SLL:
		return Cooked(Packet, EtherTypeIPv6);
	case DLT_LINUX_SLL2:
		return Cooked2(Packet, EtherTypeIPv6);
	case DLT_NULL:
		return Loopback(Packet, 30, false);
	case DLT_LOOP:
		return Loopback(Packet, 30, true);
	case DLT_RAW:
		return Packet;
	default:
		return std::nullopt;
	}
}

std::vector<std::string> PayloadsOf(const FTavrixCapture& InCapture)
{
	std::vector<std::string> Payloads;
	for (const FTavrixCapturedDatagram& Datagram : InCapture.Datagrams)
	{
		Payloads.push_back(Datagram.Payload);
	}
	return Payloads;
}

void ExpectProblem(const FTavrixCaptureLoad& InLoad, ETavrixCaptureProblem InProblem, std::initializer_list<std::string_view> InMentioned)
{
	EXPECT_EQ(InLoad.Problem, InProblem) << InLoad.Error;
	for (const std::string_view Text : InMentioned)
	{
		EXPECT_NE(InLoad.Error.find(Text), std::string::npos) << "'" << Text << "' not in: " << InLoad.Error;
	}
}
} // namespace

TEST(CaptureLoading, KeepsTheUdpDatagramsOfEveryLinkTypeInFileOrder)
{
	const std::string Binary("bin\0ary\xFF", 8);
	for (const int LinkType : ReplayableLinkTypes)
	{
		const FBytes First = MakeIPv4Udp("first");
		std::vector<FCaptureRecord> Records{At(0us, Frame(LinkType, First)),
			At(10'000us, Frame(LinkType, MakeIPv4Udp("tcp segment", CameraHost, Workstation, FIPv4Shape{6}))),
			At(20'000us, Frame(LinkType, MakeIPv4Udp("first piece", CameraHost, Workstation, FIPv4Shape{17, 0x2000}))),
			At(30'000us, Frame(LinkType, MakeIPv4Udp("cut short")), Frame(LinkType, MakeIPv4Udp("cut short")).size() - 3),
			At(40'000us, Frame(LinkType, MakeIPv4Udp(Binary)))};
		const std::optional<FBytes> IPv6 = FrameIPv6(LinkType, "over IPv6");
		if (IPv6)
		{
			Records.push_back(At(45'000us, *IPv6));
		}
		Records.push_back(At(50'000us, Frame(LinkType, MakeIPv4Udp(""))));
		const FTempPath Path("every-link-" + std::to_string(LinkType) + ".pcap");
		ASSERT_TRUE(WritePcap(Path.Get(), LinkType, Records));

		const FTavrixCaptureLoad Load = LoadCapture(Path.Get(), "");
		ASSERT_EQ(Load.Problem, ETavrixCaptureProblem::None) << Load.Error;
		const FTavrixCapture& Capture = Load.Capture;
		EXPECT_EQ(PayloadsOf(Capture), (std::vector<std::string>{"first", Binary, ""})) << "link type " << LinkType;
		ASSERT_EQ(Capture.Datagrams.size(), 3u);
		EXPECT_EQ(Capture.Datagrams[0].Timestamp, CaptureTime(0us));
		EXPECT_EQ(Capture.Datagrams[1].Timestamp - Capture.Datagrams[0].Timestamp, 40ms);
		EXPECT_EQ(Capture.Datagrams[2].Timestamp - Capture.Datagrams[0].Timestamp, 50ms);
		EXPECT_EQ(Capture.Skipped.NotUdp, 1u);
		EXPECT_EQ(Capture.Skipped.Fragments, 1u);
		EXPECT_EQ(Capture.Skipped.Truncated, 1u);
		EXPECT_EQ(Capture.Skipped.NotIPv4, IPv6 ? 1u : 0u);
		EXPECT_EQ(Capture.Skipped.FilteredOut, 0u);
		EXPECT_TRUE(Capture.ReadError.empty()) << Capture.ReadError;
	}
}

TEST(CaptureLoading, EthernetCaptureKeepsVlanTaggedDatagramsAndSkipsArp)
{
	const FTempPath Path("vlan.pcap");
	ASSERT_TRUE(WritePcap(Path.Get(), DLT_EN10MB,
		{At(0us, Ethernet(MakeIPv4Udp("untagged"))), At(1'000us, Ethernet(FBytes(28, 0), EtherTypeArp)),
			At(2'000us, Ethernet(MakeIPv4Udp("tagged"), EtherTypeIPv4, {0x8100})),
			At(3'000us, Ethernet(MakeIPv4Udp("double tagged"), EtherTypeIPv4, {0x88A8, 0x8100}))}));

	const FTavrixCaptureLoad Load = LoadCapture(Path.Get(), "");
	ASSERT_EQ(Load.Problem, ETavrixCaptureProblem::None) << Load.Error;
	EXPECT_EQ(PayloadsOf(Load.Capture), (std::vector<std::string>{"untagged", "tagged", "double tagged"}));
	EXPECT_EQ(Load.Capture.Skipped.Describe(), "1 not IPv4");
}

TEST(CaptureLoading, NanosecondTimestampsKeepTheirPrecision)
{
	const FTempPath Path("nanoseconds.pcap");
	std::vector<FCaptureRecord> Records{{CaptureTime(0us), MakeIPv4Udp("a")}, {CaptureTime(0us) + 1'234'567ns, MakeIPv4Udp("b")}};
	ASSERT_TRUE(WritePcap(Path.Get(), DLT_RAW, Records, true));

	const FTavrixCaptureLoad Load = LoadCapture(Path.Get(), "");
	ASSERT_EQ(Load.Capture.Datagrams.size(), 2u) << Load.Error;
	EXPECT_EQ(Load.Capture.Datagrams[1].Timestamp - Load.Capture.Datagrams[0].Timestamp, 1'234'567ns);
}

TEST(CaptureLoading, ReadsPcapngFiles)
{
	const FTempPath Path("blocks.pcapng");
	const FBytes Cut = Ethernet(MakeIPv4Udp("cut short"));
	ASSERT_TRUE(WritePcapng(Path.Get(), DLT_EN10MB,
		{At(0us, Ethernet(MakeIPv4Udp("one"))), At(5'000us, Ethernet(MakeIPv6Udp("six"), EtherTypeIPv6)), At(20'000us, Cut, Cut.size() - 2),
			At(40'001us, Ethernet(MakeIPv4Udp("three")))}));

	const FTavrixCaptureLoad Load = LoadCapture(Path.Get(), "udp");
	ASSERT_EQ(Load.Problem, ETavrixCaptureProblem::None) << Load.Error;
	EXPECT_EQ(PayloadsOf(Load.Capture), (std::vector<std::string>{"one", "three"}));
	ASSERT_EQ(Load.Capture.Datagrams.size(), 2u);
	EXPECT_EQ(Load.Capture.Datagrams[1].Timestamp - Load.Capture.Datagrams[0].Timestamp, 40'001us);
	EXPECT_EQ(Load.Capture.Skipped.Describe(), "1 not IPv4, 1 truncated");
	EXPECT_TRUE(Load.Capture.ReadError.empty()) << Load.Capture.ReadError;
}

TEST(CaptureLoading, FilterChoosesThePacketsReplayed)
{
	const std::vector<FCaptureRecord> Records{At(0us, Ethernet(MakeIPv4Udp("to 9001 a"))),
		At(1'000us, Ethernet(MakeIPv4Udp("to 9002", CameraHost, OtherPort))),
		At(2'000us, Ethernet(MakeIPv4Udp("tcp to 9001", CameraHost, Workstation, FIPv4Shape{6}))),
		At(3'000us, Ethernet(MakeIPv4Udp("from elsewhere", FTavrixEndpoint{0x0A000077, 50000}, Workstation))),
		At(4'000us, Ethernet(MakeIPv4Udp("to 9001 b")))};
	const FTempPath Path("filter.pcap");
	ASSERT_TRUE(WritePcap(Path.Get(), DLT_EN10MB, Records));

	const FTavrixCaptureLoad ByPort = LoadCapture(Path.Get(), "udp port 9001");
	EXPECT_EQ(PayloadsOf(ByPort.Capture), (std::vector<std::string>{"to 9001 a", "from elsewhere", "to 9001 b"}));
	EXPECT_EQ(ByPort.Capture.Skipped.Describe(), "2 not matching the filter");
	const FTavrixCaptureLoad ByHost = LoadCapture(Path.Get(), "udp dst port 9001 and src host 10.0.0.5");
	EXPECT_EQ(PayloadsOf(ByHost.Capture), (std::vector<std::string>{"to 9001 a", "to 9001 b"}));

	// The same expression is compiled for each link type: a raw IP capture has no link header to skip.
	const FTempPath RawPath("filter-raw.pcap");
	ASSERT_TRUE(
		WritePcap(RawPath.Get(), DLT_RAW, {At(0us, MakeIPv4Udp("to 9001")), At(1'000us, MakeIPv4Udp("to 9002", CameraHost, OtherPort))}));
	EXPECT_EQ(PayloadsOf(LoadCapture(RawPath.Get(), "udp port 9002").Capture), (std::vector<std::string>{"to 9002"}));
}

TEST(CaptureLoading, DamagedLastRecordKeepsTheDatagramsBeforeIt)
{
	const FTempPath Path("damaged.pcap");
	ASSERT_TRUE(
		WritePcap(Path.Get(), DLT_RAW, {At(0us, MakeIPv4Udp("one")), At(1'000us, MakeIPv4Udp("two")), At(2'000us, MakeIPv4Udp("three"))}));
	// As a capture whose writer was killed mid-record leaves it.
	std::filesystem::resize_file(Path.Get(), std::filesystem::file_size(Path.Get()) - 4);

	const FTavrixCaptureLoad Load = LoadCapture(Path.Get(), "");
	ASSERT_EQ(Load.Problem, ETavrixCaptureProblem::None) << Load.Error;
	EXPECT_EQ(PayloadsOf(Load.Capture), (std::vector<std::string>{"one", "two"}));
	EXPECT_FALSE(Load.Capture.ReadError.empty());
}

TEST(CaptureLoading, MissingAndForeignFilesAreUnreadable)
{
	const FTempPath Missing("does-not-exist.pcap");
	ExpectProblem(LoadCapture(Missing.Get(), ""), ETavrixCaptureProblem::Unreadable, {Missing.Get(), "No such file"});

	const FTempPath Text("not-a-capture.pcap");
	std::ofstream(Text.Get()) << "{\"TVKCamera\":[{}]}\n";
	ExpectProblem(LoadCapture(Text.Get(), ""), ETavrixCaptureProblem::Unreadable, {Text.Get()});

	const FTempPath Empty("empty.pcap");
	std::ofstream{Empty.Get()};
	ExpectProblem(LoadCapture(Empty.Get(), ""), ETavrixCaptureProblem::Unreadable, {Empty.Get()});
}

TEST(CaptureLoading, LinkTypeWithoutIPv4IsRefused)
{
	const FTempPath Path("wifi.pcap");
	ASSERT_TRUE(WritePcap(Path.Get(), DLT_IEEE802_11, {At(0us, MakeIPv4Udp("not framed for this link"))}));
	ExpectProblem(LoadCapture(Path.Get(), ""), ETavrixCaptureProblem::UnsupportedLinkType, {Path.Get(), "IEEE802_11"});
}

TEST(CaptureLoading, FilterThatDoesNotCompileIsRefused)
{
	const FTempPath Path("bad-filter.pcap");
	ASSERT_TRUE(WritePcap(Path.Get(), DLT_RAW, {At(0us, MakeIPv4Udp("payload"))}));
	for (const std::string Filter : {"udp port", "udp port 70000", "udp and ("})
	{
		ExpectProblem(LoadCapture(Path.Get(), Filter), ETavrixCaptureProblem::InvalidFilter, {"'" + Filter + "'", Path.Get()});
	}
	// Well formed, but a raw IP capture has no Ethernet addresses to test.
	ExpectProblem(LoadCapture(Path.Get(), "ether host 02:00:00:00:00:05"), ETavrixCaptureProblem::InvalidFilter, {"ether host", "RAW"});
}

TEST(CaptureLoading, CaptureWithNothingToReplayIsRefused)
{
	const FTempPath Path("no-udp.pcap");
	ASSERT_TRUE(WritePcap(Path.Get(), DLT_EN10MB,
		{At(0us, Ethernet(MakeIPv4Udp("tcp", CameraHost, Workstation, FIPv4Shape{6}))),
			At(1'000us, Ethernet(MakeIPv6Udp("six"), EtherTypeIPv6)), At(2'000us, Ethernet(FBytes(28, 0), EtherTypeArp))}));
	ExpectProblem(LoadCapture(Path.Get(), ""), ETavrixCaptureProblem::NoDatagrams, {Path.Get(), "3 packets: 2 not IPv4, 1 not UDP"});

	const FTempPath Udp("udp-elsewhere.pcap");
	ASSERT_TRUE(WritePcap(Udp.Get(), DLT_EN10MB, {At(0us, Ethernet(MakeIPv4Udp("to 9002", CameraHost, OtherPort)))}));
	ExpectProblem(LoadCapture(Udp.Get(), "udp port 9001"), ETavrixCaptureProblem::NoDatagrams, {"1 packet: 1 not matching the filter"});

	const FTempPath Empty("no-packets.pcap");
	ASSERT_TRUE(WritePcap(Empty.Get(), DLT_EN10MB, {}));
	ExpectProblem(LoadCapture(Empty.Get(), ""), ETavrixCaptureProblem::NoDatagrams, {"holds no packets"});
}
