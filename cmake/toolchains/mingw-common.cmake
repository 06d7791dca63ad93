# What the two mingw-w64 toolchains share; each sets BREVANTO_MINGW_ARCH
# (i686 or x86_64) and includes this file.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${BREVANTO_MINGW_ARCH})
# The posix thread model: the C++ thread library (which GoogleTest needs) is
# missing from the win32 one. Everything links statically, winpthread too.
set(CMAKE_C_COMPILER ${BREVANTO_MINGW_ARCH}-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER ${BREVANTO_MINGW_ARCH}-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER ${BREVANTO_MINGW_ARCH}-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${BREVANTO_MINGW_ARCH}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
