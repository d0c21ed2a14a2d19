#pragma once

#include "Framework/SlateUser.h"
#include "Misc/Paths.h"
#include "STavrixLiveLinkSourceFactory.h"
#include "TavrixLiveLinkRuntimeSettings.h"
#include "Widgets/Input/SCheckBox.h"
#include "Widgets/Input/SEditableTextBox.h"

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

/** A fresh project folder that is the current project while it lives; the settings go back to their defaults. */
class FScopedProject
{
public:
	FScopedProject()
		: Dir(std::filesystem::temp_directory_path() / ("tavrix-project-" + std::to_string(::getpid()) + "-" + std::to_string(Counter++)))
	{
		std::filesystem::create_directories(Dir);
		PreviousDir = FPaths::ProjectDir();
		FPaths::SetProjectDir(FString::FromUtf8(Dir.string()));
		ResetSettings();
	}
	~FScopedProject()
	{
		ResetSettings();
		FPaths::SetProjectDir(PreviousDir);
		std::error_code Ignored;
		std::filesystem::remove_all(Dir, Ignored);
	}

	std::filesystem::path ConfigFile() const { return Dir / "Config" / "DefaultGame.ini"; }
	void WriteConfig(const std::string& Text) const
	{
		std::filesystem::create_directories(Dir / "Config");
		std::ofstream(ConfigFile(), std::ios::binary) << Text;
	}
	std::string ReadConfig() const
	{
		std::ifstream Stream(ConfigFile(), std::ios::binary);
		return std::string(std::istreambuf_iterator<char>(Stream), std::istreambuf_iterator<char>());
	}

	static UTavrixLiveLinkRuntimeSettings* Settings() { return GetMutableDefault<UTavrixLiveLinkRuntimeSettings>(); }
	static void ResetSettings()
	{
		const UTavrixLiveLinkRuntimeSettings Defaults;
		UTavrixLiveLinkRuntimeSettings* Current = Settings();
		Current->NetworkServerAddressByDefault = Defaults.NetworkServerAddressByDefault;
		Current->NetworkPortIdByDefault = Defaults.NetworkPortIdByDefault;
		Current->bAutoLens = Defaults.bAutoLens;
		Current->bAutoSceneTakeUpdate = Defaults.bAutoSceneTakeUpdate;
		Current->bAutoRecord = Defaults.bAutoRecord;
	}

	std::filesystem::path Dir;

private:
	FString PreviousDir;
	static inline int Counter = 0;
};

/** A creation panel and the widgets a user would touch, found by their labels. */
struct FPanelUnderTest
{
	explicit FPanelUnderTest(FOnTavrixSourceChoice OnOk = FOnTavrixSourceChoice())
		: Panel(SNew(STavrixLiveLinkSourceFactory).OnOk(OnOk))
		, Endpoint(FSlateUser::FindEditableTextBoxByLabel(Panel, TEXT("Network Address:Port")))
		, AutoLens(FSlateUser::FindCheckBoxByLabel(Panel, TEXT("Auto Lens Update")))
		, AutoSceneTake(FSlateUser::FindCheckBoxByLabel(Panel, TEXT("Auto Scene/Take")))
		, AutoRecord(FSlateUser::FindCheckBoxByLabel(Panel, TEXT("Auto Record")))
	{
	}

	std::string EndpointText() const { return Endpoint->GetText().ToString().ToUtf8(); }
	FReply ClickOk() const { return FSlateUser::Click(FSlateUser::FindButton(Panel, TEXT("Ok")).ToSharedRef()); }

	TSharedRef<STavrixLiveLinkSourceFactory> Panel;
	TSharedPtr<SEditableTextBox> Endpoint;
	TSharedPtr<SCheckBox> AutoLens;
	TSharedPtr<SCheckBox> AutoSceneTake;
	TSharedPtr<SCheckBox> AutoRecord;
};
