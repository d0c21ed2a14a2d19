// Stand-in for the engine's UClass, FProperty, UScriptStruct: bool/int32/float/double/FString properties, uint8 enums,
// frame rates and class references. No functions.
#pragma once

#include "CoreMinimal.h"

#include <memory>
#include <vector>

#define COREUOBJECT_API DLLEXPORT

class UObject;
class UClass;

enum EClassFlags : uint32
{
	CLASS_None = 0,
	/** Declared config = <Name>: its config properties are read from and written to the <Name> configuration. */
	CLASS_Config = 1u << 0,
	/** Declared defaultconfig: its values belong in the project's Config/Default<Name>.ini, not the per-user file. */
	CLASS_DefaultConfig = 1u << 1,
	CLASS_Abstract = 1u << 2,
	/** The flags a class passes on to its subclasses. */
	CLASS_Inherit = CLASS_Config | CLASS_DefaultConfig,
};

/** The kinds of property value the stand-in's config store and settings editor understand. */
enum class EPropertyType : uint8
{
	Bool,
	Int32,
	Float,
	String,
	Double,
	/** A uint8-backed enum: its enumerators' names are the property's EnumNames, in value order. */
	Enum,
	/** An FFrameRate, as text "Numerator/Denominator". */
	FrameRate,
	/** A TSubclassOf of the property's PropertyClass, as text the class's path name or "None". */
	Class,
};

enum EPropertyFlags : uint32
{
	CPF_None = 0,
	/** Declared config: read by LoadConfig, written by the config file updates. */
	CPF_Config = 1u << 0,
	/** Shown in the editor (EditAnywhere, EditDefaultsOnly, Visible*). */
	CPF_Edit = 1u << 1,
	/** Shown but not editable (Visible*). */
	CPF_EditConst = 1u << 2,
	CPF_Transient = 1u << 3,
};

/** One reflected member: where it lives in its object, how it is shown and how it reads and writes as text. */
struct COREUOBJECT_API FProperty
{
	FName Name;
	EPropertyType Type = EPropertyType::Int32;
	uint32 Flags = CPF_None;
	/** Byte offset of the value from the start of the object. */
	size_t Offset = 0;
	/** "Category", "ToolTip" and every other meta entry of the declaration. */
	TMap<FName, FString> MetaData;
	/** Enum: the enumerators' short names, the first for 0. */
	TArray<FString> EnumNames;
	/** Enum: the enum's name; Class: "TSubclassOf<...>". */
	FString CPPTypeName;
	/** Class: the class every value must be a child of. */
	UClass* PropertyClass = nullptr;

	template <typename ValueType> ValueType* ContainerPtrToValuePtr(UObject* Object) const
	{
		return reinterpret_cast<ValueType*>(reinterpret_cast<uint8*>(Object) + Offset);
	}
	template <typename ValueType> const ValueType* ContainerPtrToValuePtr(const UObject* Object) const
	{
		return reinterpret_cast<const ValueType*>(reinterpret_cast<const uint8*>(Object) + Offset);
	}
	bool HasAnyPropertyFlags(uint32 Mask) const { return (Flags & Mask) != 0; }

	/** The entry's value; empty when the declaration has none. */
	const FString& GetMetaData(const FName& Key) const;
	bool HasMetaData(const FName& Key) const { return MetaData.Contains(Key); }
	void SetMetaData(const FName& Key, const FString& Value) { MetaData.Add(Key, Value); }
	FText GetToolTipText() const { return FText::FromString(GetMetaData(TEXT("ToolTip"))); }
	/** The declared type: "bool", "int32", "float", "double", "FString", "FFrameRate", the enum's or the class reference's. */
	const TCHAR* GetCPPType() const;

	/**
	 * The value Object holds as text: True/False, decimal, the shortest float or double that reads back exactly, the
	 * string, the enumerator's short name, "24/1", the class's path name or "None".
	 */
	FString ExportText(const UObject* Object) const;
	/**
	 * Sets the value Object holds from Text. bool takes True/False, Yes/No, On/Off or 1/0 in any letter case; int32 a
	 * decimal number in range; float a decimal or exponent number (inf and nan included); surrounding white space is
	 * ignored for these, double is read as float is. FString takes Text as it is. An enum takes an enumerator's name,
	 * short or qualified ("Timecode", "ELiveLinkSourceMode::Timecode"), in any letter case; a frame rate "N/D" or "N"
	 * with both positive; a class reference "None" or the path or name of a registered class of the property's class. When Text is not a
	 * value of the type the object is left unchanged and the result is false, with a sentence saying why in OutError.
	 */
	bool ImportText(const FString& Text, UObject* Object, FString* OutError = nullptr) const;
	/** True when Text reads as the value Object holds, so that storing the value again would change only spelling. */
	bool IdenticalToText(const UObject* Object, const FString& Text) const;
};

class COREUOBJECT_API UClass
{
public:
	using FConstructor = std::unique_ptr<UObject> (*)();

	/**
	 * Registers the class until it is destroyed (GetDerivedClasses finds it). A class without a config name of its own
	 * inherits its super class's, as it inherits the flags in CLASS_Inherit.
	 */
	UClass(const TCHAR* InName, UClass* InSuperClass, const TCHAR* InPackage, FConstructor InConstructor, uint32 InClassFlags = CLASS_None,
		const TCHAR* InConfigName = TEXT(""));
	UClass(const UClass&) = delete;
	UClass& operator=(const UClass&) = delete;
	~UClass();

	/** The registered name, without the U prefix ("TavrixLiveLinkRuntimeSettings"). */
	const FString& GetName() const { return Name; }
	/** "/Script/Module.ClassName", the name of the class's configuration section. */
	FString GetPathName() const { return Package + TEXT(".") + Name; }
	const FString& GetPackageName() const { return Package; }
	/** The configuration the class's config properties live in ("Game"). */
	const FString& GetConfigName() const { return ConfigName; }
	UClass* GetSuperClass() const { return SuperClass; }
	bool IsChildOf(const UClass* SomeBase) const;
	bool HasAnyClassFlags(uint32 Mask) const { return (ClassFlags & Mask) != 0; }
	uint32 GetClassFlags() const { return ClassFlags; }

	/** The entry's value ("ToolTip", ...); empty when the declaration has none. */
	const FString& GetMetaData(const FName& Key) const;
	bool HasMetaData(const FName& Key) const { return MetaData.Contains(Key); }
	void SetMetaData(const FName& Key, const FString& Value) { MetaData.Add(Key, Value); }
	FText GetToolTipText() const { return FText::FromString(GetMetaData(TEXT("ToolTip"))); }

	/**
	 * The class default object, owned by the class; created when absent and bCreateIfNeeded is true (null for an
	 * abstract class). A config class's default object loads its configuration when it is created.
	 */
	UObject* GetDefaultObject(bool bCreateIfNeeded = true);
	template <class T> T* GetDefaultObject() { return static_cast<T*>(GetDefaultObject(true)); }
	/** A new instance with the constructor's defaults, owned by the caller. Null for an abstract class. */
	std::unique_ptr<UObject> CreateObject() const;

	/** The properties declared by this class itself, in declaration order. */
	const std::vector<FProperty>& GetProperties() const { return Properties; }
	/** Every property of an instance: the super classes' first, each class's in declaration order. */
	TArray<const FProperty*> GetAllProperties() const;
	/** This class's property of that name, else its super classes'; null when none has it. */
	const FProperty* FindPropertyByName(FName PropertyName) const;
	void AddProperty(FProperty Property) { Properties.push_back(MoveTemp(Property)); }

private:
	FString Name;
	UClass* SuperClass = nullptr;
	FString Package;
	FString ConfigName;
	uint32 ClassFlags = CLASS_None;
	FConstructor Constructor = nullptr;
	TMap<FName, FString> MetaData;
	std::vector<FProperty> Properties;
	std::unique_ptr<UObject> DefaultObject;
};

/** Engine-style class reference restricted to subclasses of T. */
template <class T> class TSubclassOf
{
public:
	TSubclassOf() = default;
	TSubclassOf(UClass* InClass)
		: Class(InClass)
	{
	}
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

	template <typename T> static FOps MakeOps()
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
 * For every class below UObject, which declares the root of GetClass itself.
 * Paired with IMPLEMENT_CLASS in the class's source file. Classes declared with UCLASS and GENERATED_BODY get both
 * from the header tool instead.
 */
#define DECLARE_CLASS(TClass, TSuperClass)                                                                                                 \
public:                                                                                                                                    \
	using Super = TSuperClass;                                                                                                             \
	using ThisClass = TClass;                                                                                                              \
	static UClass* StaticClass();                                                                                                          \
	UClass* GetClass() const override                                                                                                      \
	{                                                                                                                                      \
		return StaticClass();                                                                                                              \
	}

/**
 * Defines StaticClass for TClass, registered as TName (TClass without its prefix) in TPackage with TFlags and
 * TConfigName, and registers the class when its module loads.
 */
#define IMPLEMENT_CLASS_FLAGS(TClass, TName, TPackage, TFlags, TConfigName)                                                                \
	UClass* TClass::StaticClass()                                                                                                          \
	{                                                                                                                                      \
		static UClass Class(                                                                                                               \
			TEXT(TName), std::is_same_v<TClass, TClass::Super> ? nullptr : TClass::Super::StaticClass(), TEXT(TPackage),                   \
			[]() -> std::unique_ptr<UObject> {                                                                                             \
				if constexpr (std::is_abstract_v<TClass>)                                                                                  \
					return nullptr;                                                                                                        \
				else                                                                                                                       \
					return std::make_unique<TClass>();                                                                                     \
			},                                                                                                                             \
			TFlags, TEXT(TConfigName));                                                                                                    \
		return &Class;                                                                                                                     \
	}                                                                                                                                      \
	[[maybe_unused]] static UClass* const TClass##RegisteredAtLoad = TClass::StaticClass();
#define IMPLEMENT_CLASS(TClass, TName, TPackage) IMPLEMENT_CLASS_FLAGS(TClass, TName, TPackage, CLASS_None, "")

/** Declares StaticStruct for a reflected struct; pair with IMPLEMENT_STRUCT. */
#define DECLARE_STRUCT(TStruct)                                                                                                            \
public:                                                                                                                                    \
	static UScriptStruct* StaticStruct();

#define IMPLEMENT_STRUCT(TStruct, TName, TSuperStruct)                                                                                     \
	UScriptStruct* TStruct::StaticStruct()                                                                                                 \
	{                                                                                                                                      \
		static UScriptStruct Struct(TEXT(TName), TSuperStruct, UScriptStruct::MakeOps<TStruct>());                                         \
		return &Struct;                                                                                                                    \
	}
