// Stand-in for the engine's Live Link value types: subject keys, world time, metadata and the type-erased static
// and frame data containers. No interpolation, no subject settings.
#pragma once

#include "CoreMinimal.h"
#include "HAL/PlatformTime.h"
#include "UObject/Class.h"

#define LIVELINKINTERFACE_API DLLEXPORT

struct FLiveLinkSubjectKey
{
	FGuid Source;
	FName SubjectName;

	FLiveLinkSubjectKey() = default;
	FLiveLinkSubjectKey(const FGuid& InSource, FName InSubjectName)
		: Source(InSource)
		, SubjectName(InSubjectName)
	{
	}
	bool operator==(const FLiveLinkSubjectKey& Other) const { return Source == Other.Source && SubjectName == Other.SubjectName; }
	bool operator!=(const FLiveLinkSubjectKey& Other) const { return !(*this == Other); }
};

/** A subject's name alone, whichever source it comes from. */
struct FLiveLinkSubjectName
{
	FName Name;

	FLiveLinkSubjectName() = default;
	FLiveLinkSubjectName(FName InName)
		: Name(InName)
	{
	}
	bool operator==(const FLiveLinkSubjectName& Other) const { return Name == Other.Name; }
	bool operator!=(const FLiveLinkSubjectName& Other) const { return !(*this == Other); }
	FString ToString() const { return Name.ToString(); }
};

inline uint32 GetTypeHash(const FLiveLinkSubjectKey& Key)
{
	return GetTypeHash(Key.Source) * 31u + GetTypeHash(Key.SubjectName);
}

/**
 * World time of a frame: when it was produced on the source's clock, and the offset from that clock to the engine's
 * (FPlatformTime::Seconds). Evaluation compares frames by the time alone.
 */
struct FLiveLinkWorldTime
{
	/** Now, on the engine's clock. */
	FLiveLinkWorldTime()
		: Time(FPlatformTime::Seconds())
		, Offset(0.0)
	{
	}
	FLiveLinkWorldTime(double InTime)
		: Time(InTime)
		, Offset(0.0)
	{
	}
	explicit FLiveLinkWorldTime(double InTime, double InOffset)
		: Time(InTime)
		, Offset(InOffset)
	{
	}

	double GetOffsettedTime() const { return Time + Offset; }

private:
	/** The client orders and blends frames by the raw source time, as the engine's does. */
	friend class FLiveLinkClient;

	double Time;
	double Offset;
};

struct FLiveLinkMetaData
{
	TMap<FName, FString> StringMetaData;
	/** As in the engine, frame 0 at 24 frames per second: a frame never given a scene time cannot be told apart. */
	FQualifiedFrameTime SceneTime;
};

struct LIVELINKINTERFACE_API FLiveLinkBaseStaticData
{
	DECLARE_STRUCT(FLiveLinkBaseStaticData)
	virtual ~FLiveLinkBaseStaticData() = default;
	TArray<FName> PropertyNames;
};

struct LIVELINKINTERFACE_API FLiveLinkBaseFrameData
{
	DECLARE_STRUCT(FLiveLinkBaseFrameData)
	virtual ~FLiveLinkBaseFrameData() = default;
	FLiveLinkWorldTime WorldTime;
	FLiveLinkMetaData MetaData;
	TArray<float> PropertyValues;
};

/**
 * An owned record of a struct type known only at run time, created from the type's StaticStruct with the type's
 * defaults. Move-only: pushing a record to the client hands it over.
 */
template <typename BaseType> class TLiveLinkDataStruct
{
public:
	TLiveLinkDataStruct() = default;
	explicit TLiveLinkDataStruct(UScriptStruct* InStruct) { InitializeWith(InStruct); }
	TLiveLinkDataStruct(TLiveLinkDataStruct&& Other) noexcept
		: Struct(Other.Struct)
		, Memory(MoveTemp(Other.Memory))
	{
		Other.Struct = nullptr;
	}
	TLiveLinkDataStruct& operator=(TLiveLinkDataStruct&& Other) noexcept
	{
		if (this != &Other)
		{
			Reset();
			Struct = Other.Struct;
			Memory = MoveTemp(Other.Memory);
			Other.Struct = nullptr;
		}
		return *this;
	}
	TLiveLinkDataStruct(const TLiveLinkDataStruct&) = delete;
	TLiveLinkDataStruct& operator=(const TLiveLinkDataStruct&) = delete;
	~TLiveLinkDataStruct() { Reset(); }

	void InitializeWith(UScriptStruct* InStruct)
	{
		check(InStruct != nullptr && InStruct->IsChildOf(BaseType::StaticStruct()));
		Reset();
		Struct = InStruct;
		// operator new[] aligns for every fundamental type, which is all a record holds.
		Memory.reset(new uint8[Struct->GetOps().Size]);
		Struct->GetOps().Construct(Memory.get());
	}
	/** A deep copy, for the client's own bookkeeping. */
	TLiveLinkDataStruct Clone() const
	{
		TLiveLinkDataStruct Copy;
		if (IsValid())
		{
			Copy.InitializeWith(Struct);
			Struct->GetOps().Copy(Copy.Memory.get(), Memory.get());
		}
		return Copy;
	}
	void Reset()
	{
		if (Struct != nullptr)
		{
			Struct->GetOps().Destruct(Memory.get());
			Memory.reset();
			Struct = nullptr;
		}
	}

	bool IsValid() const { return Struct != nullptr; }
	UScriptStruct* GetStruct() const { return Struct; }
	BaseType* GetBaseData() { return reinterpret_cast<BaseType*>(Memory.get()); }
	const BaseType* GetBaseData() const { return reinterpret_cast<const BaseType*>(Memory.get()); }
	/** Null unless the record is of type T or derived from it. */
	template <typename T> T* Cast()
	{
		return IsValid() && Struct->IsChildOf(T::StaticStruct()) ? reinterpret_cast<T*>(Memory.get()) : nullptr;
	}
	template <typename T> const T* Cast() const
	{
		return IsValid() && Struct->IsChildOf(T::StaticStruct()) ? reinterpret_cast<const T*>(Memory.get()) : nullptr;
	}

private:
	UScriptStruct* Struct = nullptr;
	std::unique_ptr<uint8[]> Memory;
};

using FLiveLinkStaticDataStruct = TLiveLinkDataStruct<FLiveLinkBaseStaticData>;
using FLiveLinkFrameDataStruct = TLiveLinkDataStruct<FLiveLinkBaseFrameData>;

/** What a subject evaluates to: its static data and one frame. */
struct FLiveLinkSubjectFrameData
{
	FLiveLinkStaticDataStruct StaticData;
	FLiveLinkFrameDataStruct FrameData;
};
