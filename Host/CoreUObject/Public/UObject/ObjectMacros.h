// Stand-in for the engine's ObjectMacros.h: UCLASS, UPROPERTY, GENERATED_BODY. No reflected functions, structs, enums.
#pragma once

// The markers compile to nothing; the header tool reads them (and refuses the ones it does not reflect).
#define UCLASS(...)
#define UPROPERTY(...)
#define UFUNCTION(...)
#define USTRUCT(...)
#define UENUM(...)
#define UMETA(...)

// GENERATED_BODY() on line N of a reflected header becomes <CURRENT_FILE_ID>_N_GENERATED_BODY. Both are defined by
// the header's .generated.h, which redefines CURRENT_FILE_ID and therefore must be the header's last include.
#define BODY_MACRO_COMBINE_INNER(A, B, C, D) A##B##C##D
#define BODY_MACRO_COMBINE(A, B, C, D) BODY_MACRO_COMBINE_INNER(A, B, C, D)
#define GENERATED_BODY(...) BODY_MACRO_COMBINE(CURRENT_FILE_ID, _, __LINE__, _GENERATED_BODY)

/** The registration the header tool generates for TClass; a friend of the class, so private properties register too. */
template <class TClass> struct TClassReflection;
