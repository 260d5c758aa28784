# Cross-compiling for 64-bit Windows: the build the tests run on a machine
# that cannot start 32-bit programs.
set(VERRAND_MINGW_ARCH x86_64)
include("${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake")
