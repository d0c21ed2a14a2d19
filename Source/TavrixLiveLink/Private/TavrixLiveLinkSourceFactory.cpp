#include "TavrixLiveLinkSourceFactory.h"

#include "STavrixLiveLinkSourceFactory.h"
#include "TavrixEndpointText.h"
#include "TavrixLiveLinkSource.h"

#define LOCTEXT_NAMESPACE "TavrixLiveLinkSourceFactory"

FText UTavrixLiveLinkSourceFactory::GetSourceDisplayName() const
{
	return LOCTEXT("SourceDisplayName", "Tavrix LiveLink");
}

FText UTavrixLiveLinkSourceFactory::GetSourceTooltip() const
{
	return LOCTEXT("SourceTooltip", "Creates a connection to Halvecor Tavrix");
}

ULiveLinkSourceFactory::EMenuType UTavrixLiveLinkSourceFactory::GetMenuType() const
{
	return EMenuType::SubPanel;
}

TSharedPtr<SWidget> UTavrixLiveLinkSourceFactory::BuildCreationPanel(FOnLiveLinkSourceCreated OnSourceCreated) const
{
	// clang-format off
	return SNew(STavrixLiveLinkSourceFactory)
		.OnOk(FOnTavrixSourceChoice::CreateUObject(this, &UTavrixLiveLinkSourceFactory::HandlePanelOk, OnSourceCreated));
	// clang-format on
}

void UTavrixLiveLinkSourceFactory::HandlePanelOk(FTavrixSourceChoice Choice, FOnLiveLinkSourceCreated OnSourceCreated) const
{
	const FString ConnectionString = Choice.Endpoint.ToString();
	TSharedPtr<FTavrixLiveLinkSource> Source =
		MakeShared<FTavrixLiveLinkSource>(Choice.Endpoint, Choice.bAutoLens, Choice.bAutoSceneTake, Choice.bAutoRecord);
	// With nobody to take it, the source goes with this reference: its thread stops and its socket closes at once.
	OnSourceCreated.ExecuteIfBound(Source, ConnectionString);
}

TSharedPtr<ILiveLinkSource> UTavrixLiveLinkSourceFactory::CreateSource(const FString& ConnectionString) const
{
	FIPv4Endpoint Endpoint;
	if (!TavrixEndpointText::ParseEndpoint(ConnectionString, Endpoint))
	{
		return nullptr;
	}
	// A connection string carries no options: these are fixed, whatever the settings or an earlier panel said.
	return MakeShared<FTavrixLiveLinkSource>(Endpoint, false, true, false);
}

#undef LOCTEXT_NAMESPACE
