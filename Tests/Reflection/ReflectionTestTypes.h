#pragma once

#include "CoreMinimal.h"
#include "UObject/Object.h"
#include "ReflectionTestTypes.generated.h"

/* Text that only looks like declarations must not be reflected:
   UPROPERTY(config) int32 InBlockComment;
   UCLASS() class UInBlockComment : public UObject {}; */
// UPROPERTY(config) int32 InLineComment;

UCLASS(config = Game, defaultconfig, meta = (ToolTip = "Settings used by the reflection tests."))
class UReflectionTestSettings : public UObject
{
	GENERATED_BODY()

public:
	UReflectionTestSettings();

	UPROPERTY(config, EditAnywhere, Category = "Network", meta = (ToolTip = "Address to listen on"))
	FString Address;

	UPROPERTY(config, EditAnywhere, Category = "Network",
		meta = (ToolTip = "Say \"hi\" to C:\\Temp // not a comment", ClampMin = "0", ClampMax = 65535))
	int32 Port = 9001;

	UPROPERTY(config, VisibleAnywhere, Category = Flags) // a comment after the specifiers
	bool bEnabled;

	/** Editable but kept out of the configuration. */
	UPROPERTY(EditAnywhere, Category = "Tuning",
		meta = (ToolTip = "Joined "
						  "literals"))
	float Gain{1.5f};

	FString NotReflected = TEXT("UPROPERTY(config) int32 InString;");

	int32 GetHidden() const { return Hidden; }

private:
	UPROPERTY(config)
	int32 Hidden = 7;
};

UCLASS(Abstract, config = Engine)
class UReflectionTestBase : public UObject
{
	GENERATED_BODY()

public:
	UPROPERTY(config, EditAnywhere)
	int32 BaseValue = 1;
};

UCLASS()
class UReflectionTestDerived : public UReflectionTestBase
{
	GENERATED_BODY()

public:
	UPROPERTY(EditAnywhere)
	FString DerivedText = TEXT("derived");
};
