#pragma once

#include "CoreMinimal.h"
#include "Interfaces/IPv4/IPv4Address.h"
#include "Interfaces/IPv4/IPv4Endpoint.h"

/**
 * The endpoint text a user types or a host passes, checked before the engine reads it. The engine's parsers are
 * lenient: "0.0.0.0:" reads as port 0 (the system then picks a port nobody knows while the source says
 * "Receiving"), "0.0.0.0:99999" as port 34463, "1.2.3.300" as 1.2.3.44. Only text of the exact form passes.
 */
namespace TavrixEndpointText
{
/** Four decimal numbers 0-255 of one to three digits, separated by single points; nothing before or after. */
bool IsAddress(const FString& Text);

/** An address as IsAddress takes it, a colon, and a decimal port 1-65535 of one to five digits; nothing else. */
bool IsEndpoint(const FString& Text);

/** True with the address for text IsAddress takes; otherwise false with OutAddress left alone. */
bool ParseAddress(const FString& Text, FIPv4Address& OutAddress);

/** True with the endpoint for text IsEndpoint takes; otherwise false with OutEndpoint left alone. */
bool ParseEndpoint(const FString& Text, FIPv4Endpoint& OutEndpoint);
} // namespace TavrixEndpointText
