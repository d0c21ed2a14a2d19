#include "Dom/JsonObject.h"
#include "Dom/JsonValue.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

DEFINE_LOG_CATEGORY_STATIC(LogJson, Log, All);

namespace
{
const TCHAR* KindName(EJson Kind)
{
	switch (Kind)
	{
	case EJson::Null:
		return TEXT("Null");
	case EJson::String:
		return TEXT("String");
	case EJson::Number:
		return TEXT("Number");
	case EJson::Boolean:
		return TEXT("Boolean");
	case EJson::Array:
		return TEXT("Array");
	case EJson::Object:
		return TEXT("Object");
	default:
		return TEXT("None");
	}
}

/** What a value that is not an object reads as: like the engine's, one shared empty object rather than null. */
const TSharedPtr<FJsonObject>& SharedEmptyObject()
{
	static const TSharedPtr<FJsonObject> Empty = MakeShared<FJsonObject>();
	return Empty;
}
} // namespace

void FJsonValue::LogConversionError(const TCHAR* AskedType) const
{
	UE_LOG(LogJson, Error, TEXT("Json Value of type '%s' used as a '%s'."), KindName(Type), AskedType);
}

double FJsonValue::AsNumber() const
{
	double Number = 0.0;
	if (!TryGetNumber(Number))
	{
		LogConversionError(TEXT("Number"));
	}
	return Number;
}

FString FJsonValue::AsString() const
{
	FString String;
	if (!TryGetString(String))
	{
		LogConversionError(TEXT("String"));
	}
	return String;
}

bool FJsonValue::AsBool() const
{
	bool Bool = false;
	if (!TryGetBool(Bool))
	{
		LogConversionError(TEXT("Boolean"));
	}
	return Bool;
}

const TArray<TSharedPtr<FJsonValue>>& FJsonValue::AsArray() const
{
	static const TArray<TSharedPtr<FJsonValue>> Empty;
	const TArray<TSharedPtr<FJsonValue>>* Array = &Empty;
	if (!TryGetArray(Array))
	{
		LogConversionError(TEXT("Array"));
	}
	return *Array;
}

const TSharedPtr<FJsonObject>& FJsonValue::AsObject() const
{
	const TSharedPtr<FJsonObject>* Object = &SharedEmptyObject();
	if (!TryGetObject(Object))
	{
		LogConversionError(TEXT("Object"));
	}
	return *Object;
}

bool FJsonValue::TryGetNumber(int32& OutNumber) const
{
	double Number = 0.0;
	if (!TryGetNumber(Number))
	{
		return false;
	}
	checkf(Number > -2147483649.0 && Number < 2147483648.0, "a number outside the int32 range read as an int32 (undefined in the engine)");
	OutNumber = static_cast<int32>(Number);
	return true;
}

bool FJsonValueNumber::TryGetString(FString& OutString) const
{
	char Buffer[32];
	const std::to_chars_result Result = std::to_chars(Buffer, Buffer + sizeof(Buffer), Value);
	OutString = FString::FromUtf8(std::string_view(Buffer, static_cast<size_t>(Result.ptr - Buffer)));
	return true;
}

bool FJsonValueString::TryGetNumber(double& OutNumber) const
{
	// The engine's test: an optional sign, then only digits and at most one point (so no exponent); then read as the
	// C runtime reads a double.
	int32 Index = Value.Len() > 0 && (Value[0] == u'-' || Value[0] == u'+') ? 1 : 0;
	bool bPoint = false;
	for (; Index < Value.Len(); ++Index)
	{
		if (Value[Index] == u'.' && !bPoint)
		{
			bPoint = true;
		}
		else if (!FChar::IsDigit(Value[Index]))
		{
			return false;
		}
	}
	OutNumber = std::strtod(Value.ToUtf8().c_str(), nullptr);
	return true;
}

bool FJsonValueString::TryGetBool(bool& OutBool) const
{
	double Number = 0.0;
	OutBool = Value.Equals(TEXT("true"), ESearchCase::IgnoreCase) || Value.Equals(TEXT("yes"), ESearchCase::IgnoreCase) ||
		Value.Equals(TEXT("on"), ESearchCase::IgnoreCase) || (TryGetNumber(Number) && Number != 0.0);
	return true;
}

const FJsonObjectMember* FJsonObject::FindMember(const FString& FieldName) const
{
	for (const FJsonObjectMember& Member : Values)
	{
		if (Member.Key.Equals(FieldName, ESearchCase::IgnoreCase))
		{
			return &Member;
		}
	}
	return nullptr;
}

const FJsonValue* FJsonObject::FindValue(const FString& FieldName) const
{
	const FJsonObjectMember* Member = FindMember(FieldName);
	return Member != nullptr ? Member->Value.Get() : nullptr;
}

TSharedPtr<FJsonValue> FJsonObject::TryGetField(const FString& FieldName) const
{
	const FJsonObjectMember* Member = FindMember(FieldName);
	return Member != nullptr ? Member->Value : nullptr;
}

void FJsonObject::SetField(const FString& FieldName, const TSharedPtr<FJsonValue>& Value)
{
	if (const FJsonObjectMember* Member = FindMember(FieldName))
	{
		// Replaced where it stands, its name too.
		const_cast<FJsonObjectMember&>(*Member) = FJsonObjectMember{FieldName, Value};
		return;
	}
	Values.Add(FJsonObjectMember{FieldName, Value});
}

bool FJsonObject::TryGetArrayField(const FString& FieldName, const TArray<TSharedPtr<FJsonValue>>*& OutArray) const
{
	const FJsonValue* Field = FindValue(FieldName);
	return Field != nullptr && Field->TryGetArray(OutArray);
}

bool FJsonObject::TryGetNumberField(const FString& FieldName, double& OutNumber) const
{
	const FJsonValue* Field = FindValue(FieldName);
	return Field != nullptr && Field->TryGetNumber(OutNumber);
}

bool FJsonObject::TryGetNumberField(const FString& FieldName, int32& OutNumber) const
{
	const FJsonValue* Field = FindValue(FieldName);
	return Field != nullptr && Field->TryGetNumber(OutNumber);
}

bool FJsonObject::TryGetStringField(const FString& FieldName, FString& OutString) const
{
	const FJsonValue* Field = FindValue(FieldName);
	return Field != nullptr && Field->TryGetString(OutString);
}

bool FJsonObject::TryGetBoolField(const FString& FieldName, bool& OutBool) const
{
	const FJsonValue* Field = FindValue(FieldName);
	return Field != nullptr && Field->TryGetBool(OutBool);
}

bool FJsonObject::TryGetObjectField(const FString& FieldName, const TSharedPtr<FJsonObject>*& OutObject) const
{
	const FJsonValue* Field = FindValue(FieldName);
	return Field != nullptr && Field->TryGetObject(OutObject);
}

FString FJsonObject::GetStringField(const FString& FieldName) const
{
	const FJsonValue* Field = FindValue(FieldName);
	return Field != nullptr ? Field->AsString() : FString();
}
