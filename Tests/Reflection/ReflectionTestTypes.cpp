#include "ReflectionTestTypes.h"

UReflectionTestSettings::UReflectionTestSettings()
	: Address(TEXT("0.0.0.0"))
	, bEnabled(true)
{
}
