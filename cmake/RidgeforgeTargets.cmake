# Shared helpers for the project's targets.

function(ridgeforge_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
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
