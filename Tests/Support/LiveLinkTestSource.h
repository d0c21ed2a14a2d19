// A source that pushes only what its test tells it to, for tests of the client and of what observes it.
#pragma once

#include "ILiveLinkClient.h"
#include "ILiveLinkSource.h"
#include "LiveLinkSourceSettings.h"

#include <functional>

class FLiveLinkTestSource final : public ILiveLinkSource
{
public:
	FLiveLinkTestSource() = default;
	explicit FLiveLinkTestSource(TSubclassOf<ULiveLinkSourceSettings> InSettingsClass)
		: SettingsClass(InSettingsClass)
	{
	}

	void ReceiveClient(ILiveLinkClient* InClient, FGuid InSourceGuid) override
	{
		Client = InClient;
		SourceGuid = InSourceGuid;
		Calls.push_back("ReceiveClient");
	}
	void InitializeSettings(ULiveLinkSourceSettings* InSettings) override
	{
		Settings = InSettings;
		Calls.push_back("InitializeSettings");
		if (OnInitializeSettings)
		{
			OnInitializeSettings(InSettings);
		}
	}
	void Update() override
	{
		if (OnUpdate)
		{
			OnUpdate();
		}
	}
	bool IsSourceStillValid() const override { return true; }
	bool RequestSourceShutdown() override { return true; }
	FText GetSourceType() const override { return FText::FromString(TEXT("Test")); }
	FText GetSourceMachineName() const override { return FText::FromString(TEXT("localhost")); }
	FText GetSourceStatus() const override { return FText::FromString(TEXT("Active")); }
	TSubclassOf<ULiveLinkSourceSettings> GetSettingsClass() const override { return SettingsClass; }

	ILiveLinkClient* Client = nullptr;
	FGuid SourceGuid;
	ULiveLinkSourceSettings* Settings = nullptr;
	std::vector<std::string> Calls;
	std::function<void(ULiveLinkSourceSettings*)> OnInitializeSettings;
	std::function<void()> OnUpdate;

private:
	TSubclassOf<ULiveLinkSourceSettings> SettingsClass = ULiveLinkSourceSettings::StaticClass();
};
