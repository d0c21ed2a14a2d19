#include "TakeMetaData.h"

#include "TakeRecorderHost.h"
#include "TakeRecorderThread.h"

#include <algorithm>

IMPLEMENT_CLASS(UTakeMetaData, "TakeMetaData", "/Script/TakesCore")

void UTakeMetaData::SetSlate(FString InSlate, bool bEmitChanged)
{
	CheckTakeRecorderGameThread();
	if (bIsLocked)
	{
		return;
	}
	Slate = MoveTemp(InSlate);
	if (bEmitChanged)
	{
		FTakeRecorderHost::OnTakeSlateChanged().Broadcast(Slate, this);
	}
}

void UTakeMetaData::SetTakeNumber(int32 InTakeNumber, bool bEmitChanged)
{
	CheckTakeRecorderGameThread();
	if (bIsLocked)
	{
		return;
	}
	TakeNumber = std::max(InTakeNumber, 1);
	if (bEmitChanged)
	{
		FTakeRecorderHost::OnTakeNumberChanged().Broadcast(TakeNumber, this);
	}
}
