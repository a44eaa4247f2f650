# zephra_require_files(FILES...)
# Stops the configuration when a file named for the build does not exist (paths relative to
# the calling folder): a typo in a list must fail loudly instead of dropping code or tests.
function(zephra_require_files)
  foreach(file ${ARGN})
    if(IS_ABSOLUTE "${file}")
      set(path "${file}")
    else()
      set(path "${CMAKE_CURRENT_SOURCE_DIR}/${file}")
    endif()
    if(NOT EXISTS "${path}")
      message(FATAL_ERROR "${path} is listed for the build but does not exist")
    endif()
  endforeach()
endfunction()

# zephra_layer_library(target [NO_UNITY] SOURCES... [LINKS...])
# One static library for a layer, from the files its folder names. With ZEPHRA_UNITY_LIBRARIES
# (the sanitizer builds of CI) its files are compiled a few at a time in one unit, which saves
# parsing the same headers again; NO_UNITY keeps a layer whose files cannot share a unit apart.
option(ZEPHRA_UNITY_LIBRARIES "Compile each layer library's files in batches" OFF)
function(zephra_layer_library target)
  cmake_parse_arguments(ARG "NO_UNITY" "" "SOURCES;LINKS" ${ARGN})
  if(NOT ARG_SOURCES)
    message(FATAL_ERROR "${target}: no sources listed")
  endif()
  zephra_require_files(${ARG_SOURCES})
  add_library(${target} STATIC ${ARG_SOURCES})
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${target} PUBLIC ${ARG_LINKS})
  if(ZEPHRA_UNITY_LIBRARIES AND NOT ARG_NO_UNITY)
    set_target_properties(${target} PROPERTIES UNITY_BUILD ON)
  endif()
endfunction()

# zephra_add_layers(LAYERS...): the folders of the build, in order; each must exist.
macro(zephra_add_layers)
  foreach(layer ${ARGN})
    if(NOT EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${layer}/CMakeLists.txt)
      message(FATAL_ERROR "layer ${layer} is listed for the build but has no CMakeLists.txt")
    endif()
    add_subdirectory(${layer})
  endforeach()
endmacro()
