// Stand-in for the engine's FName: an interned, case-insensitive name in one process-wide table. No numbered suffixes.
#pragma once

#include "CoreTypes.h"
#include "Containers/UnrealString.h"

enum EFindName
{
	/** Look the name up without adding it: an unknown name becomes NAME_None. */
	FNAME_Find,
	/** Add the name to the table when it is absent. */
	FNAME_Add,
};

class CORE_API FName
{
public:
	FName() = default;
	FName(const TCHAR* Name, EFindName FindType = FNAME_Add);
	FName(const ANSICHAR* Name, EFindName FindType = FNAME_Add);
	FName(const FString& Name, EFindName FindType = FNAME_Add)
		: FName(*Name, FindType)
	{
	}

	bool IsNone() const { return Index == 0; }
	FString ToString() const;
	uint32 GetComparisonIndex() const { return Index; }

	bool operator==(const FName& Other) const { return Index == Other.Index; }
	bool operator!=(const FName& Other) const { return Index != Other.Index; }
	/** Compares with a plain text, ignoring ASCII case, without touching the name table. */
	bool operator==(const ANSICHAR* Other) const;
	bool operator<(const FName& Other) const { return Index < Other.Index; }

	/** Number of names in the process-wide table; lets tests prove that input does not grow it. */
	static int32 GetNameTableSize();

private:
	uint32 Index = 0;
};

inline uint32 GetTypeHash(const FName& Name)
{
	return Name.GetComparisonIndex();
}

#define NAME_None FName()

/** The name of a member, checked at compile time to exist on the class, as the editor's change hooks compare it. */
#define GET_MEMBER_NAME_CHECKED(ClassName, MemberName) ((void)sizeof(&ClassName::MemberName), FName(TEXT(#MemberName)))
