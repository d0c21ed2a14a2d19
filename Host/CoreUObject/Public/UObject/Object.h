// Stand-in for the engine's UObject: class, configuration, default objects. No garbage collection, outers or saving.
#pragma once

#include "CoreMinimal.h"
#include "UObject/Class.h"
#include "UObject/ObjectMacros.h"

#define COREUOBJECT_API DLLEXPORT

/** Objects are owned by whoever created them, class default objects by their class. Game thread only. */
class COREUOBJECT_API UObject
{
public:
	// The root of the class hooks that DECLARE_CLASS overrides in every class below.
	using Super = UObject;
	using ThisClass = UObject;
	static UClass* StaticClass();
	virtual UClass* GetClass() const { return StaticClass(); }

	UObject();
	UObject(const UObject&) = delete;
	UObject& operator=(const UObject&) = delete;
	virtual ~UObject();

	/** The configuration of a class that names none: "Engine", as in the engine. */
	static const TCHAR* StaticConfigName() { return TEXT("Engine"); }
	static const TCHAR* StaticPackage() { return TEXT("/Script/CoreUObject"); }

	FName GetFName() const { return FName(GetClass()->GetName()); }
	bool IsA(const UClass* SomeBase) const { return GetClass()->IsChildOf(SomeBase); }

	/**
	 * Reads the config properties from the class's section ("/Script/Module.Class") of GetDefaultConfigFilename()
	 * and then, unless the class is defaultconfig, of GetConfigFilename(). A missing file or key keeps the current
	 * value; a value that does not parse keeps it too and is logged as a warning in LogConfig. Nothing happens for a
	 * class that is not config. Game thread only.
	 */
	void LoadConfig();

	/**
	 * Stores every config property in the class's section of GetDefaultConfigFilename(), read afresh from disk:
	 * only the lines of values that differ are rewritten, missing keys and the section are added, everything else
	 * in the file stays byte for byte, and the file is replaced atomically (not touched at all when nothing
	 * differs). A failure is logged; as in the engine, nothing is returned.
	 */
	void UpdateDefaultConfigFile();
	/** As UpdateDefaultConfigFile, into the per-user GetConfigFilename(). */
	void SaveConfig();

	/** <Project>/Config/Default<ConfigName>.ini: the project's shared values. */
	FString GetDefaultConfigFilename() const;
	/** <Project>/Saved/Config/<ConfigName>.ini: this user's values, read over the project's. */
	FString GetConfigFilename() const;

private:
	// The stand-in's own saving with a result, for its tests and settings editor (UObject/ConfigTesting.h).
	friend struct FConfigTesting;
	bool WriteConfigProperties(const FString& Filename);
};

/** The class default object of T, created on first use (loading its configuration if T is a config class). */
template <class T> T* GetMutableDefault()
{
	return static_cast<T*>(T::StaticClass()->GetDefaultObject(true));
}

template <class T> const T* GetDefault()
{
	return GetMutableDefault<T>();
}

/** A new instance with T's constructor defaults. The caller owns it: there is no garbage collector. */
template <class T> T* NewObject()
{
	return static_cast<T*>(T::StaticClass()->CreateObject().release());
}
