# Cross build of the same sources for 64-bit Windows, to run in a 64-bit Wine
# on a machine that cannot execute 32-bit code. A test vehicle; the program
# that ships is the 32-bit one.
set(MINGW_TARGET x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
