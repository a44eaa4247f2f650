# zephra_layer_tests(LIBS... TESTS... QT_TESTS... ALONE...): each file, named <Unit>_test.cpp,
# becomes one test program linked to the given libraries and to tests/support: a GoogleTest one
# for TESTS, a Qt Test one for QT_TESTS. The tests of a program in ALONE (one of TESTS) run
# with no other test beside them, as timing figures must. Each test carries the layer's name
# as its CTest label, and the target tests_<layer> builds all of that layer's test programs
# (the sanitizer suites build and run only some layers). A listed file or library that is
# missing stops the configuration, and so does a test file of the folder that is not listed:
# no test is dropped silently.
function(zephra_layer_tests)
  cmake_parse_arguments(ARG "" "" "LIBS;TESTS;QT_TESTS;ALONE" ${ARGN})
  foreach(lib ${ARG_LIBS})
    if(NOT TARGET ${lib})
      message(FATAL_ERROR "${CMAKE_CURRENT_SOURCE_DIR}: the tests need ${lib}, which is not built")
    endif()
  endforeach()
  zephra_require_files(${ARG_TESTS} ${ARG_QT_TESTS})
  file(GLOB present RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
  foreach(file ${present})
    if(NOT file IN_LIST ARG_TESTS AND NOT file IN_LIST ARG_QT_TESTS)
      message(FATAL_ERROR "${CMAKE_CURRENT_SOURCE_DIR}/${file} is not listed in its CMakeLists.txt")
    endif()
  endforeach()

  set(libs ${ARG_LIBS} zephra_test_support)
  file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR}/tests ${CMAKE_CURRENT_SOURCE_DIR})
  string(REGEX REPLACE "/.*" "" layer "${folder}")
  if(NOT TARGET tests_${layer})
    add_custom_target(tests_${layer})
  endif()
  foreach(src ${ARG_TESTS} ${ARG_QT_TESTS})
    get_filename_component(name ${src} NAME_WE)
    if(NOT name MATCHES "^[A-Z][A-Za-z0-9]*_test$")
      message(FATAL_ERROR "${src}: a test file is named <CamelCaseUnit>_test.cpp")
    elseif(src IN_LIST ARG_QT_TESTS)
      zephra_add_qtest(${name} SOURCES ${src} LIBS ${libs} LABEL ${layer})
    elseif(src IN_LIST ARG_ALONE)
      zephra_add_gtest(${name} SOURCES ${src} LIBS ${libs} LABEL ${layer} RUN_SERIAL)
    else()
      zephra_add_gtest(${name} SOURCES ${src} LIBS ${libs} LABEL ${layer})
    endif()
    add_dependencies(tests_${layer} ${name})
  endforeach()
endfunction()
