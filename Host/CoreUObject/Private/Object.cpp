#include "UObject/Object.h"

IMPLEMENT_CLASS(UObject, "Object", "/Script/CoreUObject")

UClass::UClass(const TCHAR* InName, UClass* InSuperClass, const TCHAR* InPackage, FConstructor InConstructor, uint32 InClassFlags,
	const TCHAR* InConfigName)
	: Name(InName)
	, SuperClass(InSuperClass)
	, Package(InPackage)
	, ConfigName(InConfigName)
	, ClassFlags(InClassFlags)
	, Constructor(InConstructor)
{
}

UClass::~UClass() = default;

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

UObject* UClass::GetDefaultObject(bool bCreateIfNeeded)
{
	if (DefaultObject == nullptr && bCreateIfNeeded)
	{
		DefaultObject = CreateObject();
	}
	return DefaultObject.get();
}

std::unique_ptr<UObject> UClass::CreateObject() const
{
	return Constructor != nullptr ? Constructor() : nullptr;
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

UScriptStruct::UScriptStruct(const TCHAR* InName, UScriptStruct* InSuperStruct, FOps InOps)
	: Name(InName), SuperStruct(InSuperStruct), Ops(InOps)
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
