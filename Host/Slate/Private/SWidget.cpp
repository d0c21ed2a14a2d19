#include "Widgets/SWidget.h"

#include "Layout/Children.h"
#include "SlateLayoutText.h"
#include "Widgets/SCompoundWidget.h"
#include "Widgets/SLeafWidget.h"
#include "Widgets/SNullWidget.h"
#include "SlateUserFocus.h"

#include <atomic>

namespace
{
/** A number unique to the calling thread for the life of the process. */
uint64 GetCurrentThreadToken()
{
	static std::atomic<uint64> NextToken{1};
	thread_local const uint64 Token = NextToken.fetch_add(1, std::memory_order_relaxed);
	return Token;
}

/** What empty slots hold: a leaf with no state. */
class SNullWidgetContent : public SLeafWidget
{
public:
	SNullWidgetContent() { SetDebugInfo("SNullWidget", __FILE__, __LINE__); }
};
} // namespace

TSharedRef<SWidget> SNullWidget::NullWidget = MakeShared<SNullWidgetContent>();

SWidget::SWidget()
	: OwningThread(GetCurrentThreadToken())
{
}

SWidget::~SWidget()
{
	KeyboardFocusWidgetDestroyed(this);
}

FString SWidget::GetReadableLocation() const
{
	if (CreatedInFile == nullptr)
	{
		return FString();
	}
	return FString(CreatedInFile) + TEXT("(") + FString::FromInt(CreatedOnLine) + TEXT(")");
}

FString SWidget::DescribeState() const
{
	return FString();
}

void SWidget::SetDebugInfo(const ANSICHAR* InType, const ANSICHAR* InFile, int32 OnLine)
{
	TypeOfWidget = FName(InType);
	CreatedInFile = InFile;
	CreatedOnLine = OnLine;
}

void SWidget::CheckOwningThread() const
{
	checkf(GetCurrentThreadToken() == OwningThread, "Widget changed off the thread that made it; widgets are not thread-safe");
}

FSlotBase::FSlotBase()
	: Widget(SNullWidget::NullWidget)
{
}

FSlotBase::~FSlotBase() = default;

TSharedRef<SWidget> FSlotBase::DetachWidget()
{
	TSharedRef<SWidget> Detached = Widget;
	Widget = SNullWidget::NullWidget;
	return Detached;
}

FString FSlotBase::DescribeLayout() const
{
	FString Out;
	if (HAlignment != HAlign_Fill)
	{
		SlateLayoutText::AppendItem(Out, SlateLayoutText::FromAlignment(HAlignment));
	}
	if (VAlignment != VAlign_Fill)
	{
		SlateLayoutText::AppendItem(Out, SlateLayoutText::FromAlignment(VAlignment));
	}
	if (SlotPadding != FMargin())
	{
		SlateLayoutText::AppendItem(Out, FString(TEXT("Padding=")) + SlateLayoutText::FromMargin(SlotPadding));
	}
	return Out;
}

FChildren::~FChildren() = default;

TSharedRef<SWidget> FNoChildren::GetChildAt(int32)
{
	checkf(false, "A leaf widget has no children");
	return SNullWidget::NullWidget;
}

const FSlotBase& FNoChildren::GetSlotAt(int32) const
{
	checkf(false, "A leaf widget has no slots");
	static const FSlotBase NoSlot;
	return NoSlot;
}

TSharedRef<SWidget> FSimpleSlot::GetChildAt(int32 Index)
{
	check(Index == 0);
	return GetWidget();
}

const FSlotBase& FSimpleSlot::GetSlotAt(int32 Index) const
{
	check(Index == 0);
	return *this;
}

SCompoundWidget::SCompoundWidget() = default;
