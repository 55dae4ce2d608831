# Cross build for 32-bit Windows (x86) with MinGW-w64.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

# 32-bit programs cannot start on the build machines, so there is no
# emulator: this build is compiled and linked only.
