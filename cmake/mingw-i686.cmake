# Cross build of the program that ships: 32-bit Windows.
set(MINGW_TARGET i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
