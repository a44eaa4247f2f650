# Cross-build for Windows with Debian's mingw-w64 (posix thread model: std::thread and
# std::mutex through winpthreads), for the processor zephra_mingw_arch names. Every program
# is linked statically: one .exe, no DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${zephra_mingw_arch})
set(CMAKE_C_COMPILER ${zephra_mingw_arch}-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER ${zephra_mingw_arch}-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER ${zephra_mingw_arch}-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${zephra_mingw_arch}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
