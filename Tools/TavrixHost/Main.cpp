// tavrix-host: runs the TavrixLiveLink plug-in as the editor would, without the editor.
#include "EditorHost.h"
#include "HostOptions.h"
#include "SettingsCommand.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int ArgumentCount, char** Arguments)
{
	const std::vector<std::string> Args(Arguments + 1, Arguments + ArgumentCount);
	FHostOptions Options;
	std::string Error;
	if (!ParseHostOptions(Args, Options, Error))
	{
		std::fprintf(stderr, "tavrix-host: %s\n\n%s", Error.c_str(), GetHostUsage().c_str());
		return 2;
	}
	if (Options.bHelp)
	{
		std::fputs(GetHostUsage().c_str(), stdout);
		return 0;
	}
	return Options.bSettingsCommand ? RunSettingsCommand(Options) : RunEditorHost(Options);
}
