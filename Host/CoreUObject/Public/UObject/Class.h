// Stand-in for the engine's UClass and UScriptStruct: run-time type records with names, a super class, a package,
// a configuration name and the class default object. Properties are described by FProperty records.
#pragma once

#include "CoreMinimal.h"

#include <memory>
#include <vector>

#define COREUOBJECT_API DLLEXPORT

class UObject;

enum EClassFlags : uint32
{
	CLASS_None = 0,
	CLASS_Config = 1u << 0,
	CLASS_DefaultConfig = 1u << 1,
	CLASS_Abstract = 1u << 2,
};

/** The kinds of property value the stand-in's config store and settings editor understand. */
enum class EPropertyType : uint8
{
	Bool,
	Int32,
	Float,
	String,
};

enum EPropertyFlags : uint32
{
	CPF_None = 0,
	CPF_Config = 1u << 0,
	CPF_Edit = 1u << 1,
};

/** One reflected member: where it lives in the object and how it is shown and stored. */
struct COREUOBJECT_API FProperty
{
	FName Name;
	EPropertyType Type = EPropertyType::Int32;
	uint32 Flags = CPF_None;
	size_t Offset = 0;
	FString Category;
	FString ToolTip;

	template <typename ValueType>
	ValueType* ContainerPtrToValuePtr(UObject* Object) const
	{
		return reinterpret_cast<ValueType*>(reinterpret_cast<uint8*>(Object) + Offset);
	}
	template <typename ValueType>
	const ValueType* ContainerPtrToValuePtr(const UObject* Object) const
	{
		return reinterpret_cast<const ValueType*>(reinterpret_cast<const uint8*>(Object) + Offset);
	}
	bool HasAnyPropertyFlags(uint32 Mask) const { return (Flags & Mask) != 0; }
};

class COREUOBJECT_API UClass
{
public:
	using FConstructor = std::unique_ptr<UObject> (*)();

	UClass(const TCHAR* InName, UClass* InSuperClass, const TCHAR* InPackage, FConstructor InConstructor,
		uint32 InClassFlags = CLASS_None, const TCHAR* InConfigName = TEXT(""));
	UClass(const UClass&) = delete;
	UClass& operator=(const UClass&) = delete;
	~UClass();

	/** The registered name, without the U prefix ("TavrixLiveLinkRuntimeSettings"). */
	const FString& GetName() const { return Name; }
	/** "/Script/Module.ClassName", the name of the class's configuration section. */
	FString GetPathName() const { return Package + TEXT(".") + Name; }
	const FString& GetPackageName() const { return Package; }
	const FString& GetConfigName() const { return ConfigName; }
	UClass* GetSuperClass() const { return SuperClass; }
	bool IsChildOf(const UClass* SomeBase) const;
	bool HasAnyClassFlags(uint32 Mask) const { return (ClassFlags & Mask) != 0; }

	/** The class default object; created when absent and bCreateIfNeeded is true. Owned by the class. */
	UObject* GetDefaultObject(bool bCreateIfNeeded = true);
	template <class T>
	T* GetDefaultObject()
	{
		return static_cast<T*>(GetDefaultObject(true));
	}
	/** A new instance, owned by the caller. Null for an abstract class. */
	std::unique_ptr<UObject> CreateObject() const;

	/** Reflected properties, in declaration order, of this class and then its super classes'. */
	const std::vector<FProperty>& GetProperties() const { return Properties; }
	const FProperty* FindPropertyByName(FName PropertyName) const;
	void AddProperty(FProperty Property) { Properties.push_back(MoveTemp(Property)); }

private:
	FString Name;
	UClass* SuperClass = nullptr;
	FString Package;
	FString ConfigName;
	uint32 ClassFlags = CLASS_None;
	FConstructor Constructor = nullptr;
	std::vector<FProperty> Properties;
	std::unique_ptr<UObject> DefaultObject;
};

/** Engine-style class reference restricted to subclasses of T. */
template <class T>
class TSubclassOf
{
public:
	TSubclassOf() = default;
	TSubclassOf(UClass* InClass) : Class(InClass) {}
	UClass* Get() const { return Class; }
	UClass* operator*() const { return Class; }
	UClass* operator->() const { return Class; }
	operator UClass*() const { return Class; }

private:
	UClass* Class = nullptr;
};

/** Run-time record of a plain struct type: constructs, copies and destroys instances with the type's defaults. */
class COREUOBJECT_API UScriptStruct
{
public:
	struct FOps
	{
		size_t Size;
		void (*Construct)(void*);
		void (*Destruct)(void*);
		void (*Copy)(void*, const void*);
	};

	UScriptStruct(const TCHAR* InName, UScriptStruct* InSuperStruct, FOps InOps);

	const FString& GetName() const { return Name; }
	UScriptStruct* GetSuperStruct() const { return SuperStruct; }
	bool IsChildOf(const UScriptStruct* SomeBase) const;
	const FOps& GetOps() const { return Ops; }

	template <typename T>
	static FOps MakeOps()
	{
		return FOps{sizeof(T), [](void* Ptr) { ::new (Ptr) T(); }, [](void* Ptr) { static_cast<T*>(Ptr)->~T(); },
			[](void* Dest, const void* Src) { *static_cast<T*>(Dest) = *static_cast<const T*>(Src); }};
	}

private:
	FString Name;
	UScriptStruct* SuperStruct = nullptr;
	FOps Ops;
};

/**
 * Declares the reflection hooks of a class, where the engine's generated code would: StaticClass, GetClass, Super.
 * Paired with IMPLEMENT_CLASS in the class's source file.
 */
#define DECLARE_CLASS(TClass, TSuperClass)                                                                                 \
public:                                                                                                                    \
	using Super = TSuperClass;                                                                                             \
	using ThisClass = TClass;                                                                                              \
	static UClass* StaticClass();                                                                                          \
	virtual UClass* GetClass() const { return StaticClass(); }

/** Defines StaticClass for TClass, registered as Name (TClass without its prefix) in Package, with Flags/Config. */
#define IMPLEMENT_CLASS_FLAGS(TClass, TName, TPackage, TFlags, TConfigName)                                                \
	UClass* TClass::StaticClass()                                                                                          \
	{                                                                                                                      \
		static UClass Class(TEXT(TName), std::is_same_v<TClass, TClass::Super> ? nullptr : TClass::Super::StaticClass(),  \
			TEXT(TPackage), []() -> std::unique_ptr<UObject> {                                                             \
				if constexpr (std::is_abstract_v<TClass>)                                                                  \
					return nullptr;                                                                                        \
				else                                                                                                       \
					return std::make_unique<TClass>();                                                                     \
			},                                                                                                             \
			TFlags, TEXT(TConfigName));                                                                                    \
		return &Class;                                                                                                     \
	}
#define IMPLEMENT_CLASS(TClass, TName, TPackage) IMPLEMENT_CLASS_FLAGS(TClass, TName, TPackage, CLASS_None, "")

/** Declares StaticStruct for a reflected struct; pair with IMPLEMENT_STRUCT. */
#define DECLARE_STRUCT(TStruct)                                                                                            \
public:                                                                                                                    \
	static UScriptStruct* StaticStruct();

#define IMPLEMENT_STRUCT(TStruct, TName, TSuperStruct)                                                                     \
	UScriptStruct* TStruct::StaticStruct()                                                                                 \
	{                                                                                                                      \
		static UScriptStruct Struct(TEXT(TName), TSuperStruct, UScriptStruct::MakeOps<TStruct>());                         \
		return &Struct;                                                                                                    \
	}
