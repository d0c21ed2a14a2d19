#pragma once

#include "CoreMinimal.h"
#include "UObject/Object.h"
#include "SettingsTestTypes.generated.h"

/** Shaped like a plug-in's runtime settings: project-wide defaults in the game configuration. */
UCLASS(config = Game, defaultconfig, meta = (ToolTip = "Settings of the settings tests."))
class USettingsTestSettings : public UObject
{
	GENERATED_BODY()

public:
	USettingsTestSettings();

	UPROPERTY(config, EditAnywhere, Category = "Network", meta = (ToolTip = "Address to listen on"))
	FString Address;

	UPROPERTY(config, EditAnywhere, Category = "Network", meta = (ToolTip = "Port to listen on"))
	int32 Port;

	UPROPERTY(config, EditAnywhere, Category = "Options")
	bool bAutoLens;

	UPROPERTY(config, EditAnywhere, Category = "Options")
	bool bAutoRecord;

	UPROPERTY(config, EditAnywhere, Category = "Options")
	float Gain = 1.5f;

	UPROPERTY(config, VisibleAnywhere, Category = "Options")
	int32 Revision = 3;

	/** Shown but never stored. */
	UPROPERTY(EditAnywhere, Category = "Options")
	int32 Scratch = 0;

	/** Stored but not shown. */
	UPROPERTY(config)
	FString Internal = TEXT("internal");
};

/** Values of one user, layered over the project's. */
UCLASS(config = Editor)
class UPerUserTestSettings : public UObject
{
	GENERATED_BODY()

public:
	UPROPERTY(config, EditAnywhere)
	int32 Count = 1;
};

/** Only one test creates its default object, to see what creation reads. */
UCLASS(config = Game, defaultconfig)
class UStartupTestSettings : public UObject
{
	GENERATED_BODY()

public:
	UPROPERTY(config, EditAnywhere)
	int32 Value = 1;
};
