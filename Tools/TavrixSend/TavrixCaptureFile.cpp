#include "TavrixCaptureFile.h"

#include "TavrixCapturedPacket.h"

#include <pcap/pcap.h>

#include <algorithm>
#include <memory>
#include <string_view>

namespace TavrixSend
{
namespace
{
/** Seconds clamped so that any two timestamps in nanoseconds can be subtracted without overflow; about year 2255. */
constexpr int64_t MaxTimestampSeconds = 9'000'000'000;

struct FPcapCloser
{
	void operator()(pcap_t* InHandle) const { pcap_close(InHandle); }
};
using FPcapHandle = std::unique_ptr<pcap_t, FPcapCloser>;

/** A compiled filter, freed with its owner. */
class FCompiledFilter
{
public:
	FCompiledFilter() = default;
	~FCompiledFilter()
	{
		if (bCompiled)
		{
			pcap_freecode(&Program);
		}
	}
	FCompiledFilter(const FCompiledFilter&) = delete;
	FCompiledFilter& operator=(const FCompiledFilter&) = delete;

	bool Compile(pcap_t* InHandle, const std::string& InExpression)
	{
		bCompiled = pcap_compile(InHandle, &Program, InExpression.c_str(), 1, PCAP_NETMASK_UNKNOWN) == 0;
		return bCompiled;
	}
	bool Accepts(const pcap_pkthdr* InHeader, const u_char* InData) const
	{
		return !bCompiled || pcap_offline_filter(&Program, InHeader, InData) != 0;
	}

private:
	bpf_program Program{};
	bool bCompiled = false;
};

std::string DescribeLinkType(int InLinkType)
{
	const char* Name = pcap_datalink_val_to_name(InLinkType);
	const char* Description = pcap_datalink_val_to_description(InLinkType);
	std::string Text = Name != nullptr ? Name : "DLT " + std::to_string(InLinkType);
	if (Description != nullptr)
	{
		Text += std::string(" (") + Description + ")";
	}
	return Text;
}

void CountSkipped(ETavrixPacketKind InKind, FTavrixCaptureSkips& OutSkips)
{
	switch (InKind)
	{
	case ETavrixPacketKind::NotIPv4:
		++OutSkips.NotIPv4;
		break;
	case ETavrixPacketKind::NotUdp:
		++OutSkips.NotUdp;
		break;
	case ETavrixPacketKind::Fragment:
		++OutSkips.Fragments;
		break;
	case ETavrixPacketKind::Truncated:
		++OutSkips.Truncated;
		break;
	case ETavrixPacketKind::Malformed:
	case ETavrixPacketKind::UdpDatagram:
		++OutSkips.Malformed;
		break;
	}
}

FTavrixDuration ToDuration(const timeval& InNanosecondStamp)
{
	// Opened with nanosecond precision, libpcap puts nanoseconds in tv_usec whatever the file's own resolution.
	const int64_t Seconds = std::clamp<int64_t>(InNanosecondStamp.tv_sec, 0, MaxTimestampSeconds);
	return std::chrono::seconds(Seconds) + FTavrixDuration(InNanosecondStamp.tv_usec);
}

FTavrixCaptureLoad Fail(ETavrixCaptureProblem InProblem, std::string InError)
{
	FTavrixCaptureLoad Load;
	Load.Problem = InProblem;
	Load.Error = std::move(InError);
	return Load;
}
} // namespace

std::string FTavrixCaptureSkips::Describe() const
{
	const std::pair<uint64_t, const char*> Reasons[] = {{FilteredOut, "not matching the filter"}, {NotIPv4, "not IPv4"},
		{NotUdp, "not UDP"}, {Fragments, Fragments == 1 ? "fragment" : "fragments"}, {Truncated, "truncated"}, {Malformed, "malformed"}};
	std::string Text;
	for (const auto& [Count, Reason] : Reasons)
	{
		if (Count != 0)
		{
			Text += (Text.empty() ? "" : ", ") + std::to_string(Count) + ' ' + Reason;
		}
	}
	return Text;
}

FTavrixCaptureLoad LoadCapture(const std::string& InPath, const std::string& InFilter)
{
	char ErrorBuffer[PCAP_ERRBUF_SIZE] = {};
	const FPcapHandle Handle(pcap_open_offline_with_tstamp_precision(InPath.c_str(), PCAP_TSTAMP_PRECISION_NANO, ErrorBuffer));
	if (!Handle)
	{
		// libpcap names the file itself in some of its messages ("PATH: No such file or directory"), not in others.
		std::string_view Reason = ErrorBuffer;
		if (Reason.starts_with(InPath + ": "))
		{
			Reason.remove_prefix(InPath.size() + 2);
		}
		return Fail(ETavrixCaptureProblem::Unreadable, "cannot read capture " + InPath + ": " + std::string(Reason));
	}
	const int LinkType = pcap_datalink(Handle.get());
	if (!IsReplayableLinkType(LinkType))
	{
		return Fail(ETavrixCaptureProblem::UnsupportedLinkType,
			"capture " + InPath + " has link type " + DescribeLinkType(LinkType) +
				", which is not replayed: the link types read are Ethernet, Linux cooked (SLL and SLL2), raw IP and BSD loopback");
	}
	FCompiledFilter Filter;
	if (!InFilter.empty() && !Filter.Compile(Handle.get(), InFilter))
	{
		return Fail(ETavrixCaptureProblem::InvalidFilter,
			"invalid filter '" + InFilter + "' for capture " + InPath + " (link type " + DescribeLinkType(LinkType) +
				"): " + pcap_geterr(Handle.get()));
	}

	FTavrixCaptureLoad Load;
	FTavrixCapture& Capture = Load.Capture;
	pcap_pkthdr* Header = nullptr;
	const u_char* Data = nullptr;
	int Result = 0;
	while ((Result = pcap_next_ex(Handle.get(), &Header, &Data)) == 1)
	{
		if (!Filter.Accepts(Header, Data))
		{
			++Capture.Skipped.FilteredOut;
			continue;
		}
		const FTavrixCapturedPacket Packet = ReadCapturedPacket(LinkType, std::span<const uint8_t>(Data, Header->caplen));
		if (Packet.Kind != ETavrixPacketKind::UdpDatagram)
		{
			CountSkipped(Packet.Kind, Capture.Skipped);
			continue;
		}
		Capture.Datagrams.push_back(FTavrixCapturedDatagram{
			ToDuration(Header->ts), std::string(reinterpret_cast<const char*>(Packet.Payload.data()), Packet.Payload.size())});
	}
	if (Result == PCAP_ERROR)
	{
		Capture.ReadError = pcap_geterr(Handle.get());
	}

	if (Capture.Datagrams.empty())
	{
		const uint64_t Packets = Capture.Skipped.Total();
		std::string Error = "no UDP datagram over IPv4 to replay in " + InPath;
		Error += Packets == 0
			? " (it holds no packets)"
			: " (" + std::to_string(Packets) + (Packets == 1 ? " packet: " : " packets: ") + Capture.Skipped.Describe() + ")";
		if (!Capture.ReadError.empty())
		{
			Error += "; reading stopped early: " + Capture.ReadError;
		}
		Load.Problem = ETavrixCaptureProblem::NoDatagrams;
		Load.Error = std::move(Error);
	}
	return Load;
}
} // namespace TavrixSend
