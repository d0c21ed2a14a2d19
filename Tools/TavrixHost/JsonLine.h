#pragma once

#include <string>
#include <string_view>

/**
 * One JSON object written as a single line, member by member. Numbers are printed in their shortest form that reads
 * back to the same value: a float as a float, a double as a double.
 */
class FJsonLine
{
public:
	FJsonLine() { Text.push_back('{'); }

	FJsonLine& Add(std::string_view Name, std::string_view Value);
	FJsonLine& Add(std::string_view Name, const char* Value) { return Add(Name, std::string_view(Value)); }
	FJsonLine& Add(std::string_view Name, bool bValue);
	FJsonLine& Add(std::string_view Name, long long Value);
	FJsonLine& Add(std::string_view Name, int Value) { return Add(Name, static_cast<long long>(Value)); }
	FJsonLine& Add(std::string_view Name, unsigned long long Value);
	FJsonLine& Add(std::string_view Name, double Value);
	FJsonLine& Add(std::string_view Name, float Value);
	/** A member whose value is already JSON text (an array, an object, null). */
	FJsonLine& AddRaw(std::string_view Name, std::string_view Json);

	/** The object, closed, without a line terminator. */
	std::string Finish() const { return Text + "}"; }

	static std::string Quote(std::string_view Utf8);
	static std::string Number(double Value);
	static std::string Number(float Value);
	/** "[a,b,c]" from floats. */
	static std::string FloatArray(const float* Values, int Count);

private:
	void BeginMember(std::string_view Name);

	std::string Text;
};
