// Stand-in for the engine's FJsonObject: a map of members keyed by name ignoring ASCII letter case. No writer.
#pragma once

#include "CoreMinimal.h"
#include "Dom/JsonValue.h"

/** One member of an object: its name as written and its value. */
struct FJsonObjectMember
{
	FString Key;
	TSharedPtr<FJsonValue> Value;
};

class JSON_API FJsonObject
{
public:
	/**
	 * The members, walked as .Key and .Value like the engine's map: in document order, each name once (ignoring
	 * ASCII case). As in the engine's map, a later member of the same name replaces the earlier one, its name and
	 * its value, where the earlier one stood.
	 */
	TArray<FJsonObjectMember> Values;

	/** The member named FieldName (ASCII case ignored), or null. */
	TSharedPtr<FJsonValue> TryGetField(const FString& FieldName) const;
	bool HasField(const FString& FieldName) const { return FindMember(FieldName) != nullptr; }
	/** Adds the member, or replaces the member of that name (its name and value) where it stands. */
	void SetField(const FString& FieldName, const TSharedPtr<FJsonValue>& Value);

	/** True with the elements when the member exists and is an array. */
	bool TryGetArrayField(const FString& FieldName, const TArray<TSharedPtr<FJsonValue>>*& OutArray) const;
	/** True with the value when the member exists and is a number, or converts to one (FJsonValue::TryGetNumber). */
	bool TryGetNumberField(const FString& FieldName, double& OutNumber) const;
	/**
	 * As the double overload, truncated toward zero. The engine's cast is undefined outside the int32 range; the
	 * stand-in fails loudly there instead.
	 */
	bool TryGetNumberField(const FString& FieldName, int32& OutNumber) const;
	bool TryGetStringField(const FString& FieldName, FString& OutString) const;
	bool TryGetBoolField(const FString& FieldName, bool& OutBool) const;
	bool TryGetObjectField(const FString& FieldName, const TSharedPtr<FJsonObject>*& OutObject) const;
	FString GetStringField(const FString& FieldName) const;

private:
	const FJsonObjectMember* FindMember(const FString& FieldName) const;
	/** The member's value without taking a reference to it; null when there is none. */
	const FJsonValue* FindValue(const FString& FieldName) const;
};
