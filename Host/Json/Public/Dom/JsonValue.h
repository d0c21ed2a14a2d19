// Stand-in for the engine's FJsonValue and its kinds. No writer, no printing; conversions between kinds as below.
#pragma once

#include "CoreMinimal.h"

#define JSON_API DLLEXPORT

class FJsonObject;

enum class EJson
{
	None,
	Null,
	String,
	Number,
	Boolean,
	Array,
	Object,
};

/**
 * One JSON value. The As* conversions never fail and never log: a number read as text is its shortest round-trip
 * decimal form, a numeric text read as a number is its value (any other text is 0), booleans are 1/0 and
 * "true"/"false", and null, arrays and objects read as 0 or the empty text.
 */
class JSON_API FJsonValue
{
public:
	virtual ~FJsonValue() = default;

	EJson Type = EJson::None;

	virtual double AsNumber() const { return 0.0; }
	virtual FString AsString() const { return FString(); }
	virtual bool AsBool() const { return false; }
	/** The elements; an empty array for any other kind. */
	virtual const TArray<TSharedPtr<FJsonValue>>& AsArray() const;
	/** The object; null for any other kind. */
	virtual const TSharedPtr<FJsonObject>& AsObject() const;

	/** True only for a value of that kind (a number for TryGetNumber), with the value. */
	virtual bool TryGetNumber(double& OutNumber) const
	{
		(void)OutNumber;
		return false;
	}
	virtual bool TryGetString(FString& OutString) const
	{
		(void)OutString;
		return false;
	}
	virtual bool TryGetBool(bool& OutBool) const
	{
		(void)OutBool;
		return false;
	}
	bool IsNull() const { return Type == EJson::Null || Type == EJson::None; }

protected:
	explicit FJsonValue(EJson InType)
		: Type(InType)
	{
	}
};

class JSON_API FJsonValueNull final : public FJsonValue
{
public:
	FJsonValueNull()
		: FJsonValue(EJson::Null)
	{
	}
};

class JSON_API FJsonValueBoolean final : public FJsonValue
{
public:
	explicit FJsonValueBoolean(bool InValue)
		: FJsonValue(EJson::Boolean)
		, Value(InValue)
	{
	}
	double AsNumber() const override { return Value ? 1.0 : 0.0; }
	FString AsString() const override { return Value ? FString(TEXT("true")) : FString(TEXT("false")); }
	bool AsBool() const override { return Value; }
	bool TryGetBool(bool& OutBool) const override
	{
		OutBool = Value;
		return true;
	}

private:
	bool Value;
};

class JSON_API FJsonValueNumber final : public FJsonValue
{
public:
	explicit FJsonValueNumber(double InValue)
		: FJsonValue(EJson::Number)
		, Value(InValue)
	{
	}
	double AsNumber() const override { return Value; }
	FString AsString() const override;
	bool AsBool() const override { return Value != 0.0; }
	bool TryGetNumber(double& OutNumber) const override
	{
		OutNumber = Value;
		return true;
	}

private:
	double Value;
};

class JSON_API FJsonValueString final : public FJsonValue
{
public:
	explicit FJsonValueString(FString InValue)
		: FJsonValue(EJson::String)
		, Value(MoveTemp(InValue))
	{
	}
	double AsNumber() const override;
	FString AsString() const override { return Value; }
	bool AsBool() const override { return Value.Equals(TEXT("true"), ESearchCase::IgnoreCase); }
	bool TryGetString(FString& OutString) const override
	{
		OutString = Value;
		return true;
	}

private:
	FString Value;
};

class JSON_API FJsonValueArray final : public FJsonValue
{
public:
	FJsonValueArray()
		: FJsonValue(EJson::Array)
	{
	}
	explicit FJsonValueArray(TArray<TSharedPtr<FJsonValue>> InValue)
		: FJsonValue(EJson::Array)
		, Value(MoveTemp(InValue))
	{
	}
	const TArray<TSharedPtr<FJsonValue>>& AsArray() const override { return Value; }

	TArray<TSharedPtr<FJsonValue>> Value;
};

class JSON_API FJsonValueObject final : public FJsonValue
{
public:
	explicit FJsonValueObject(TSharedPtr<FJsonObject> InValue)
		: FJsonValue(EJson::Object)
		, Value(MoveTemp(InValue))
	{
	}
	const TSharedPtr<FJsonObject>& AsObject() const override { return Value; }

private:
	TSharedPtr<FJsonObject> Value;
};
