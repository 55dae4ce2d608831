# What both MinGW-w64 cross builds share; mingw-x86_64.cmake and
# mingw-i686.cmake set MINGW_PREFIX and the processor, then include this.
# The -posix compilers use the winpthreads thread model; the default ones
# have no std::mutex or std::thread, which GoogleTest and the tests need.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_PREFIX}-windres)

# Look for headers and libraries in the cross sysroot only, programs on the
# build machine only.
set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
