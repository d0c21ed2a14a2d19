#pragma once

#include "CoreMinimal.h"
#include "UObject/Object.h"
#include "TavrixLiveLinkRuntimeSettings.generated.h"

/**
 * Project-wide defaults of a new Tavrix source, kept in the project's game configuration and edited under
 * Project Settings > Plugins > Tavrix. Only the creation panel reads them; a source never does after it is made.
 */
UCLASS(config = Game, defaultconfig, meta = (ToolTip = "Implements the settings Tavrix Live Link plugin."))
class TAVRIXLIVELINK_API UTavrixLiveLinkRuntimeSettings : public UObject
{
	GENERATED_BODY()

public:
	UTavrixLiveLinkRuntimeSettings();

	UPROPERTY(config, EditAnywhere, Category = "Tavrix", meta = (ToolTip = "Specify a default network server address"))
	FString NetworkServerAddressByDefault;

	UPROPERTY(config, EditAnywhere, Category = "Tavrix", meta = (ToolTip = "Specify a default network port index for a Tavrix Camera"))
	int32 NetworkPortIdByDefault;

	UPROPERTY(config, EditAnywhere, Category = "Tavrix", meta = (ToolTip = "auto update the lens settings"))
	bool bAutoLens;

	UPROPERTY(config, EditAnywhere, Category = "Tavrix", meta = (ToolTip = "auto update the scene/ take settings"))
	bool bAutoSceneTakeUpdate;

	UPROPERTY(config, EditAnywhere, Category = "Tavrix", meta = (ToolTip = "auto start / stop recording"))
	bool bAutoRecord;
};
