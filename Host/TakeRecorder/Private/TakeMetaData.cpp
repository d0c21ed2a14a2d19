#include "TakeMetaData.h"

#include "TakeRecorderThread.h"

IMPLEMENT_CLASS(UTakeMetaData, "TakeMetaData", "/Script/TakesCore")

void UTakeMetaData::SetSlate(FString InSlate, bool bEmitChanged)
{
	CheckTakeRecorderGameThread();
	Slate = MoveTemp(InSlate);
	if (bEmitChanged)
	{
		OnTakeSlateChanged().Broadcast(Slate, this);
	}
}

void UTakeMetaData::SetTakeNumber(int32 InTakeNumber, bool bEmitChanged)
{
	CheckTakeRecorderGameThread();
	TakeNumber = InTakeNumber;
	if (bEmitChanged)
	{
		OnTakeNumberChanged().Broadcast(TakeNumber, this);
	}
}

FOnTakeSlateChanged& UTakeMetaData::OnTakeSlateChanged()
{
	static FOnTakeSlateChanged Event;
	return Event;
}

FOnTakeNumberChanged& UTakeMetaData::OnTakeNumberChanged()
{
	static FOnTakeNumberChanged Event;
	return Event;
}
