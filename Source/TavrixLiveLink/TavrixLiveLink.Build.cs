// Module rules for the engine's build tool. The CMake build reads its dependency lists, so it mirrors them exactly.
using UnrealBuildTool;

public class TavrixLiveLink : ModuleRules
{
	public TavrixLiveLink(ReadOnlyTargetRules Target) : base(Target)
	{
		PCHUsage = PCHUsageMode.UseExplicitOrSharedPCHs;
		// The engine compiles a module as C++14 unless it asks for more; these sources are written in C++17.
		CppStandard = CppStandardVersion.Cpp17;

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
			"Settings",
		});
	}
}
