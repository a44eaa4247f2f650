# The tests of the pure layers as Windows programs. GoogleTest comes from Debian's sources
# (package googletest), built with the cross compiler; each test program is one CTest test,
# run through CMAKE_CROSSCOMPILING_EMULATOR (Wine) when the build sets it.
set(googletest_source /usr/src/googletest)
if(NOT EXISTS ${googletest_source}/CMakeLists.txt)
  message(FATAL_ERROR "GoogleTest's sources are missing: install the package googletest")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
# Its own code is not held to our warning flags.
set_property(DIRECTORY PROPERTY COMPILE_OPTIONS "")
add_subdirectory(${googletest_source} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
add_compile_options(-Wall -Wextra -Werror) # back for our tests

# The POSIX helpers of tests/support (pseudo-terminals, child processes) have no place here;
# the header-only helpers the pure tests include are reached through the source root.
add_library(zephra_test_support INTERFACE)
target_include_directories(zephra_test_support INTERFACE ${PROJECT_SOURCE_DIR})
target_link_libraries(zephra_test_support INTERFACE GTest::gtest)

function(zephra_add_gtest name)
  cmake_parse_arguments(ARG "RUN_SERIAL" "LABEL" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gmock GTest::gtest_main)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES TIMEOUT 300 LABELS "${ARG_LABEL}"
    RUN_SERIAL "${ARG_RUN_SERIAL}")
endfunction()

include(${PROJECT_SOURCE_DIR}/tests/layer_tests.cmake)
foreach(folder protocol link terminal cli/files windows framework/win32)
  add_subdirectory(${PROJECT_SOURCE_DIR}/tests/${folder} ${CMAKE_BINARY_DIR}/tests/${folder})
endforeach()

# zephra-cli.exe and the serial component against simulated modules under Wine (the emulator);
# skipped with a message without the Linux build's simulator or scripts/windows' ioctl library.
if(CMAKE_CROSSCOMPILING_EMULATOR)
  set(ZEPHRA_SIM_PROGRAM ${PROJECT_SOURCE_DIR}/build/simulator/zephra-sim
      CACHE FILEPATH "The Linux build's zephra-sim, for the Windows tests under Wine")
  set(ZEPHRA_WINE_PTY_IOCTL ${CMAKE_BINARY_DIR}/../wine-pty-ioctl.so
      CACHE FILEPATH "The library preloaded into Wine for a pseudo-terminal as a COM port")
  add_test(NAME windows-sim
    COMMAND bash ${PROJECT_SOURCE_DIR}/tests/windows/sim-under-wine.sh ${CMAKE_CROSSCOMPILING_EMULATOR}
      $<TARGET_FILE:zephra-cli> $<TARGET_FILE:ComPortEcho> $<TARGET_FILE:WindowScenarios>
      ${ZEPHRA_SIM_PROGRAM}
      ${ZEPHRA_WINE_PTY_IOCTL})
  set_tests_properties(windows-sim PROPERTIES TIMEOUT 300 SKIP_RETURN_CODE 77 LABELS windows)
endif()
