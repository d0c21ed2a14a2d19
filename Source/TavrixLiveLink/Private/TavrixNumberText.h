#pragma once

#include "CoreMinimal.h"

/**
 * Decimal text to double and back, exact and independent of the C locale. The toolchains the editor accepts do not
 * all have the C++17 floating-point conversions, and the C runtime's depend on the locale's decimal point; these
 * give the same results on every toolchain.
 */
namespace TavrixNumberText
{
/**
 * Reads a text that is wholly a decimal number: an optional '-', digits with at most one '.' (at least one digit in
 * all), then optionally 'e' or 'E', an optional sign and at least one digit. Out is the double nearest the number
 * (ties to even). False, Out untouched, for any other text and for a non-zero number that rounds to infinity or to
 * zero.
 */
bool ParseDecimal(const TCHAR* Text, int32 Length, double& OutValue);

/**
 * The shortest decimal text that reads back as the same double, written as "%f" or "%e" would write those digits,
 * whichever is shorter ("%f" on a tie); integers written in full are exact ("123456789012345683968", "1e+22",
 * "0.001", "1e-05", "-0"). Infinities and NaN give "inf", "-inf", "nan" and "-nan".
 */
FString FormatShortest(double Value);
} // namespace TavrixNumberText
