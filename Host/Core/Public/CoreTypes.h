// Stand-in for the engine's CoreTypes.h: fixed-width integers, TCHAR as UTF-16, TEXT(), check(). No platform layer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

using uint8 = std::uint8_t;
using uint16 = std::uint16_t;
using uint32 = std::uint32_t;
using uint64 = std::uint64_t;
using int8 = std::int8_t;
using int16 = std::int16_t;
using int32 = std::int32_t;
using int64 = std::int64_t;
using SIZE_T = std::size_t;

using TCHAR = char16_t;
using ANSICHAR = char;
using UTF8CHAR = char;

#define TEXT_PASTE(x) u##x
#define TEXT(x) TEXT_PASTE(x)

#define FORCEINLINE inline
#define UE_ARRAY_COUNT(Array) (sizeof(Array) / sizeof((Array)[0]))

enum
{
	INDEX_NONE = -1
};
#define DLLEXPORT __attribute__((visibility("default")))
#define CORE_API DLLEXPORT

struct CORE_API FDebug
{
	/** Reports a broken contract and aborts: the stand-in fails loudly where the engine would assert. */
	[[noreturn]] static void AssertFailed(const char* Expr, const char* File, int Line, const char* Message = nullptr);
};

#define check(expr) ((expr) ? void(0) : FDebug::AssertFailed(#expr, __FILE__, __LINE__))
#define checkf(expr, msg) ((expr) ? void(0) : FDebug::AssertFailed(#expr, __FILE__, __LINE__, msg))
#define checkNoEntry() FDebug::AssertFailed("unreachable", __FILE__, __LINE__)

template <typename T> [[nodiscard]] constexpr std::remove_reference_t<T>&& MoveTemp(T&& Obj) noexcept
{
	return static_cast<std::remove_reference_t<T>&&>(Obj);
}

template <typename T> [[nodiscard]] constexpr T&& Forward(std::remove_reference_t<T>& Obj) noexcept
{
	return static_cast<T&&>(Obj);
}
