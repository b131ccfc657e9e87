# SPDX-License-Identifier: GPL-3.0-or-later
# tidyfox_subsystem(<target> DEPS <libs...> [EXCLUDE <files...>])
# A static library of every .cpp and .h in the calling folder, so that new
# files join their subsystem without editing its list.
function(tidyfox_subsystem target)
  cmake_parse_arguments(S "" "" "DEPS;EXCLUDE" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp" "${CMAKE_CURRENT_SOURCE_DIR}/*.h")
  foreach(ex ${S_EXCLUDE})
    list(REMOVE_ITEM sources "${CMAKE_CURRENT_SOURCE_DIR}/${ex}")
  endforeach()
  add_library(${target} STATIC ${sources})
  set_target_properties(${target} PROPERTIES LINKER_LANGUAGE CXX)
  target_include_directories(${target} PUBLIC "${CMAKE_SOURCE_DIR}/src")
  target_link_libraries(${target} PUBLIC ${S_DEPS} PRIVATE tidyfox_warnings)
endfunction()
