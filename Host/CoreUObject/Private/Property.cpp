#include "UObject/Class.h"

#include "UObject/Object.h"

#include <bit>
#include <charconv>
#include <string>
#include <system_error>

namespace
{
bool ParseBool(const FString& Text, bool& OutValue)
{
	const FString Word = Text.TrimStartAndEnd();
	for (const TCHAR* True : {TEXT("True"), TEXT("Yes"), TEXT("On"), TEXT("1")})
	{
		if (Word == True)
		{
			OutValue = true;
			return true;
		}
	}
	for (const TCHAR* False : {TEXT("False"), TEXT("No"), TEXT("Off"), TEXT("0")})
	{
		if (Word == False)
		{
			OutValue = false;
			return true;
		}
	}
	return false;
}

/** std::from_chars over the trimmed text, with an optional '+' sign; the whole text must be the number. */
template <typename ValueType, typename... FormatTypes>
std::errc ParseNumber(const FString& Text, ValueType& OutValue, FormatTypes... Format)
{
	const std::string Utf8 = Text.TrimStartAndEnd().ToUtf8();
	const char* First = Utf8.data();
	const char* Last = First + Utf8.size();
	if (First != Last && *First == '+')
	{
		++First;
		if (First != Last && *First == '-')
		{
			return std::errc::invalid_argument;
		}
	}
	ValueType Value{};
	const auto [End, Error] = std::from_chars(First, Last, Value, Format...);
	if (Error != std::errc())
	{
		return Error;
	}
	if (End != Last)
	{
		return std::errc::invalid_argument;
	}
	OutValue = Value;
	return std::errc();
}

FString FormatFloat(float Value)
{
	char Buffer[64];
	const auto [End, Error] = std::to_chars(Buffer, Buffer + sizeof(Buffer), Value);
	return Error == std::errc() ? FString::FromUtf8(std::string_view(Buffer, static_cast<size_t>(End - Buffer))) : FString();
}

FString Quote(const FString& Text)
{
	return FString(TEXT("\"")) + Text + TEXT("\"");
}
} // namespace

const TCHAR* FProperty::GetCPPType() const
{
	switch (Type)
	{
	case EPropertyType::Bool:
		return TEXT("bool");
	case EPropertyType::Int32:
		return TEXT("int32");
	case EPropertyType::Float:
		return TEXT("float");
	case EPropertyType::String:
		return TEXT("FString");
	}
	return TEXT("");
}

FString FProperty::ExportText(const UObject* Object) const
{
	switch (Type)
	{
	case EPropertyType::Bool:
		return *ContainerPtrToValuePtr<bool>(Object) ? TEXT("True") : TEXT("False");
	case EPropertyType::Int32:
		return FString::FromInt(*ContainerPtrToValuePtr<int32>(Object));
	case EPropertyType::Float:
		return FormatFloat(*ContainerPtrToValuePtr<float>(Object));
	case EPropertyType::String:
		return *ContainerPtrToValuePtr<FString>(Object);
	}
	return FString();
}

bool FProperty::ImportText(const FString& Text, UObject* Object, FString* OutError) const
{
	FString Error;
	switch (Type)
	{
	case EPropertyType::Bool:
		if (!ParseBool(Text, *ContainerPtrToValuePtr<bool>(Object)))
		{
			Error = Quote(Text) + TEXT(" is not a bool: use True or False (Yes/No, On/Off and 1/0 are accepted too).");
		}
		break;
	case EPropertyType::Int32:
		if (const std::errc Result = ParseNumber(Text, *ContainerPtrToValuePtr<int32>(Object)); Result != std::errc())
		{
			Error = Result == std::errc::result_out_of_range
				? Quote(Text) + TEXT(" is outside the int32 range (-2147483648 to 2147483647).")
				: Quote(Text) + TEXT(" is not a whole decimal number.");
		}
		break;
	case EPropertyType::Float:
		if (const std::errc Result = ParseNumber(Text, *ContainerPtrToValuePtr<float>(Object), std::chars_format::general);
			Result != std::errc())
		{
			Error = Result == std::errc::result_out_of_range ? Quote(Text) + TEXT(" is outside the float range.")
															 : Quote(Text) + TEXT(" is not a number.");
		}
		break;
	case EPropertyType::String:
		*ContainerPtrToValuePtr<FString>(Object) = Text;
		break;
	}
	if (Error.IsEmpty())
	{
		return true;
	}
	if (OutError != nullptr)
	{
		*OutError = MoveTemp(Error);
	}
	return false;
}

bool FProperty::IdenticalToText(const UObject* Object, const FString& Text) const
{
	switch (Type)
	{
	case EPropertyType::Bool:
	{
		bool Value = false;
		return ParseBool(Text, Value) && Value == *ContainerPtrToValuePtr<bool>(Object);
	}
	case EPropertyType::Int32:
	{
		int32 Value = 0;
		return ParseNumber(Text, Value) == std::errc() && Value == *ContainerPtrToValuePtr<int32>(Object);
	}
	case EPropertyType::Float:
	{
		// Bit for bit: -0 and 0 differ, and a stored nan matches the same nan.
		float Value = 0.0f;
		return ParseNumber(Text, Value, std::chars_format::general) == std::errc() &&
			std::bit_cast<uint32>(Value) == std::bit_cast<uint32>(*ContainerPtrToValuePtr<float>(Object));
	}
	case EPropertyType::String:
		return ContainerPtrToValuePtr<FString>(Object)->Equals(Text, ESearchCase::CaseSensitive);
	}
	return false;
}
