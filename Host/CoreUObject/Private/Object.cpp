#include "UObject/Object.h"
#include "UObject/ConfigTesting.h"

#include "Misc/ConfigCacheIni.h"
#include "Misc/Paths.h"
#include "UObject/WeakObjectPtr.h"

#include <mutex>
#include <unordered_map>

IMPLEMENT_CLASS_FLAGS(UObject, "Object", "/Script/CoreUObject", CLASS_None, "Engine")

namespace
{
/**
 * Every live object with the serial number it was registered under; weak references check against it. Never
 * destroyed: class default objects die with their classes in the static destructors of other libraries, which may
 * run after this library's.
 */
struct FObjectTable
{
	std::mutex Mutex;
	std::unordered_map<const UObject*, uint64> SerialNumbers;
	uint64 NextSerialNumber = 1;

	static FObjectTable& Get()
	{
		static FObjectTable* const Table = new FObjectTable();
		return *Table;
	}
};

/** Calls Visit(Property, Key) for each config property of Class, in declaration order; Key names it in the file. */
template <typename VisitorType> void ForEachConfigProperty(const UClass& Class, VisitorType Visit)
{
	for (const FProperty* Property : Class.GetAllProperties())
	{
		if (Property->HasAnyPropertyFlags(CPF_Config))
		{
			Visit(*Property, Property->Name.ToString());
		}
	}
}

void ApplyConfigFile(UObject& Object, const FString& Filename)
{
	FConfigFile File;
	if (!File.Read(Filename))
	{
		return;
	}
	const FString Section = Object.GetClass()->GetPathName();
	ForEachConfigProperty(*Object.GetClass(), [&](const FProperty& Property, const FString& Key) {
		FString Value;
		FString Error;
		if (File.GetString(*Section, *Key, Value) && !Property.ImportText(Value, &Object, &Error))
		{
			UE_LOG(LogConfig, Warning, TEXT("%s: [%s] %s: %s The value %s is kept."), *Filename, *Section, *Key, *Error,
				*Property.ExportText(&Object));
		}
	});
}
} // namespace

UObject::UObject()
{
	FObjectTable& Table = FObjectTable::Get();
	std::lock_guard Lock(Table.Mutex);
	Table.SerialNumbers[this] = Table.NextSerialNumber++;
}

UObject::~UObject()
{
	FObjectTable& Table = FObjectTable::Get();
	std::lock_guard Lock(Table.Mutex);
	Table.SerialNumbers.erase(this);
}

void UObject::LoadConfig()
{
	const UClass* Class = GetClass();
	if (!Class->HasAnyClassFlags(CLASS_Config))
	{
		return;
	}
	ApplyConfigFile(*this, GetDefaultConfigFilename());
	if (!Class->HasAnyClassFlags(CLASS_DefaultConfig))
	{
		ApplyConfigFile(*this, GetConfigFilename());
	}
}

void UObject::UpdateDefaultConfigFile()
{
	WriteConfigProperties(GetDefaultConfigFilename());
}

void UObject::SaveConfig()
{
	WriteConfigProperties(GetConfigFilename());
}

bool FConfigTesting::TryUpdateDefaultConfigFile(UObject& Object)
{
	return Object.WriteConfigProperties(Object.GetDefaultConfigFilename());
}

bool FConfigTesting::TrySaveConfig(UObject& Object)
{
	return Object.WriteConfigProperties(Object.GetConfigFilename());
}

FString UObject::GetDefaultConfigFilename() const
{
	return FPaths::ProjectConfigDir() + TEXT("Default") + GetClass()->GetConfigName() + TEXT(".ini");
}

FString UObject::GetConfigFilename() const
{
	return FPaths::ProjectSavedDir() + TEXT("Config/") + GetClass()->GetConfigName() + TEXT(".ini");
}

bool UObject::WriteConfigProperties(const FString& Filename)
{
	const UClass* Class = GetClass();
	if (!Class->HasAnyClassFlags(CLASS_Config))
	{
		UE_LOG(LogConfig, Warning, TEXT("%s is not a config class; nothing was written to %s."), *Class->GetName(), *Filename);
		return false;
	}
	// Read afresh: whatever was added to the file since it was loaded must survive this write.
	FConfigFile File;
	File.Read(Filename);
	const FString Section = Class->GetPathName();
	ForEachConfigProperty(*Class, [&](const FProperty& Property, const FString& Key) {
		FString Stored;
		if (!File.GetString(*Section, *Key, Stored) || !Property.IdenticalToText(this, Stored))
		{
			File.SetString(*Section, *Key, Property.ExportText(this));
		}
	});
	return !File.IsDirty() || File.Write(Filename);
}

FWeakObjectPtr::FWeakObjectPtr(const UObject* InObject)
{
	if (InObject == nullptr)
	{
		return;
	}
	FObjectTable& Table = FObjectTable::Get();
	std::lock_guard Lock(Table.Mutex);
	if (const auto It = Table.SerialNumbers.find(InObject); It != Table.SerialNumbers.end())
	{
		Object = InObject;
		SerialNumber = It->second;
	}
}

UObject* FWeakObjectPtr::Get() const
{
	if (Object == nullptr)
	{
		return nullptr;
	}
	FObjectTable& Table = FObjectTable::Get();
	std::lock_guard Lock(Table.Mutex);
	const auto It = Table.SerialNumbers.find(Object);
	return It != Table.SerialNumbers.end() && It->second == SerialNumber ? const_cast<UObject*>(Object) : nullptr;
}
