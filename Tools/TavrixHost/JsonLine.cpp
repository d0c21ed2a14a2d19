#include "JsonLine.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace
{
template <typename NumberType>
std::string ShortestNumber(NumberType Value)
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
	std::string Out;
	Out.reserve(Utf8.size() + 2);
	Out.push_back('"');
	for (const char Character : Utf8)
	{
		const unsigned char Byte = static_cast<unsigned char>(Character);
		switch (Character)
		{
		case '"':
			Out += "\\\"";
			break;
		case '\\':
			Out += "\\\\";
			break;
		case '\n':
			Out += "\\n";
			break;
		case '\r':
			Out += "\\r";
			break;
		case '\t':
			Out += "\\t";
			break;
		default:
			if (Byte < 0x20 || Byte == 0x7f)
			{
				char Escape[8];
				std::snprintf(Escape, sizeof(Escape), "\\u%04x", Byte);
				Out += Escape;
			}
			else
			{
				Out.push_back(Character);
			}
		}
	}
	Out.push_back('"');
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
