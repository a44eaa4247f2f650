# 64-bit Windows: see mingw.cmake.
set(zephra_mingw_arch x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
