// Stand-in for the engine's ILiveLinkSource: the contract a Live Link source fulfils, slots in the engine's order.
#pragma once

#include "CoreMinimal.h"
#include "LiveLinkSourceSettings.h"

class ILiveLinkClient;
struct FPropertyChangedEvent;

class ILiveLinkSource
{
public:
	virtual ~ILiveLinkSource() = default;

	/** Called once by the client, on the game thread, after it has taken the source and before any tick. */
	virtual void ReceiveClient(ILiveLinkClient* InClient, FGuid InSourceGuid) = 0;
	virtual void InitializeSettings(ULiveLinkSourceSettings* Settings) { (void)Settings; }
	virtual void Update() {}
	virtual bool CanBeDisplayedInUI() const { return true; }
	virtual bool IsSourceStillValid() const = 0;
	/** True: the source may be released now. False: the client asks again later. */
	virtual bool RequestSourceShutdown() = 0;
	virtual FText GetSourceType() const = 0;
	virtual FText GetSourceMachineName() const = 0;
	virtual FText GetSourceStatus() const = 0;
	virtual TSubclassOf<ULiveLinkSourceSettings> GetSettingsClass() const { return ULiveLinkSourceSettings::StaticClass(); }
	virtual UClass* GetCustomSettingsClass() const
	{
		UClass* Class = GetSettingsClass().Get();
		return Class != nullptr && Class->IsChildOf(ULiveLinkSourceSettings::StaticClass()) ? Class : nullptr;
	}
	virtual void OnSettingsChanged(ULiveLinkSourceSettings* Settings, const FPropertyChangedEvent& PropertyChangedEvent)
	{
		(void)Settings;
		(void)PropertyChangedEvent;
	}
};
