# The MinGW-w64 cross build for the target MINGW_TARGET (i686 or x86_64),
# with the win32 thread model: the posix one links winpthread, which imports
# functions that Windows 95 and NT 4 do not have.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${MINGW_TARGET})
set(CMAKE_C_COMPILER ${MINGW_TARGET}-w64-mingw32-gcc-win32)
set(CMAKE_CXX_COMPILER ${MINGW_TARGET}-w64-mingw32-g++-win32)
set(CMAKE_RC_COMPILER ${MINGW_TARGET}-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TARGET}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
