# The engine's build tool gives a module the include paths of exactly the modules its Build.cs lists (and, as it
# does, of their public dependencies). The CMake build reads the same lists, so that a header of a module the
# Build.cs leaves out is not found here either.

# tavrix_read_module_rules(<BuildCs> <OutPublic> <OutPrivate>)
#
# Sets <OutPublic> and <OutPrivate> to the names in PublicDependencyModuleNames and PrivateDependencyModuleNames
# (.Add("Name") and .AddRange(new string[] { "Name", ... }) calls). Editing the file re-runs the configuration.
function(tavrix_read_module_rules BuildCs OutPublic OutPrivate)
	set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${BuildCs})
	file(READ ${BuildCs} Rules)
	# A commented-out module is not a dependency.
	string(REGEX REPLACE "//[^\n]*" "" Rules "${Rules}")
	foreach(Kind IN ITEMS Public Private)
		set(Modules "")
		string(REGEX MATCHALL "${Kind}DependencyModuleNames[ \t\r\n]*\\.[ \t\r\n]*Add(Range)?[ \t\r\n]*\\([^;]*\\)" Calls "${Rules}")
		foreach(Call IN LISTS Calls)
			string(REGEX MATCHALL "\"[^\"]*\"" Names "${Call}")
			foreach(Name IN LISTS Names)
				string(REPLACE "\"" "" Name "${Name}")
				list(APPEND Modules ${Name})
			endforeach()
		endforeach()
		list(REMOVE_DUPLICATES Modules)
		set(${Kind}Modules ${Modules})
	endforeach()
	if(NOT PublicModules AND NOT PrivateModules)
		message(FATAL_ERROR "${BuildCs}: no PublicDependencyModuleNames or PrivateDependencyModuleNames found")
	endif()
	set(${OutPublic} ${PublicModules} PARENT_SCOPE)
	set(${OutPrivate} ${PrivateModules} PARENT_SCOPE)
endfunction()

# tavrix_link_module_rules(<Target> <BuildCs> [ALL_MODULES <OutVar>])
#
# Links <Target> to the stand-in of every engine module its Build.cs lists: public dependencies PUBLIC, private ones
# PRIVATE. Every listed module must have a stand-in target Host::<Name>. ALL_MODULES receives every stand-in target,
# for code that reaches into the module's private headers (its tests).
function(tavrix_link_module_rules Target BuildCs)
	cmake_parse_arguments(ARG "" "ALL_MODULES" "" ${ARGN})
	tavrix_read_module_rules(${BuildCs} PublicModules PrivateModules)
	set(AllTargets "")
	foreach(Scope IN ITEMS PUBLIC PRIVATE)
		if(Scope STREQUAL "PUBLIC")
			set(Modules ${PublicModules})
		else()
			set(Modules ${PrivateModules})
		endif()
		foreach(Module IN LISTS Modules)
			if(NOT TARGET Host::${Module})
				message(FATAL_ERROR "${BuildCs} lists the engine module ${Module}, which no stand-in module under Host/ provides")
			endif()
			target_link_libraries(${Target} ${Scope} Host::${Module})
			list(APPEND AllTargets Host::${Module})
		endforeach()
	endforeach()
	if(ARG_ALL_MODULES)
		set(${ARG_ALL_MODULES} ${AllTargets} PARENT_SCOPE)
	endif()
endfunction()
