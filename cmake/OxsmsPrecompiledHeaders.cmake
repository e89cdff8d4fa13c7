# Precompiled headers: the standard and library headers most of the code
# includes are parsed once per target instead of once per file, which is the
# larger part of a file's compile time. The test executables, built with the
# same flags, share one (tests/CMakeLists.txt).
option(OXSMS_PRECOMPILED_HEADERS "Precompile the headers most files include" ON)

set(OXSMS_COMMON_HEADERS
  <algorithm> <chrono> <cstdint> <filesystem> <functional> <map> <memory> <optional>
  <set> <sstream> <string> <string_view> <unordered_map> <vector>
  <nlohmann/json.hpp> <soci/soci.h>)

# Gives each library and executable defined in `dir` and the folders below it
# the common headers, unless it has precompiled headers of its own.
function(oxsms_precompile_directory dir)
  if(NOT OXSMS_PRECOMPILED_HEADERS)
    return()
  endif()
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target ${targets})
    get_target_property(type ${target} TYPE)
    get_target_property(own ${target} PRECOMPILE_HEADERS)
    get_target_property(reused ${target} PRECOMPILE_HEADERS_REUSE_FROM)
    if((type STREQUAL "STATIC_LIBRARY" OR type STREQUAL "EXECUTABLE") AND NOT own AND NOT reused)
      target_precompile_headers(${target} PRIVATE ${OXSMS_COMMON_HEADERS})
    endif()
  endforeach()
  get_property(folders DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(folder ${folders})
    oxsms_precompile_directory(${folder})
  endforeach()
endfunction()
