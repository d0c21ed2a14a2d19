// Stand-in for the engine's TUniquePtr: std::unique_ptr under the engine's names.
#pragma once

#include <memory>

template <class T> using TUniquePtr = std::unique_ptr<T>;

template <class T, class... ArgTypes> TUniquePtr<T> MakeUnique(ArgTypes&&... Args)
{
	return std::make_unique<T>(std::forward<ArgTypes>(Args)...);
}
