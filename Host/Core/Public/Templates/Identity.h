// Stand-in for the engine's TIdentity: names a type where it must not be deduced. Nothing else of the header.
#pragma once

template <typename T> struct TIdentity
{
	using Type = T;
};
