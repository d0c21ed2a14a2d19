#include "Widgets/Text/STextBlock.h"

STextBlock::STextBlock() = default;

void STextBlock::Construct(const FArguments& InArgs)
{
	BoundText = InArgs._Text;
}

void STextBlock::SetText(const TAttribute<FText>& InText)
{
	CheckOwningThread();
	BoundText = InText;
}

FString STextBlock::DescribeState() const
{
	return FString(TEXT("\"")) + GetText().ToString() + TEXT("\"");
}
