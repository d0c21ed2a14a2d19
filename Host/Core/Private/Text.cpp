#include "Internationalization/Text.h"

TSharedRef<const FText::FTextData> FText::GetEmptyData()
{
	static const TSharedRef<const FTextData> Empty = MakeShared<const FTextData>();
	return Empty;
}

FText::FText()
	: Data(GetEmptyData())
{
}

const FText& FText::GetEmpty()
{
	static const FText Empty;
	return Empty;
}

FText FText::FromString(const FString& String)
{
	return FText(MakeShared<const FTextData>(FTextData{String, FString(), FString()}));
}

const FString& FText::ToString() const
{
	return Data->Source;
}

bool FText::EqualTo(const FText& Other) const
{
	return ToString().Equals(Other.ToString(), ESearchCase::CaseSensitive);
}

FText FInternationalization::ForUseOnlyByLocMacroAndGraphNodeTextLiterals_CreateText(
	const TCHAR* InTextLiteral, const TCHAR* InNamespace, const TCHAR* InKey)
{
	return FText(MakeShared<const FText::FTextData>(FText::FTextData{FString(InTextLiteral), FString(InNamespace), FString(InKey)}));
}
