# The icon, version and manifest resources of the Windows programs.
#
# zephra_windows_resources(target description [MANIFEST file])
# Compiles a resource script into the program `target`: the program's icon (made once per
# build from resources/icons/ with icotool, package icoutils), a VERSIONINFO with the
# project's version and `description` as the file's description, and the manifest
# (resource 1 of type 24; a program has one): zephra.manifest here unless another is given.
enable_language(RC)

find_program(ZEPHRA_ICOTOOL icotool)
if(NOT ZEPHRA_ICOTOOL)
  message(FATAL_ERROR "icotool is missing: install the package icoutils")
endif()
set(zephra_icon ${CMAKE_BINARY_DIR}/resources/zephra.ico)
set(zephra_icon_sizes 16x16 32x32 48x48 64x64 128x128)
set(zephra_icon_pngs)
foreach(size ${zephra_icon_sizes})
  list(APPEND zephra_icon_pngs ${PROJECT_SOURCE_DIR}/resources/icons/${size}/zephra.png)
endforeach()
set(zephra_icon_large ${PROJECT_SOURCE_DIR}/resources/icons/256x256/zephra.png)
# The sizes Windows picks from; 256 x 256 is stored as PNG, as Windows expects at that size.
add_custom_command(OUTPUT ${zephra_icon}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/resources
  COMMAND ${ZEPHRA_ICOTOOL} -c -o ${zephra_icon} ${zephra_icon_pngs} -r ${zephra_icon_large}
  DEPENDS ${zephra_icon_pngs} ${zephra_icon_large}
  COMMENT "Making the program icon" VERBATIM)
add_custom_target(zephra_windows_icon DEPENDS ${zephra_icon})

function(zephra_windows_resources target description)
  cmake_parse_arguments(ARG "" "MANIFEST" "" ${ARGN})
  set(zephra_program ${target})
  set(zephra_description ${description})
  if(NOT ARG_MANIFEST)
    set(ARG_MANIFEST ${PROJECT_SOURCE_DIR}/cmake/windows/zephra.manifest)
  endif()
  get_filename_component(manifest ${ARG_MANIFEST} ABSOLUTE)
  set(script ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/windows/program.rc.in ${script} @ONLY)
  target_sources(${target} PRIVATE ${script})
  set_source_files_properties(${script} PROPERTIES OBJECT_DEPENDS "${zephra_icon};${manifest}")
  add_dependencies(${target} zephra_windows_icon)
endfunction()
