#include "JsonLine.h"

#include "TavrixCameraMessage.h"

#include <charconv>
#include <cmath>

namespace
{
template <typename NumberType> std::string ShortestNumber(NumberType Value)
{
	// JSON has no infinities or NaN: they become null, which a reader can tell apart from any number.
	if (!std::isfinite(Value))
	{
		return "null";
	}
	char Buffer[64];
	const std::to_chars_result Result = std::to_chars(Buffer, Buffer + sizeof(Buffer), Value);
	return std::string(Buffer, Result.ptr);
}
} // namespace

void FJsonLine::BeginMember(std::string_view Name)
{
	if (Text.size() > 1)
	{
		Text.push_back(',');
	}
	Text += Quote(Name);
	Text.push_back(':');
}

FJsonLine& FJsonLine::Add(std::string_view Name, std::string_view Value)
{
	BeginMember(Name);
	Text += Quote(Value);
	return *this;
}

FJsonLine& FJsonLine::Add(std::string_view Name, bool bValue)
{
	BeginMember(Name);
	Text += bValue ? "true" : "false";
	return *this;
}

FJsonLine& FJsonLine::Add(std::string_view Name, long long Value)
{
	BeginMember(Name);
	Text += std::to_string(Value);
	return *this;
}

FJsonLine& FJsonLine::Add(std::string_view Name, unsigned long long Value)
{
	BeginMember(Name);
	Text += std::to_string(Value);
	return *this;
}

FJsonLine& FJsonLine::Add(std::string_view Name, double Value)
{
	BeginMember(Name);
	Text += Number(Value);
	return *this;
}

FJsonLine& FJsonLine::Add(std::string_view Name, float Value)
{
	BeginMember(Name);
	Text += Number(Value);
	return *this;
}

FJsonLine& FJsonLine::AddRaw(std::string_view Name, std::string_view Json)
{
	BeginMember(Name);
	Text += Json;
	return *this;
}

std::string FJsonLine::Quote(std::string_view Utf8)
{
	// The sender's escaping: plain ASCII out, everything else as \u escapes, so any reader gets the text back.
	std::string Out;
	TavrixSend::AppendJsonString(Out, Utf8);
	return Out;
}

std::string FJsonLine::Number(double Value)
{
	return ShortestNumber(Value);
}

std::string FJsonLine::Number(float Value)
{
	return ShortestNumber(Value);
}

std::string FJsonLine::FloatArray(const float* Values, int Count)
{
	std::string Out = "[";
	for (int Index = 0; Index < Count; ++Index)
	{
		if (Index > 0)
		{
			Out.push_back(',');
		}
		Out += Number(Values[Index]);
	}
	Out.push_back(']');
	return Out;
}
