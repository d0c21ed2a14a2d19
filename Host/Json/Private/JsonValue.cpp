#include "Dom/JsonObject.h"
#include "Dom/JsonValue.h"

#include <charconv>
#include <cmath>
#include <limits>

const TArray<TSharedPtr<FJsonValue>>& FJsonValue::AsArray() const
{
	static const TArray<TSharedPtr<FJsonValue>> Empty;
	return Empty;
}

const TSharedPtr<FJsonObject>& FJsonValue::AsObject() const
{
	static const TSharedPtr<FJsonObject> Null;
	return Null;
}

FString FJsonValueNumber::AsString() const
{
	char Buffer[32];
	const std::to_chars_result Result = std::to_chars(Buffer, Buffer + sizeof(Buffer), Value);
	return FString::FromUtf8(std::string_view(Buffer, static_cast<size_t>(Result.ptr - Buffer)));
}

double FJsonValueString::AsNumber() const
{
	// Only a text that is wholly a decimal number counts; from_chars alone would also take "inf" and "nan".
	const int32 Length = Value.Len();
	if (Length == 0 || Length > 64 || !(Value[0] == u'-' || FChar::IsDigit(Value[0])))
	{
		return 0.0;
	}
	char Buffer[64];
	for (int32 Index = 0; Index < Length; ++Index)
	{
		const TCHAR Character = Value[Index];
		if (Character > 0x7f)
		{
			return 0.0;
		}
		Buffer[Index] = static_cast<char>(Character);
	}
	double Number = 0.0;
	const std::from_chars_result Result = std::from_chars(Buffer, Buffer + Length, Number);
	if (Result.ec != std::errc() || Result.ptr != Buffer + Length || !std::isfinite(Number))
	{
		return 0.0;
	}
	return Number;
}

const FJsonValue* FJsonObject::FindField(const FString& FieldName) const
{
	for (const FJsonObjectMember& Member : Values)
	{
		if (Member.Key.Equals(FieldName, ESearchCase::IgnoreCase))
		{
			return Member.Value.Get();
		}
	}
	return nullptr;
}

TSharedPtr<FJsonValue> FJsonObject::TryGetField(const FString& FieldName) const
{
	for (const FJsonObjectMember& Member : Values)
	{
		if (Member.Key.Equals(FieldName, ESearchCase::IgnoreCase))
		{
			return Member.Value;
		}
	}
	return nullptr;
}

void FJsonObject::SetField(const FString& FieldName, const TSharedPtr<FJsonValue>& Value)
{
	for (FJsonObjectMember& Member : Values)
	{
		if (Member.Key.Equals(FieldName, ESearchCase::IgnoreCase))
		{
			Member.Value = Value;
			return;
		}
	}
	Values.Add(FJsonObjectMember{FieldName, Value});
}

bool FJsonObject::TryGetArrayField(const FString& FieldName, const TArray<TSharedPtr<FJsonValue>>*& OutArray) const
{
	const FJsonValue* Field = FindField(FieldName);
	if (Field == nullptr || Field->Type != EJson::Array)
	{
		return false;
	}
	OutArray = &Field->AsArray();
	return true;
}

bool FJsonObject::TryGetNumberField(const FString& FieldName, double& OutNumber) const
{
	const FJsonValue* Field = FindField(FieldName);
	return Field != nullptr && Field->TryGetNumber(OutNumber);
}

bool FJsonObject::TryGetNumberField(const FString& FieldName, int32& OutNumber) const
{
	double Number = 0.0;
	if (!TryGetNumberField(FieldName, Number))
	{
		return false;
	}
	if (std::isnan(Number))
	{
		OutNumber = 0;
	}
	else if (Number >= 2147483647.0)
	{
		OutNumber = std::numeric_limits<int32>::max();
	}
	else if (Number <= -2147483648.0)
	{
		OutNumber = std::numeric_limits<int32>::min();
	}
	else
	{
		OutNumber = static_cast<int32>(Number);
	}
	return true;
}

bool FJsonObject::TryGetStringField(const FString& FieldName, FString& OutString) const
{
	const FJsonValue* Field = FindField(FieldName);
	return Field != nullptr && Field->TryGetString(OutString);
}

bool FJsonObject::TryGetBoolField(const FString& FieldName, bool& OutBool) const
{
	const FJsonValue* Field = FindField(FieldName);
	return Field != nullptr && Field->TryGetBool(OutBool);
}

bool FJsonObject::TryGetObjectField(const FString& FieldName, const TSharedPtr<FJsonObject>*& OutObject) const
{
	const FJsonValue* Field = FindField(FieldName);
	if (Field == nullptr || Field->Type != EJson::Object)
	{
		return false;
	}
	OutObject = &Field->AsObject();
	return true;
}

FString FJsonObject::GetStringField(const FString& FieldName) const
{
	const FJsonValue* Field = FindField(FieldName);
	return Field != nullptr ? Field->AsString() : FString();
}
