# 32-bit Windows (the shipped build): see mingw.cmake.
set(zephra_mingw_arch i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
