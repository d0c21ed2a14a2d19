#include "EditorTestSupport.h"
#include "TavrixLiveLinkSourceFactory.h"
#include "TavrixEndpointText.h"

#include <gtest/gtest.h>

// The engine reads endpoint text leniently; the plug-in lets only the exact form through, on every route by which
// text reaches it.
namespace
{
const TCHAR* const NotAnEndpoint[] = {
	TEXT(""),
	TEXT("abc"),
	TEXT("1.2.3.4"),
	TEXT("1.2.3.4:"),
	TEXT("0.0.0.0:"),
	TEXT(":9001"),
	TEXT("host:9001"),
	TEXT("0.0.0.0:0"),
	TEXT("0.0.0.0:99999"),
	TEXT("1.2.3.4:65536"),
	TEXT("1.2.3.4:9001x"),
	TEXT(" 1.2.3.4:9001"),
	TEXT("1.2.3.4:9001 "),
	TEXT("1.2.3.4: 9001"),
	TEXT("1.2.3:9001"),
	TEXT("1.2.3.4.5:9001"),
	TEXT("256.0.0.1:9001"),
	TEXT("1.2.3.300:9001"),
	TEXT("1.2.3.4:+9001"),
	TEXT("1.2.3.4:-1"),
	TEXT("1..3.4:9001"),
	TEXT("a.b.c.d:9001"),
	TEXT("0x7f.0.0.1:9001"),
	TEXT("1.2.3.4:900001"),
	TEXT("1.2.3.4::9001"),
	TEXT("1234.2.3.4:1"),
};

TEST(EndpointValidation, OnlyTheExactFormWithAPortFrom1To65535Passes)
{
	FIPv4Endpoint Endpoint;
	ASSERT_TRUE(TavrixEndpointText::ParseEndpoint(TEXT("127.0.0.1:1"), Endpoint));
	EXPECT_EQ(Endpoint, FIPv4Endpoint(FIPv4Address::InternalLoopback, 1));
	ASSERT_TRUE(TavrixEndpointText::ParseEndpoint(TEXT("010.001.000.009:65535"), Endpoint));
	EXPECT_EQ(Endpoint, FIPv4Endpoint(FIPv4Address(10, 1, 0, 9), 65535));
	// Group addresses are endpoints like any other: the whole multicast range, both ends included.
	ASSERT_TRUE(TavrixEndpointText::ParseEndpoint(TEXT("239.255.42.99:9001"), Endpoint));
	EXPECT_EQ(Endpoint, FIPv4Endpoint(FIPv4Address(239, 255, 42, 99), 9001));
	EXPECT_TRUE(Endpoint.Address.IsMulticastAddress());
	ASSERT_TRUE(TavrixEndpointText::ParseEndpoint(TEXT("224.0.0.0:1"), Endpoint));
	EXPECT_TRUE(Endpoint.Address.IsMulticastAddress());
	for (const TCHAR* Text : NotAnEndpoint)
	{
		FIPv4Endpoint Untouched(FIPv4Address(9, 9, 9, 9), 99);
		EXPECT_FALSE(TavrixEndpointText::ParseEndpoint(Text, Untouched)) << FString(Text).ToUtf8();
		EXPECT_EQ(Untouched, FIPv4Endpoint(FIPv4Address(9, 9, 9, 9), 99));
	}

	FIPv4Address Address = FIPv4Address::Any;
	for (const TCHAR* Text : {TEXT("1.2.3.300"), TEXT("a.b.c.d"), TEXT(" 1.2.3.4"), TEXT("1.2.3"), TEXT("")})
	{
		EXPECT_FALSE(TavrixEndpointText::ParseAddress(Text, Address)) << FString(Text).ToUtf8();
	}
	EXPECT_EQ(Address, FIPv4Address::Any);
}

TEST(EndpointValidation, TheFactoryMakesNoSourceFromALenientlyReadableConnectionString)
{
	const UTavrixLiveLinkSourceFactory* Factory = GetDefault<UTavrixLiveLinkSourceFactory>();
	for (const TCHAR* Text : NotAnEndpoint)
	{
		EXPECT_FALSE(Factory->CreateSource(Text).IsValid()) << FString(Text).ToUtf8();
	}
}

TEST(EndpointValidation, ThePanelRefusesAndResetsALenientlyReadableEntry)
{
	FScopedProject Project;
	int Choices = 0;
	FPanelUnderTest Panel(FOnTavrixSourceChoice::CreateLambda([&](FTavrixSourceChoice) { ++Choices; }));
	for (const TCHAR* Text : {TEXT("0.0.0.0:"), TEXT("0.0.0.0:99999"), TEXT("1.2.3.300:9001"), TEXT("0.0.0.0:0")})
	{
		// The press on Ok commits the entry, which resets it; that click creates nothing.
		FSlateUser::TypeText(Panel.Endpoint.ToSharedRef(), Text);
		Panel.ClickOk();
		EXPECT_EQ(Choices, 0) << FString(Text).ToUtf8();
		EXPECT_EQ(Panel.EndpointText(), "0.0.0.0:9001") << FString(Text).ToUtf8();
		FSlateUser::EnterText(Panel.Endpoint.ToSharedRef(), TEXT("127.0.0.1:9001"));
	}
}

TEST(EndpointValidation, SettingsAddressThatIsNotADottedQuadOpensThePanelOnEveryInterface)
{
	FScopedProject Project;
	FScopedProject::Settings()->NetworkServerAddressByDefault = TEXT("10.1.2.300");
	FScopedProject::Settings()->NetworkPortIdByDefault = 5000;
	FPanelUnderTest Panel;
	EXPECT_EQ(Panel.EndpointText(), "0.0.0.0:5000");
}
} // namespace
