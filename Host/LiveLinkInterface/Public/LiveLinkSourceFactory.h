// Stand-in for the engine's ULiveLinkSourceFactory: how the Live Link panel offers and creates a kind of source.
// The widgets it hands out are only declared here; no panel rendering.
#pragma once

#include "CoreMinimal.h"
#include "ILiveLinkSource.h"
#include "UObject/Object.h"

class SWidget;

class LIVELINKINTERFACE_API ULiveLinkSourceFactory : public UObject
{
	DECLARE_CLASS(ULiveLinkSourceFactory, UObject)
public:
	/** The panel's entry; the engine's base has no answer and fails fatally when a factory does not give one. */
	virtual FText GetSourceDisplayName() const
	{
		checkf(false, "ULiveLinkSourceFactory::GetSourceDisplayName is pure virtual");
		return FText();
	}
	virtual FText GetSourceTooltip() const
	{
		checkf(false, "ULiveLinkSourceFactory::GetSourceTooltip is pure virtual");
		return FText();
	}

	/** How the Live Link panel shows the factory's entry. */
	enum class EMenuType
	{
		/** A sub-menu holding the panel BuildCreationPanel makes. */
		SubPanel,
		/** A plain entry that creates a source at once. */
		MenuEntry,
		Disabled,
	};
	virtual EMenuType GetMenuType() const { return EMenuType::Disabled; }

	/** The host's source-created callback: the new source, and its connection string. */
	DECLARE_DELEGATE_TwoParams(FOnLiveLinkSourceCreated, TSharedPtr<ILiveLinkSource>, FString);

	/** The creation panel; when the user confirms it, OnLiveLinkSourceCreated receives the new source. */
	virtual TSharedPtr<SWidget> BuildCreationPanel(FOnLiveLinkSourceCreated OnLiveLinkSourceCreated) const
	{
		(void)OnLiveLinkSourceCreated;
		return TSharedPtr<SWidget>();
	}
	/**
	 * A source from its connection string alone; empty when the string does not describe one. Live Link presets
	 * recreate their sources through it. Pure virtual in the engine.
	 */
	virtual TSharedPtr<ILiveLinkSource> CreateSource(const FString& ConnectionString) const
	{
		(void)ConnectionString;
		checkf(false, "ULiveLinkSourceFactory::CreateSource is pure virtual");
		return nullptr;
	}

	/** The older, parameterless panel route; the stand-in's host never uses it. */
	virtual TSharedPtr<SWidget> CreateSourceCreationPanel() { return nullptr; }
	virtual TSharedPtr<ILiveLinkSource> OnSourceCreationPanelClosed(bool bCreateSource)
	{
		(void)bCreateSource;
		return nullptr;
	}
};
