// Module rules for the engine's build tool; the CMake build beside it mirrors these dependencies.
using UnrealBuildTool;

public class TavrixLiveLink : ModuleRules
{
	public TavrixLiveLink(ReadOnlyTargetRules Target) : base(Target)
	{
		PCHUsage = PCHUsageMode.UseExplicitOrSharedPCHs;

		PublicDependencyModuleNames.AddRange(new string[] { "Core", "CoreUObject" });

		PrivateDependencyModuleNames.AddRange(new string[]
		{
			"Json",
			"Sockets",
			"Networking",
			"LiveLinkInterface",
			"TakeRecorder",
			"TakesCore",
			"Slate",
			"SlateCore",
		});
	}
}
