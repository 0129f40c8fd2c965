# orvane_add_library(<name> SHARED|STATIC [HIDDEN] DIR <folder> DEPS <targets...>)
#
# Builds every .cpp below <folder> into one library. A folder without sources
# yet becomes an interface library, so that dependents link unchanged.
function(orvane_add_library name type)
  cmake_parse_arguments(ARG "HIDDEN" "DIR" "DEPS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${ARG_DIR}/*.cpp)
  if(NOT sources)
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
    return()
  endif()
  add_library(${name} ${type} ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  if(ARG_HIDDEN)
    set_target_properties(${name} PROPERTIES CXX_VISIBILITY_PRESET hidden
                                             VISIBILITY_INLINES_HIDDEN ON)
  endif()
endfunction()
