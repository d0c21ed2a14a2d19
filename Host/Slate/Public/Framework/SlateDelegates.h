// Stand-in for the engine's SlateDelegates.h: the events the stand-in widgets raise. No drag, key or menu events.
#pragma once

#include "CoreMinimal.h"
#include "Input/Reply.h"
#include "Types/SlateEnums.h"

DECLARE_DELEGATE_RetVal(FReply, FOnClicked);
DECLARE_DELEGATE_OneParam(FOnTextChanged, const FText&);
DECLARE_DELEGATE_TwoParams(FOnTextCommitted, const FText&, ETextCommit::Type);
DECLARE_DELEGATE_OneParam(FOnCheckStateChanged, ECheckBoxState);
