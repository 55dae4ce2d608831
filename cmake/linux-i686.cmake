# A 32-bit Linux build on a 64-bit machine (g++-multilib): the data model of
# the 32-bit Windows program (32-bit pointers and size_t, 64-bit file
# offsets), tested where 32-bit Windows programs cannot start. Its tests run
# under qemu-i386.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_FLAGS_INIT -m32)
set(CMAKE_CXX_FLAGS_INIT -m32)
set(CMAKE_EXE_LINKER_FLAGS_INIT -m32)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-i386)
