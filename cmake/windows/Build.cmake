# The Windows build (included by the top-level CMakeLists.txt when cross-building): the same
# layers over the system's own Win32 functions, without Qt and libjpeg, and the tests that run
# as Windows programs (under Wine here: scripts/windows).
add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 __USE_MINGW_ANSI_STDIO=1)
find_package(Threads REQUIRED)
include(${PROJECT_SOURCE_DIR}/cmake/ZephraLayer.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/Resources.cmake)

# The window's layout as a table, for the window on Win32's own controls.
include(${PROJECT_SOURCE_DIR}/cmake/LayoutTable.cmake)
zephra_layout_table()
zephra_add_layers(platform framework serial protocol link terminal cli app)

if(ZEPHRA_TESTS)
  enable_testing()
  include(${CMAKE_CURRENT_LIST_DIR}/Tests.cmake)
endif()

# The Win32 receive box's flood figure (a benchmark: it prints, nothing runs it in the tests).
add_executable(win32_receive_flood ${PROJECT_SOURCE_DIR}/bench/win32_receive_flood.cpp)
target_link_libraries(win32_receive_flood PRIVATE zephra_win32)
# The Windows test tab flooded through a pty (bench/win32-terminal-flood.sh runs it).
add_executable(win32_terminal_flood ${PROJECT_SOURCE_DIR}/bench/win32_terminal_flood.cpp)
target_link_libraries(win32_terminal_flood PRIVATE zephra_window zephra_win32)
