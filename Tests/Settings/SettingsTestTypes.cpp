#include "SettingsTestTypes.h"

USettingsTestSettings::USettingsTestSettings()
	: Address(TEXT("0.0.0.0"))
	, Port(9001)
	, bAutoLens(true)
	, bAutoRecord(false)
{
}
