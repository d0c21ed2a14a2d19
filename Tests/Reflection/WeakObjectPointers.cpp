#include "ReflectionTestTypes.h"
#include "UObject/WeakObjectPtr.h"

#include <gtest/gtest.h>

#include <memory>
#include <new>

TEST(WeakObjectPointers, ReadsTheObjectWhileItLives)
{
	std::unique_ptr<UReflectionTestSettings> Object(NewObject<UReflectionTestSettings>());
	const TWeakObjectPtr<UReflectionTestSettings> Weak(Object.get());
	const TWeakObjectPtr<UObject> AsBase(Weak);

	EXPECT_EQ(Weak.Get(), Object.get());
	EXPECT_EQ(AsBase.Get(), Object.get());
	EXPECT_TRUE(AsBase == TWeakObjectPtr<UObject>(Object.get()));
	EXPECT_EQ(Weak->Port, 9001);
}

TEST(WeakObjectPointers, ReadsNullOnceTheObjectIsDestroyed)
{
	std::unique_ptr<UReflectionTestSettings> Object(NewObject<UReflectionTestSettings>());
	const TWeakObjectPtr<UObject> Weak(Object.get());

	Object.reset();

	EXPECT_FALSE(Weak.IsValid());
	EXPECT_EQ(Weak.Get(), nullptr);
}

TEST(WeakObjectPointers, DoesNotFollowAnAddressReusedByAnotherObject)
{
	alignas(UReflectionTestSettings) unsigned char Storage[sizeof(UReflectionTestSettings)];
	UReflectionTestSettings* First = ::new (Storage) UReflectionTestSettings();
	const TWeakObjectPtr<UObject> Weak(First);
	First->~UReflectionTestSettings();

	UReflectionTestSettings* Second = ::new (Storage) UReflectionTestSettings();
	ASSERT_EQ(static_cast<void*>(Second), static_cast<void*>(First));

	EXPECT_EQ(Weak.Get(), nullptr);
	EXPECT_EQ(TWeakObjectPtr<UObject>(Second).Get(), Second);
	Second->~UReflectionTestSettings();
}

TEST(WeakObjectPointers, EmptyReferencesAreInvalid)
{
	EXPECT_FALSE(TWeakObjectPtr<UObject>().IsValid());
	EXPECT_FALSE(TWeakObjectPtr<UObject>(nullptr).IsValid());
	EXPECT_TRUE(TWeakObjectPtr<UObject>() == TWeakObjectPtr<UObject>(nullptr));
}
