// Stand-in for the engine's UObject: the reflected object base with its class. No garbage collection, no outers,
// no serialisation; objects are owned by whoever created them, class default objects by their class.
#pragma once

#include "CoreMinimal.h"
#include "UObject/Class.h"

#define COREUOBJECT_API DLLEXPORT

class COREUOBJECT_API UObject
{
public:
	DECLARE_CLASS(UObject, UObject)

	UObject() = default;
	UObject(const UObject&) = delete;
	UObject& operator=(const UObject&) = delete;
	virtual ~UObject() = default;

	FName GetFName() const { return FName(GetClass()->GetName()); }
	bool IsA(const UClass* SomeBase) const { return GetClass()->IsChildOf(SomeBase); }
};

/** The class default object of T, created on first use. */
template <class T>
T* GetMutableDefault()
{
	return static_cast<T*>(T::StaticClass()->GetDefaultObject(true));
}

template <class T>
const T* GetDefault()
{
	return GetMutableDefault<T>();
}

template <class T>
T* NewObject()
{
	return static_cast<T*>(T::StaticClass()->CreateObject().release());
}
