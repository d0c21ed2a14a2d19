#include "UObject/Class.h"

#include "UObject/Object.h"
#include "UObject/UObjectHash.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace
{
/** The registered classes. Never destroyed, for the same reason as the object table: classes die in other libraries. */
struct FClassTable
{
	std::mutex Mutex;
	std::vector<UClass*> Classes;

	static FClassTable& Get()
	{
		static FClassTable* const Table = new FClassTable();
		return *Table;
	}
};

const FString& FindMetaData(const TMap<FName, FString>& MetaData, const FName& Key)
{
	static const FString Empty;
	const FString* Value = MetaData.Find(Key);
	return Value != nullptr ? *Value : Empty;
}
} // namespace

const FString& FProperty::GetMetaData(const FName& Key) const
{
	return FindMetaData(MetaData, Key);
}

UClass::UClass(const TCHAR* InName, UClass* InSuperClass, const TCHAR* InPackage, FConstructor InConstructor, uint32 InClassFlags,
	const TCHAR* InConfigName)
	: Name(InName)
	, SuperClass(InSuperClass)
	, Package(InPackage)
	, ConfigName(InConfigName)
	, ClassFlags(InClassFlags)
	, Constructor(InConstructor)
{
	if (SuperClass != nullptr)
	{
		ClassFlags |= SuperClass->ClassFlags & CLASS_Inherit;
		if (ConfigName.IsEmpty())
		{
			ConfigName = SuperClass->ConfigName;
		}
	}
	FClassTable& Table = FClassTable::Get();
	std::lock_guard Lock(Table.Mutex);
	Table.Classes.push_back(this);
}

UClass::~UClass()
{
	FClassTable& Table = FClassTable::Get();
	std::lock_guard Lock(Table.Mutex);
	std::erase(Table.Classes, this);
}

bool UClass::IsChildOf(const UClass* SomeBase) const
{
	for (const UClass* Class = this; Class != nullptr; Class = Class->SuperClass)
	{
		if (Class == SomeBase)
		{
			return true;
		}
	}
	return false;
}

const FString& UClass::GetMetaData(const FName& Key) const
{
	return FindMetaData(MetaData, Key);
}

UObject* UClass::GetDefaultObject(bool bCreateIfNeeded)
{
	if (DefaultObject == nullptr && bCreateIfNeeded)
	{
		DefaultObject = CreateObject();
		if (DefaultObject != nullptr && HasAnyClassFlags(CLASS_Config))
		{
			DefaultObject->LoadConfig();
		}
	}
	return DefaultObject.get();
}

std::unique_ptr<UObject> UClass::CreateObject() const
{
	return Constructor != nullptr ? Constructor() : nullptr;
}

TArray<const FProperty*> UClass::GetAllProperties() const
{
	TArray<const FProperty*> Result = SuperClass != nullptr ? SuperClass->GetAllProperties() : TArray<const FProperty*>();
	for (const FProperty& Property : Properties)
	{
		Result.Add(&Property);
	}
	return Result;
}

const FProperty* UClass::FindPropertyByName(FName PropertyName) const
{
	for (const FProperty& Property : Properties)
	{
		if (Property.Name == PropertyName)
		{
			return &Property;
		}
	}
	return SuperClass != nullptr ? SuperClass->FindPropertyByName(PropertyName) : nullptr;
}

void GetDerivedClasses(const UClass* ClassToLookFor, TArray<UClass*>& Results, bool bRecursive)
{
	FClassTable& Table = FClassTable::Get();
	std::lock_guard Lock(Table.Mutex);
	for (UClass* Class : Table.Classes)
	{
		const bool bDerived =
			bRecursive ? Class != ClassToLookFor && Class->IsChildOf(ClassToLookFor) : Class->GetSuperClass() == ClassToLookFor;
		if (bDerived)
		{
			Results.Add(Class);
		}
	}
}

UScriptStruct::UScriptStruct(const TCHAR* InName, UScriptStruct* InSuperStruct, FOps InOps)
	: Name(InName)
	, SuperStruct(InSuperStruct)
	, Ops(InOps)
{
}

bool UScriptStruct::IsChildOf(const UScriptStruct* SomeBase) const
{
	for (const UScriptStruct* Struct = this; Struct != nullptr; Struct = Struct->SuperStruct)
	{
		if (Struct == SomeBase)
		{
			return true;
		}
	}
	return false;
}
