#pragma once

#include "CoreMinimal.h"
#include "LiveLinkSourceSettings.h"
#include "StreamHealthTestTypes.generated.h"

/** A source's settings with one property of each kind the details panel shows: editable and read-only. */
UCLASS()
class UStreamHealthTestSourceSettings : public ULiveLinkSourceSettings
{
	GENERATED_BODY()

public:
	UPROPERTY(EditAnywhere, Category = "Test")
	int32 Gain = 1;

	UPROPERTY(VisibleAnywhere, Category = "Test")
	int32 Shown = 0;
};

/** Not a settings class: a source naming it gets the base settings. */
UCLASS()
class UStreamHealthTestNotSettings : public UObject
{
	GENERATED_BODY()
};
