#include "UObject/NameTypes.h"

#include <deque>
#include <mutex>
#include <shared_mutex>
#include <unordered_map>

namespace
{
std::u16string LowerAscii(std::u16string_view Text)
{
	std::u16string Out(Text);
	for (TCHAR& C : Out)
	{
		C = FChar::ToLowerAscii(C);
	}
	return Out;
}

/** The one name table of the process; entry 0 is None. Names are never removed, as in the engine. */
struct FNameTable
{
	std::shared_mutex Mutex;
	std::deque<FString> Display{FString(u"None")};
	std::unordered_map<std::u16string, uint32> IndexByKey{{u"none", 0}};

	static FNameTable& Get()
	{
		static FNameTable Table;
		return Table;
	}

	uint32 FindOrAdd(std::u16string_view Name, EFindName FindType)
	{
		if (Name.empty())
		{
			return 0;
		}
		std::u16string Key = LowerAscii(Name);
		{
			std::shared_lock Lock(Mutex);
			if (const auto It = IndexByKey.find(Key); It != IndexByKey.end())
			{
				return It->second;
			}
		}
		if (FindType == FNAME_Find)
		{
			return 0;
		}
		std::unique_lock Lock(Mutex);
		const auto [It, bInserted] = IndexByKey.emplace(MoveTemp(Key), static_cast<uint32>(Display.size()));
		if (bInserted)
		{
			Display.emplace_back(FString(std::u16string(Name)));
		}
		return It->second;
	}
};
} // namespace

FName::FName(const TCHAR* Name, EFindName FindType)
	: Index(FNameTable::Get().FindOrAdd(Name ? Name : u"", FindType))
{
}

FName::FName(const ANSICHAR* Name, EFindName FindType)
	: FName(*FString(Name), FindType)
{
}

FString FName::ToString() const
{
	FNameTable& Table = FNameTable::Get();
	std::shared_lock Lock(Table.Mutex);
	return Table.Display[Index];
}

bool FName::operator==(const ANSICHAR* Other) const
{
	return ToString() == FString(Other);
}

int32 FName::GetNameTableSize()
{
	FNameTable& Table = FNameTable::Get();
	std::shared_lock Lock(Table.Mutex);
	return static_cast<int32>(Table.Display.size());
}
