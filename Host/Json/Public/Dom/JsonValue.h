// Stand-in for the engine's FJsonValue and its kinds, with the engine's conversions and their error log. No writer.
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
 * One JSON value. As in the engine, the As* accessors convert where the engine does (a number as its text, a
 * numeric text as its number, a boolean as 1/0 or "true"/"false") and otherwise log an error in LogJson ("Json Value
 * of type 'Null' used as a 'Number'.") and return 0, an empty text, an empty array or a shared empty object (not
 * null). Code that must not depend on those conversions looks at Type first.
 */
class JSON_API FJsonValue
{
public:
	virtual ~FJsonValue() = default;

	EJson Type = EJson::None;

	double AsNumber() const;
	FString AsString() const;
	bool AsBool() const;
	const TArray<TSharedPtr<FJsonValue>>& AsArray() const;
	const TSharedPtr<FJsonObject>& AsObject() const;

	/** True with the value where this kind has one, or converts to one as described above. */
	virtual bool TryGetNumber(double& OutNumber) const
	{
		(void)OutNumber;
		return false;
	}
	/** The number truncated toward zero; out of the int32 range it is undefined in the engine and fails loudly here. */
	bool TryGetNumber(int32& OutNumber) const;
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
	virtual bool TryGetArray(const TArray<TSharedPtr<FJsonValue>>*& OutArray) const
	{
		(void)OutArray;
		return false;
	}
	virtual bool TryGetObject(const TSharedPtr<FJsonObject>*& OutObject) const
	{
		(void)OutObject;
		return false;
	}
	bool IsNull() const { return Type == EJson::Null || Type == EJson::None; }

protected:
	explicit FJsonValue(EJson InType)
		: Type(InType)
	{
	}

private:
	void LogConversionError(const TCHAR* AskedType) const;
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
	bool TryGetNumber(double& OutNumber) const override
	{
		OutNumber = Value ? 1.0 : 0.0;
		return true;
	}
	bool TryGetString(FString& OutString) const override
	{
		OutString = Value ? FString(TEXT("true")) : FString(TEXT("false"));
		return true;
	}
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
	bool TryGetNumber(double& OutNumber) const override
	{
		OutNumber = Value;
		return true;
	}
	/** The shortest decimal text that reads back as the same double. */
	bool TryGetString(FString& OutString) const override;
	bool TryGetBool(bool& OutBool) const override
	{
		OutBool = Value != 0.0;
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
	/** As the engine reads a numeric text: an optional sign, digits and at most one point, nothing else. */
	bool TryGetNumber(double& OutNumber) const override;
	bool TryGetString(FString& OutString) const override
	{
		OutString = Value;
		return true;
	}
	/** "true", "yes", "on" (any case) or a non-zero number. */
	bool TryGetBool(bool& OutBool) const override;

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
	bool TryGetArray(const TArray<TSharedPtr<FJsonValue>>*& OutArray) const override
	{
		OutArray = &Value;
		return true;
	}

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
	bool TryGetObject(const TSharedPtr<FJsonObject>*& OutObject) const override
	{
		OutObject = &Value;
		return true;
	}

private:
	TSharedPtr<FJsonObject> Value;
};
