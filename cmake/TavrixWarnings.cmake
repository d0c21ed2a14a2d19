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
function(tavrix_engine_module Name)
	cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS" ${ARGN})
	add_library(${Name} SHARED ${ARG_SOURCES})
	add_library(Host::${Name} ALIAS ${Name})
	target_include_directories(${Name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/Public)
	target_link_libraries(${Name} PUBLIC ${ARG_DEPENDS})
	tavrix_warnings(${Name})
endfunction()
