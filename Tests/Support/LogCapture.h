#pragma once

#include "CoreMinimal.h"

#include <mutex>
#include <string>
#include <vector>

/** Captures log lines while it lives, so tests can assert on what was logged (and what was not). */
class FLogCapture : public FOutputDevice
{
public:
	struct FLine
	{
		std::string Category;
		ELogVerbosity::Type Verbosity;
		std::string Text;
	};

	FLogCapture() { GLog->AddOutputDevice(this); }
	~FLogCapture() override { GLog->RemoveOutputDevice(this); }

	void Serialize(const TCHAR* Text, ELogVerbosity::Type Verbosity, const FName& Category) override
	{
		std::lock_guard Lock(Mutex);
		Lines.push_back(FLine{Category.ToString().ToUtf8(), Verbosity, FString(Text).ToUtf8()});
	}

	std::vector<FLine> GetLines() const
	{
		std::lock_guard Lock(Mutex);
		return Lines;
	}
	int CountLines(const std::string& Category, const std::string& Text) const
	{
		std::lock_guard Lock(Mutex);
		int Count = 0;
		for (const FLine& Line : Lines)
		{
			Count += (Line.Category == Category && Line.Text == Text) ? 1 : 0;
		}
		return Count;
	}

private:
	mutable std::mutex Mutex;
	std::vector<FLine> Lines;
};
