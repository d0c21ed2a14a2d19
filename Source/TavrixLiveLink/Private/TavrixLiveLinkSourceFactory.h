#pragma once

#include "CoreMinimal.h"
#include "Interfaces/IPv4/IPv4Endpoint.h"
#include "LiveLinkSourceFactory.h"
#include "TavrixLiveLinkSourceFactory.generated.h"

/** What the creation panel hands to the factory on Ok, in the order of the source constructor's arguments. */
struct FTavrixSourceChoice
{
	FIPv4Endpoint Endpoint;
	bool bAutoLens = false;
	bool bAutoSceneTake = false;
	bool bAutoRecord = false;
};

DECLARE_DELEGATE_OneParam(FOnTavrixSourceChoice, FTavrixSourceChoice);

/**
 * Offers "Tavrix LiveLink" in the Live Link panel and makes Tavrix sources: from its creation panel, or from a
 * connection string alone. Stateless; the host finds it by its class.
 */
UCLASS()
class UTavrixLiveLinkSourceFactory : public ULiveLinkSourceFactory
{
	GENERATED_BODY()

public:
	//~ Begin ULiveLinkSourceFactory interface
	virtual FText GetSourceDisplayName() const override;
	virtual FText GetSourceTooltip() const override;
	virtual EMenuType GetMenuType() const override;
	virtual TSharedPtr<SWidget> BuildCreationPanel(FOnLiveLinkSourceCreated OnSourceCreated) const override;
	virtual TSharedPtr<ILiveLinkSource> CreateSource(const FString& ConnectionString) const override;
	//~ End ULiveLinkSourceFactory interface

	/** The panel's Ok: makes the chosen source and hands it, with its connection string, to the host. */
	void HandlePanelOk(FTavrixSourceChoice Choice, FOnLiveLinkSourceCreated OnSourceCreated) const;
};
