// Stand-in for the engine's SWidget: a tree node that owns its children. No painting, geometry or visibility.
#pragma once

#include "CoreMinimal.h"
#include "Layout/Children.h"
#include "SlateGlobals.h"

/**
 * Widgets live in shared ownership (SNew makes them) and own their children through their slots, so releasing the root
 * of a tree destroys the whole tree. A widget belongs to the thread that made it, the editor's game thread.
 */
class SLATE_API SWidget : public TSharedFromThis<SWidget>
{
public:
	SWidget();
	SWidget(const SWidget&) = delete;
	SWidget& operator=(const SWidget&) = delete;
	virtual ~SWidget();

	virtual FChildren* GetChildren() = 0;

	/** The class name the widget was declared with in SNew ("SCheckBox"); None for widgets not made by SNew. */
	FName GetType() const { return TypeOfWidget; }
	FString GetTypeAsString() const { return TypeOfWidget.ToString(); }
	/** Where the widget was declared, as "File(Line)"; empty for widgets not made by SNew. */
	FString GetReadableLocation() const;

	/** The widget's own state as text for a terminal: its text, check state or size overrides; empty when it has none. */
	virtual FString DescribeState() const;

	/** Whether the widget can take keyboard focus; a mouse press on one that can moves the focus to it. */
	virtual bool SupportsKeyboardFocus() const { return false; }

	/** Records what SNew knows about the declaration; called once, before Construct. */
	void SetDebugInfo(const ANSICHAR* InType, const ANSICHAR* InFile, int32 OnLine);

protected:
	/** Fails loudly when called off the thread that made the widget: widgets are not thread-safe. */
	void CheckOwningThread() const;

private:
	FName TypeOfWidget;
	const ANSICHAR* CreatedInFile = nullptr;
	int32 CreatedOnLine = 0;
	uint64 OwningThread;
};
