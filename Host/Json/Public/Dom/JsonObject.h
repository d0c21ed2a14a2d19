// Stand-in for the engine's FJsonObject: members in document order, looked up ignoring ASCII letter case.
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
	 * Every member in document order, duplicates included (a name that occurs twice is kept twice); walking it
	 * yields .Key and .Value. Lookups find the first member whose name matches.
	 */
	TArray<FJsonObjectMember> Values;

	/** The first member named FieldName (ASCII case ignored), or null. */
	TSharedPtr<FJsonValue> TryGetField(const FString& FieldName) const;
	bool HasField(const FString& FieldName) const { return FindField(FieldName) != nullptr; }
	/** Appends a member, or replaces the value of the first member of that name. */
	void SetField(const FString& FieldName, const TSharedPtr<FJsonValue>& Value);

	/** True with the elements when the member exists and is an array. */
	bool TryGetArrayField(const FString& FieldName, const TArray<TSharedPtr<FJsonValue>>*& OutArray) const;
	/** True with the value when the member exists and is a number. */
	bool TryGetNumberField(const FString& FieldName, double& OutNumber) const;
	/**
	 * True when the member exists and is a number; the number truncated toward zero and saturated to the int32
	 * range. Otherwise false, and OutNumber is left alone.
	 */
	bool TryGetNumberField(const FString& FieldName, int32& OutNumber) const;
	bool TryGetStringField(const FString& FieldName, FString& OutString) const;
	bool TryGetBoolField(const FString& FieldName, bool& OutBool) const;
	bool TryGetObjectField(const FString& FieldName, const TSharedPtr<FJsonObject>*& OutObject) const;
	FString GetStringField(const FString& FieldName) const;

private:
	const FJsonValue* FindField(const FString& FieldName) const;
};
