// Stand-in for the engine's FRunnable: the body of a thread. No single-thread fallback is ever used by the stand-in.
#pragma once

#include "CoreTypes.h"

class FSingleThreadRunnable;

class CORE_API FRunnable
{
public:
	virtual ~FRunnable() = default;

	virtual bool Init() { return true; }
	virtual uint32 Run() = 0;
	virtual void Stop() {}
	virtual void Exit() {}
	virtual FSingleThreadRunnable* GetSingleThreadInterface() { return nullptr; }
};
