#include "Interfaces/IPv4/IPv4Endpoint.h"

#include <gtest/gtest.h>

namespace
{
TEST(EndpointText, ValidEndpointsParseToTheirAddressAndPort)
{
	FIPv4Endpoint Endpoint;
	ASSERT_TRUE(FIPv4Endpoint::Parse(TEXT("127.0.0.1:6000"), Endpoint));
	EXPECT_EQ(Endpoint.Address, FIPv4Address(127, 0, 0, 1));
	EXPECT_EQ(Endpoint.Port, 6000);
	ASSERT_TRUE(FIPv4Endpoint::Parse(TEXT("255.255.255.255:65535"), Endpoint));
	EXPECT_EQ(Endpoint.Port, 65535);
	ASSERT_TRUE(FIPv4Endpoint::Parse(TEXT("0.0.0.0:0"), Endpoint));
	EXPECT_EQ(Endpoint, FIPv4Endpoint::Any);
	// Leading zeros are decimal, never octal.
	ASSERT_TRUE(FIPv4Endpoint::Parse(TEXT("010.001.000.009:09001"), Endpoint));
	EXPECT_EQ(Endpoint.Address, FIPv4Address(10, 1, 0, 9));
	EXPECT_EQ(Endpoint.Port, 9001);
}

TEST(EndpointText, AnythingButADottedQuadColonAndPortIsRejectedAndLeavesTheOutputAlone)
{
	const TCHAR* Invalid[] = {
		TEXT(""),
		TEXT("abc"),
		TEXT("1.2.3.4"),
		TEXT("1.2.3.4:"),
		TEXT(":9001"),
		TEXT("host:9001"),
		TEXT("1.2.3.4:99999"),
		TEXT("1.2.3.4:65536"),
		TEXT("1.2.3.4:9001x"),
		TEXT(" 1.2.3.4:9001"),
		TEXT("1.2.3.4:9001 "),
		TEXT("1.2.3:9001"),
		TEXT("1.2.3.4.5:9001"),
		TEXT("256.0.0.1:9001"),
		TEXT("1.2.3.4:+9001"),
		TEXT("1.2.3.4:-1"),
		TEXT("1..3.4:9001"),
		TEXT("0x7f.0.0.1:9001"),
		TEXT("1.2.3.4:900001"),
		TEXT("1.2.3.4::9001"),
		TEXT("1234.2.3.4:1"),
	};
	for (const TCHAR* Text : Invalid)
	{
		FIPv4Endpoint Endpoint(FIPv4Address(9, 9, 9, 9), 99);
		EXPECT_FALSE(FIPv4Endpoint::Parse(Text, Endpoint)) << FString(Text).ToUtf8();
		EXPECT_EQ(Endpoint, FIPv4Endpoint(FIPv4Address(9, 9, 9, 9), 99));
	}
}

TEST(EndpointText, ToStringIsWhatParseAccepts)
{
	const FIPv4Endpoint Endpoint(FIPv4Address(10, 1, 2, 3), 5000);
	EXPECT_EQ(Endpoint.ToString().ToUtf8(), "10.1.2.3:5000");
	FIPv4Endpoint Parsed;
	ASSERT_TRUE(FIPv4Endpoint::Parse(Endpoint.ToString(), Parsed));
	EXPECT_EQ(Parsed, Endpoint);
}

TEST(EndpointText, AddressParseFailureKeepsThePreviousValue)
{
	FIPv4Address Address = FIPv4Address::Any;
	EXPECT_FALSE(FIPv4Address::Parse(TEXT("stage-pc.local"), Address));
	EXPECT_EQ(Address, FIPv4Address::Any);
	EXPECT_TRUE(FIPv4Address::Parse(TEXT("10.1.2.3"), Address));
	EXPECT_EQ(Address.ToString().ToUtf8(), "10.1.2.3");
}
} // namespace
