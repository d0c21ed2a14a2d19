// Stand-in for the engine's FText: display text that remembers its source text, namespace and key. No cultures or tables.
#pragma once

#include "CoreTypes.h"
#include "Containers/UnrealString.h"
#include "Templates/SharedPointer.h"

class CORE_API FText
{
public:
	FText();

	/** Culture-invariant text with no namespace or key. */
	static FText FromString(const FString& String);
	static const FText& GetEmpty();

	/** The display string; the stand-in has one culture, so it is the source text. */
	const FString& ToString() const;
	bool IsEmpty() const { return ToString().IsEmpty(); }
	bool EqualTo(const FText& Other) const;
	bool IdenticalTo(const FText& Other) const { return Data == Other.Data; }

private:
	friend class FTextInspector;
	friend class FInternationalization;

	struct FTextData
	{
		FString Source;
		FString Namespace;
		FString Key;
	};
	explicit FText(TSharedRef<const FTextData> InData)
		: Data(MoveTemp(InData))
	{
	}
	static TSharedRef<const FTextData> GetEmptyData();

	TSharedRef<const FTextData> Data;
};

/** Reads what a text was made from; tests use it to check namespaces and keys. */
class CORE_API FTextInspector
{
public:
	static FString GetNamespace(const FText& Text) { return Text.Data->Namespace; }
	static FString GetKey(const FText& Text) { return Text.Data->Key; }
	static const FString& GetSourceString(const FText& Text) { return Text.Data->Source; }
};

class CORE_API FInternationalization
{
public:
	/** The entry point behind LOCTEXT/NSLOCTEXT: a localisable text from a source text, a namespace and a key. */
	static FText ForUseOnlyByLocMacroAndGraphNodeTextLiterals_CreateText(
		const TCHAR* InTextLiteral, const TCHAR* InNamespace, const TCHAR* InKey);
};

#define NSLOCTEXT(InNamespace, InKey, InTextLiteral)                                                                                       \
	FInternationalization::ForUseOnlyByLocMacroAndGraphNodeTextLiterals_CreateText(TEXT(InTextLiteral), TEXT(InNamespace), TEXT(InKey))
#define LOCTEXT(InKey, InTextLiteral) NSLOCTEXT(LOCTEXT_NAMESPACE, InKey, InTextLiteral)
