#include "ReflectionTestTypes.h"
#include "UObject/UObjectHash.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace
{
std::vector<std::string> PropertyNames(const TArray<const FProperty*>& Properties)
{
	std::vector<std::string> Names;
	for (const FProperty* Property : Properties)
	{
		Names.push_back(Property->Name.ToString().ToUtf8());
	}
	return Names;
}

const FProperty& RequireProperty(const UClass* Class, const char* Name)
{
	const FProperty* Property = Class->FindPropertyByName(FName(Name));
	EXPECT_NE(Property, nullptr) << Name;
	static const FProperty Missing;
	return Property != nullptr ? *Property : Missing;
}
} // namespace

TEST(ReflectedClassMetadata, ClassIdentityComesFromItsDeclaration)
{
	const UClass* Class = UReflectionTestSettings::StaticClass();

	EXPECT_EQ(Class->GetName().ToUtf8(), "ReflectionTestSettings");
	EXPECT_EQ(Class->GetPathName().ToUtf8(), "/Script/ReflectionTests.ReflectionTestSettings");
	EXPECT_EQ(FString(UReflectionTestSettings::StaticPackage()).ToUtf8(), "/Script/ReflectionTests");
	EXPECT_EQ(FString(UReflectionTestSettings::StaticConfigName()).ToUtf8(), "Game");
	EXPECT_EQ(Class->GetConfigName().ToUtf8(), "Game");
	EXPECT_TRUE(Class->HasAnyClassFlags(CLASS_Config));
	EXPECT_TRUE(Class->HasAnyClassFlags(CLASS_DefaultConfig));
	EXPECT_FALSE(Class->HasAnyClassFlags(CLASS_Abstract));
	EXPECT_EQ(Class->GetSuperClass(), UObject::StaticClass());
	EXPECT_EQ(Class->GetToolTipText().ToString().ToUtf8(), "Settings used by the reflection tests.");
}

TEST(ReflectedClassMetadata, PropertiesKeepDeclarationOrderTypesAndFlags)
{
	const UClass* Class = UReflectionTestSettings::StaticClass();

	EXPECT_EQ(PropertyNames(Class->GetAllProperties()), (std::vector<std::string>{"Address", "Port", "bEnabled", "Gain", "Hidden"}));
	EXPECT_EQ(RequireProperty(Class, "Address").Type, EPropertyType::String);
	EXPECT_EQ(RequireProperty(Class, "Port").Type, EPropertyType::Int32);
	EXPECT_EQ(RequireProperty(Class, "bEnabled").Type, EPropertyType::Bool);
	EXPECT_EQ(RequireProperty(Class, "Gain").Type, EPropertyType::Float);
	EXPECT_EQ(RequireProperty(Class, "Address").Flags, uint32(CPF_Config | CPF_Edit));
	EXPECT_EQ(RequireProperty(Class, "bEnabled").Flags, uint32(CPF_Config | CPF_Edit | CPF_EditConst));
	EXPECT_EQ(RequireProperty(Class, "Gain").Flags, uint32(CPF_Edit));
	EXPECT_EQ(RequireProperty(Class, "Hidden").Flags, uint32(CPF_Config));
}

TEST(ReflectedClassMetadata, MetadataKeepsEveryCharacterOfTheLiterals)
{
	const UClass* Class = UReflectionTestSettings::StaticClass();

	EXPECT_EQ(RequireProperty(Class, "Address").GetMetaData(TEXT("Category")).ToUtf8(), "Network");
	EXPECT_EQ(RequireProperty(Class, "Address").GetToolTipText().ToString().ToUtf8(), "Address to listen on");
	EXPECT_EQ(RequireProperty(Class, "Port").GetToolTipText().ToString().ToUtf8(), "Say \"hi\" to C:\\Temp // not a comment");
	EXPECT_EQ(RequireProperty(Class, "Port").GetMetaData(TEXT("ClampMin")).ToUtf8(), "0");
	EXPECT_EQ(RequireProperty(Class, "Port").GetMetaData(TEXT("ClampMax")).ToUtf8(), "65535");
	EXPECT_EQ(RequireProperty(Class, "bEnabled").GetMetaData(TEXT("Category")).ToUtf8(), "Flags");
	EXPECT_EQ(RequireProperty(Class, "Gain").GetToolTipText().ToString().ToUtf8(), "Joined literals");
	EXPECT_FALSE(RequireProperty(Class, "Hidden").HasMetaData(TEXT("ToolTip")));
}

TEST(ReflectedClassMetadata, OffsetsReachTheDeclaredMembers)
{
	std::unique_ptr<UReflectionTestSettings> Object(NewObject<UReflectionTestSettings>());
	const UClass* Class = Object->GetClass();

	*RequireProperty(Class, "Address").ContainerPtrToValuePtr<FString>(Object.get()) = TEXT("10.1.2.3");
	*RequireProperty(Class, "Port").ContainerPtrToValuePtr<int32>(Object.get()) = 5000;
	*RequireProperty(Class, "bEnabled").ContainerPtrToValuePtr<bool>(Object.get()) = false;
	*RequireProperty(Class, "Gain").ContainerPtrToValuePtr<float>(Object.get()) = 0.25f;
	*RequireProperty(Class, "Hidden").ContainerPtrToValuePtr<int32>(Object.get()) = -3;

	EXPECT_EQ(Object->Address.ToUtf8(), "10.1.2.3");
	EXPECT_EQ(Object->Port, 5000);
	EXPECT_FALSE(Object->bEnabled);
	EXPECT_EQ(Object->Gain, 0.25f);
	EXPECT_EQ(Object->GetHidden(), -3);
}

TEST(ReflectedClassMetadata, TextThatOnlyLooksLikeDeclarationsIsNotReflected)
{
	const UClass* Class = UReflectionTestSettings::StaticClass();

	for (const char* Name : {"InBlockComment", "InLineComment", "InString", "NotReflected"})
	{
		EXPECT_EQ(Class->FindPropertyByName(FName(Name)), nullptr) << Name;
	}
}

TEST(ReflectedClassMetadata, SubclassesInheritPropertiesFlagsAndConfiguration)
{
	const UClass* Base = UReflectionTestBase::StaticClass();
	const UClass* Derived = UReflectionTestDerived::StaticClass();

	EXPECT_TRUE(Derived->IsChildOf(Base));
	EXPECT_EQ(PropertyNames(Derived->GetAllProperties()), (std::vector<std::string>{"BaseValue", "DerivedText"}));
	EXPECT_TRUE(Derived->HasAnyClassFlags(CLASS_Config));
	EXPECT_EQ(Derived->GetConfigName().ToUtf8(), "Engine");
	EXPECT_TRUE(Base->HasAnyClassFlags(CLASS_Abstract));
	EXPECT_FALSE(Derived->HasAnyClassFlags(CLASS_Abstract));
	EXPECT_EQ(Base->CreateObject().get(), nullptr);
	const std::unique_ptr<UObject> Instance = Derived->CreateObject();
	ASSERT_NE(Instance, nullptr);
	EXPECT_EQ(static_cast<UReflectionTestDerived*>(Instance.get())->DerivedText.ToUtf8(), "derived");
	EXPECT_EQ(Instance->GetClass(), Derived);
}

TEST(ReflectedClassMetadata, ClassesAreRegisteredWhenTheirModuleLoads)
{
	// Looked up before anything in this test asks a class for itself: registration must not wait for that.
	TArray<UClass*> Found;
	GetDerivedClasses(UObject::StaticClass(), Found);
	std::vector<std::string> Names;
	for (const UClass* Class : Found)
	{
		Names.push_back(Class->GetName().ToUtf8());
	}

	for (const char* Name : {"ReflectionTestSettings", "ReflectionTestBase", "ReflectionTestDerived"})
	{
		EXPECT_NE(std::find(Names.begin(), Names.end(), Name), Names.end()) << Name;
	}
	EXPECT_EQ(std::find(Names.begin(), Names.end(), "Object"), Names.end());
}

TEST(ReflectedClassMetadata, DirectChildrenExcludeGrandchildren)
{
	TArray<UClass*> Children;
	GetDerivedClasses(UObject::StaticClass(), Children, false);

	EXPECT_TRUE(Children.Contains(UReflectionTestBase::StaticClass()));
	EXPECT_FALSE(Children.Contains(UReflectionTestDerived::StaticClass()));
}
