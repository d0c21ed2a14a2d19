# Warnings are part of the build contract: every target of the project opts in.
function(tavrix_warnings Target)
	target_compile_options(${Target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor
		-Wno-gnu-zero-variadic-macro-arguments)
	if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
		target_compile_options(${Target} PRIVATE -Wno-unknown-pragmas)
	endif()
endfunction()

# One stand-in engine module: a shared library named after the engine module,
# with its headers at Public/ so includes read as they do in an engine plug-in.
# DEPENDS are its public dependencies (their headers reach whoever includes its
# own, as in the engine), PRIVATE_DEPENDS what only its sources use.
function(tavrix_engine_module Name)
	cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS;PRIVATE_DEPENDS" ${ARGN})
	add_library(${Name} SHARED ${ARG_SOURCES})
	add_library(Host::${Name} ALIAS ${Name})
	target_include_directories(${Name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/Public)
	target_link_libraries(${Name} PUBLIC ${ARG_DEPENDS} PRIVATE ${ARG_PRIVATE_DEPENDS})
	tavrix_warnings(${Name})
	tavrix_engine_module_testing(${Name})
endfunction()

# What only the stand-in has (test hooks, the host's wiring) sits in the module's Testing/ folder, apart from the
# engine's headers in Public/: tests and tools reach it through Host::Testing, the plug-in (which links only the
# modules its Build.cs lists) never does.
function(tavrix_engine_module_testing Name)
	if(NOT EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/Testing)
		return()
	endif()
	target_include_directories(${Name} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/Testing)
	add_library(${Name}Testing INTERFACE)
	add_library(Host::${Name}Testing ALIAS ${Name}Testing)
	target_include_directories(${Name}Testing INTERFACE ${CMAKE_CURRENT_SOURCE_DIR}/Testing)
	target_link_libraries(${Name}Testing INTERFACE Host::${Name})
	set_property(GLOBAL APPEND PROPERTY TAVRIX_TESTING_TARGETS Host::${Name}Testing)
endfunction()

# An engine module whose headers have a folder of their own (Public/) while the stand-in builds its code into the
# library of the module that uses it (SlateCore's into Slate's): an interface target under the engine module's name,
# so that a Build.cs listing it finds exactly its headers. IMPLEMENTED_IN names that library; it exposes these headers
# publicly, as the engine's module does through its public dependency.
function(tavrix_engine_module_headers Name)
	cmake_parse_arguments(ARG "" "IMPLEMENTED_IN" "DEPENDS" ${ARGN})
	add_library(${Name} INTERFACE)
	add_library(Host::${Name} ALIAS ${Name})
	target_include_directories(${Name} INTERFACE ${CMAKE_CURRENT_SOURCE_DIR}/Public)
	target_link_libraries(${Name} INTERFACE ${ARG_DEPENDS} $<LINK_ONLY:${ARG_IMPLEMENTED_IN}>)
endfunction()
