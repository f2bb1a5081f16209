# Cross toolchain for 32-bit Windows: i686 MinGW-w64 (Debian g++-mingw-w64-i686,
# binutils-mingw-w64-i686). The default variant uses Win32 threads, so nothing
# pulls in libwinpthread; set TALVOR_MINGW_SUFFIX=-posix to use the other one.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(TALVOR_MINGW_PREFIX i686-w64-mingw32)
if(NOT DEFINED TALVOR_MINGW_SUFFIX)
  set(TALVOR_MINGW_SUFFIX "")
endif()

set(CMAKE_C_COMPILER ${TALVOR_MINGW_PREFIX}-gcc${TALVOR_MINGW_SUFFIX})
set(CMAKE_CXX_COMPILER ${TALVOR_MINGW_PREFIX}-g++${TALVOR_MINGW_SUFFIX})
set(CMAKE_RC_COMPILER ${TALVOR_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TALVOR_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config, where a project asks it, sees the target's packages only, never
# the build machine's (whose headers would not fit this compiler).
set(ENV{PKG_CONFIG_LIBDIR} /usr/${TALVOR_MINGW_PREFIX}/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")
