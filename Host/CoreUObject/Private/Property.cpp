#include "UObject/Class.h"

#include "Misc/FrameRate.h"
#include "UObject/Object.h"
#include "UObject/UObjectHash.h"

#include <bit>
#include <charconv>
#include <cstring>
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

FString FormatDouble(double Value)
{
	char Buffer[64];
	const auto [End, Error] = std::to_chars(Buffer, Buffer + sizeof(Buffer), Value);
	return Error == std::errc() ? FString::FromUtf8(std::string_view(Buffer, static_cast<size_t>(End - Buffer))) : FString();
}

FString Quote(const FString& Text)
{
	return FString(TEXT("\"")) + Text + TEXT("\"");
}

/** The enumerator's value for a short or qualified name, in any letter case; -1 when none has it. */
int32 FindEnumerator(const FProperty& Property, const FString& Text)
{
	FString Word = Text.TrimStartAndEnd();
	const FString Qualifier = Property.CPPTypeName + TEXT("::");
	if (Word.StartsWith(Qualifier))
	{
		Word = Word.Mid(Qualifier.Len());
	}
	for (int32 Index = 0; Index < Property.EnumNames.Num(); ++Index)
	{
		if (Word.Equals(Property.EnumNames[Index], ESearchCase::IgnoreCase))
		{
			return Index;
		}
	}
	return -1;
}

/** "N/D" or "N", both positive decimal numbers. */
bool ParseFrameRate(const FString& Text, FFrameRate& OutRate)
{
	const std::string Utf8 = Text.TrimStartAndEnd().ToUtf8();
	const size_t Slash = Utf8.find('/');
	int32 Numerator = 0;
	int32 Denominator = 1;
	if (ParseNumber(FString::FromUtf8(Utf8.substr(0, Slash)), Numerator) != std::errc())
	{
		return false;
	}
	if (Slash != std::string::npos && ParseNumber(FString::FromUtf8(Utf8.substr(Slash + 1)), Denominator) != std::errc())
	{
		return false;
	}
	if (Numerator <= 0 || Denominator <= 0)
	{
		return false;
	}
	OutRate = FFrameRate(Numerator, Denominator);
	return true;
}

/** A class reference is a single class pointer, whatever class TSubclassOf restricts it to. */
UClass* ReadClass(const FProperty& Property, const UObject* Object)
{
	UClass* Class = nullptr;
	std::memcpy(&Class, Property.ContainerPtrToValuePtr<uint8>(Object), sizeof(Class));
	return Class;
}

/** "None" is null; otherwise a registered class of the property's class, by path name or name. */
bool ParseClass(const FProperty& Property, const FString& Text, UClass*& OutClass)
{
	const FString Word = Text.TrimStartAndEnd();
	if (Word.Equals(TEXT("None"), ESearchCase::IgnoreCase))
	{
		OutClass = nullptr;
		return true;
	}
	if (Property.PropertyClass == nullptr)
	{
		return false;
	}
	TArray<UClass*> Candidates;
	GetDerivedClasses(Property.PropertyClass, Candidates);
	Candidates.Add(Property.PropertyClass);
	for (UClass* Candidate : Candidates)
	{
		if (Word.Equals(Candidate->GetPathName(), ESearchCase::IgnoreCase) || Word.Equals(Candidate->GetName(), ESearchCase::IgnoreCase))
		{
			OutClass = Candidate;
			return true;
		}
	}
	return false;
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
	case EPropertyType::Double:
		return TEXT("double");
	case EPropertyType::FrameRate:
		return TEXT("FFrameRate");
	case EPropertyType::Enum:
	case EPropertyType::Class:
		return *CPPTypeName;
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
	case EPropertyType::Double:
		return FormatDouble(*ContainerPtrToValuePtr<double>(Object));
	case EPropertyType::Enum:
	{
		const uint8 Value = *ContainerPtrToValuePtr<uint8>(Object);
		return Value < EnumNames.Num() ? EnumNames[Value] : FString::FromInt(Value);
	}
	case EPropertyType::FrameRate:
	{
		const FFrameRate& Rate = *ContainerPtrToValuePtr<FFrameRate>(Object);
		return FString::FromInt(Rate.Numerator) + TEXT("/") + FString::FromInt(Rate.Denominator);
	}
	case EPropertyType::Class:
	{
		const UClass* Class = ReadClass(*this, Object);
		return Class != nullptr ? Class->GetPathName() : FString(TEXT("None"));
	}
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
	case EPropertyType::Double:
		if (const std::errc Result = ParseNumber(Text, *ContainerPtrToValuePtr<double>(Object), std::chars_format::general);
			Result != std::errc())
		{
			Error = Result == std::errc::result_out_of_range ? Quote(Text) + TEXT(" is outside the double range.")
															 : Quote(Text) + TEXT(" is not a number.");
		}
		break;
	case EPropertyType::Enum:
		if (const int32 Value = FindEnumerator(*this, Text); Value >= 0)
		{
			*ContainerPtrToValuePtr<uint8>(Object) = static_cast<uint8>(Value);
		}
		else
		{
			FString Names;
			for (const FString& Enumerator : EnumNames)
			{
				if (!Names.IsEmpty())
				{
					Names += TEXT(", ");
				}
				Names += Enumerator;
			}
			Error = Quote(Text) + TEXT(" is not a value of ") + CPPTypeName + TEXT(" (") + Names + TEXT(").");
		}
		break;
	case EPropertyType::FrameRate:
		if (!ParseFrameRate(Text, *ContainerPtrToValuePtr<FFrameRate>(Object)))
		{
			Error = Quote(Text) + TEXT(" is not a frame rate: use Numerator/Denominator, both positive (\"24/1\", \"30000/1001\").");
		}
		break;
	case EPropertyType::Class:
	{
		UClass* Class = nullptr;
		if (ParseClass(*this, Text, Class))
		{
			std::memcpy(ContainerPtrToValuePtr<uint8>(Object), &Class, sizeof(Class));
		}
		else
		{
			Error = Quote(Text) + TEXT(" is not None nor a class of ") + CPPTypeName + TEXT(".");
		}
		break;
	}
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
	case EPropertyType::Double:
	{
		double Value = 0.0;
		return ParseNumber(Text, Value, std::chars_format::general) == std::errc() &&
			std::bit_cast<uint64>(Value) == std::bit_cast<uint64>(*ContainerPtrToValuePtr<double>(Object));
	}
	case EPropertyType::Enum:
		return FindEnumerator(*this, Text) == *ContainerPtrToValuePtr<uint8>(Object);
	case EPropertyType::FrameRate:
	{
		FFrameRate Rate;
		return ParseFrameRate(Text, Rate) && Rate == *ContainerPtrToValuePtr<FFrameRate>(Object);
	}
	case EPropertyType::Class:
	{
		UClass* Class = nullptr;
		return ParseClass(*this, Text, Class) && Class == ReadClass(*this, Object);
	}
	}
	return false;
}
