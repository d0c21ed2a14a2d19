// Stand-in for the engine's ULiveLinkSourceFactory: how the Live Link panel offers and creates a kind of source.
// The widgets it hands out are only declared here; no panel rendering.
#pragma once

#include "CoreMinimal.h"
#include "ILiveLinkSource.h"
#include "UObject/Object.h"

class SWidget;

/** The host's source-created callback: the new source, and its connection string. */
DECLARE_DELEGATE_TwoParams(FOnLiveLinkSourceCreated, TSharedPtr<ILiveLinkSource>, FString);

class LIVELINKINTERFACE_API ULiveLinkSourceFactory : public UObject
{
	DECLARE_CLASS(ULiveLinkSourceFactory, UObject)
public:
	/** How the Live Link panel shows the factory's entry. */
	enum class EMenuType : uint8
	{
		/** A sub-menu holding the panel BuildSourcePanel makes. */
		SubPanel,
		/** A plain entry that creates a source at once. */
		MenuEntry,
		Disabled,
	};

	virtual FText GetDisplayNameText() const { return FText::GetEmpty(); }
	virtual FText GetTooltipText() const { return FText::GetEmpty(); }
	/** The older, parameterless panel route; the stand-in's host never uses it. */
	virtual TSharedPtr<SWidget> CreateSourceCreationPanel() { return nullptr; }
	virtual TSharedPtr<ILiveLinkSource> OnSourceCreationPanelClosed(bool bCreateSource)
	{
		(void)bCreateSource;
		return nullptr;
	}
	virtual EMenuType GetCreationMenuKind() const { return EMenuType::Disabled; }
	/** The creation panel; when the user confirms it, OnSourceCreated receives the new source. */
	virtual TSharedPtr<SWidget> BuildSourcePanel(FOnLiveLinkSourceCreated OnSourceCreated) const
	{
		(void)OnSourceCreated;
		return nullptr;
	}
	/** A source from its connection string alone; empty when the string does not describe one. */
	virtual TSharedPtr<ILiveLinkSource> CreateSourceFromString(const FString& ConnectionString) const
	{
		(void)ConnectionString;
		return nullptr;
	}
};
