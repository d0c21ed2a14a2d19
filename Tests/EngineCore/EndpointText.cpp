#include "Interfaces/IPv4/IPv4Endpoint.h"

#include <gtest/gtest.h>

// The stand-in reads endpoint text as leniently as the engine does, so that nothing the plug-in relies on for
// strictness comes from it.
namespace
{
TEST(EndpointText, WellFormedEndpointsParseToTheirAddressAndPort)
{
	FIPv4Endpoint Endpoint;
	ASSERT_TRUE(FIPv4Endpoint::Parse(TEXT("127.0.0.1:6000"), Endpoint));
	EXPECT_EQ(Endpoint.Address, FIPv4Address(127, 0, 0, 1));
	EXPECT_EQ(Endpoint.Port, 6000);
	ASSERT_TRUE(FIPv4Endpoint::Parse(TEXT("255.255.255.255:65535"), Endpoint));
	EXPECT_EQ(Endpoint.Port, 65535);
	// Leading zeros are decimal, never octal.
	ASSERT_TRUE(FIPv4Endpoint::Parse(TEXT("010.001.000.009:09001"), Endpoint));
	EXPECT_EQ(Endpoint.Address, FIPv4Address(10, 1, 0, 9));
	EXPECT_EQ(Endpoint.Port, 9001);
}

TEST(EndpointText, AnyFourPiecesAndAPortAreReadAsTheEngineReadsThem)
{
	const struct
	{
		const TCHAR* Text;
		FIPv4Endpoint Expected;
	} Lenient[] = {
		{TEXT("0.0.0.0:"), FIPv4Endpoint(FIPv4Address::Any, 0)},
		{TEXT("0.0.0.0:99999"), FIPv4Endpoint(FIPv4Address::Any, 34463)},
		{TEXT("1.2.3.300:9001"), FIPv4Endpoint(FIPv4Address(1, 2, 3, 44), 9001)},
		{TEXT("a.b.c.d:x"), FIPv4Endpoint(FIPv4Address::Any, 0)},
		{TEXT(" 1.2. 3.4: 9001"), FIPv4Endpoint(FIPv4Address(1, 2, 3, 4), 9001)},
		{TEXT("1..3.4:-1"), FIPv4Endpoint(FIPv4Address(1, 0, 3, 4), 65535)},
		{TEXT("1.2.3.4:9001x"), FIPv4Endpoint(FIPv4Address(1, 2, 3, 4), 9001)},
	};
	for (const auto& Case : Lenient)
	{
		FIPv4Endpoint Endpoint;
		EXPECT_TRUE(FIPv4Endpoint::Parse(Case.Text, Endpoint)) << FString(Case.Text).ToUtf8();
		EXPECT_EQ(Endpoint, Case.Expected) << FString(Case.Text).ToUtf8();
	}
}

TEST(EndpointText, TextWithoutFourPiecesAndOneColonIsRejectedAndLeavesTheOutputAlone)
{
	for (const TCHAR* Text : {TEXT(""), TEXT("abc"), TEXT("1.2.3.4"), TEXT(":9001"), TEXT("host:9001"), TEXT("1.2.3:9001"),
			 TEXT("1.2.3.4.5:9001"), TEXT("1.2.3.4::9001"), TEXT("1.2.3.4:1:2")})
	{
		FIPv4Endpoint Endpoint(FIPv4Address(9, 9, 9, 9), 99);
		EXPECT_FALSE(FIPv4Endpoint::Parse(Text, Endpoint)) << FString(Text).ToUtf8();
		EXPECT_EQ(Endpoint, FIPv4Endpoint(FIPv4Address(9, 9, 9, 9), 99));
	}
	FIPv4Address Address = FIPv4Address::Any;
	EXPECT_FALSE(FIPv4Address::Parse(TEXT("stage-pc.local"), Address));
	EXPECT_EQ(Address, FIPv4Address::Any);
}

TEST(EndpointText, ToStringIsTheDottedQuadAndThePort)
{
	const FIPv4Endpoint Endpoint(FIPv4Address(10, 1, 2, 3), 5000);
	EXPECT_EQ(Endpoint.ToString().ToUtf8(), "10.1.2.3:5000");
	FIPv4Endpoint Parsed;
	ASSERT_TRUE(FIPv4Endpoint::Parse(Endpoint.ToString(), Parsed));
	EXPECT_EQ(Parsed, Endpoint);
}
TEST(EndpointText, OnlyTheGroupRangeIsMulticast)
{
	EXPECT_TRUE(FIPv4Address(224, 0, 0, 0).IsMulticastAddress());
	EXPECT_TRUE(FIPv4Address(239, 255, 255, 255).IsMulticastAddress());
	EXPECT_TRUE(FIPv4Address(230, 1, 2, 3).IsMulticastAddress());
	EXPECT_FALSE(FIPv4Address(223, 255, 255, 255).IsMulticastAddress());
	EXPECT_FALSE(FIPv4Address(240, 0, 0, 0).IsMulticastAddress());
	EXPECT_FALSE(FIPv4Address::Any.IsMulticastAddress());
	EXPECT_FALSE(FIPv4Address::InternalLoopback.IsMulticastAddress());
	EXPECT_FALSE(FIPv4Address(255, 255, 255, 255).IsMulticastAddress());
}
} // namespace
