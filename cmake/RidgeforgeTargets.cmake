# Shared helpers for the project's targets.

# Our own sources build with these warnings; RIDGEFORGE_WERROR (on in CI)
# makes them errors. Third-party headers come in as system headers and stay
# quiet. The libraries also warn on narrowing conversions; tests and
# benchmarks, which convert freely between sizes and counts, do not.
option(RIDGEFORGE_WERROR "Treat warnings in the project's own sources as errors" OFF)
function(ridgeforge_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow)
  if(RIDGEFORGE_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# Collects the .cpp files directly inside each listed folder.
function(ridgeforge_glob_sources out)
  set(files)
  foreach(dir IN LISTS ARGN)
    file(GLOB found CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/${dir}/*.cpp")
    list(APPEND files ${found})
  endforeach()
  list(SORT files)
  set(${out} ${files} PARENT_SCOPE)
endfunction()

# One library per layer, built from the .cpp files directly inside its
# folders, linking the layers it sits on (DEPENDS, passed on to its users) and
# what only its own sources need (PRIVATE). A layer whose folders hold no
# source yet is an INTERFACE library, so its users link it the same way before
# and after its first file arrives. A layer is static unless BUILD_SHARED_LIBS
# is on: the sanitizer build of the tests turns it on, since each of its
# hundreds of test executables would otherwise carry its own instrumented copy
# of every layer below it (tens of gigabytes in all).
function(ridgeforge_layer target)
  cmake_parse_arguments(arg "" "" "FOLDERS;DEPENDS;PRIVATE" ${ARGN})
  ridgeforge_glob_sources(sources ${arg_FOLDERS})
  if(sources)
    add_library(${target} ${sources})
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${target} PUBLIC ${arg_DEPENDS} PRIVATE ${arg_PRIVATE})
    ridgeforge_warnings(${target})
    target_compile_options(${target} PRIVATE -Wconversion)
  else()
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${target} INTERFACE ${arg_DEPENDS})
  endif()
endfunction()
