# Shared part of the MinGW-w64 toolchain files; include it after setting
# BREVONIX_MINGW_TRIPLET (x86_64-w64-mingw32 or i686-w64-mingw32).
#
# Compilers: the "-win32" thread-model variant is preferred (Brevonix starts no threads, and
# this variant needs no winpthread library), then the "-posix" variant, then the plain name
# (Debian's alternative, or another distribution's only name). Set BREVONIX_MINGW_ROOT to
# search a MinGW-w64 installation outside PATH first.
if(NOT BREVONIX_MINGW_TRIPLET)
  message(FATAL_ERROR "BREVONIX_MINGW_TRIPLET must be set before including mingw-w64-common.cmake")
endif()

set(CMAKE_SYSTEM_NAME Windows)
if(BREVONIX_MINGW_TRIPLET MATCHES "^x86_64")
  set(CMAKE_SYSTEM_PROCESSOR AMD64)
else()
  set(CMAKE_SYSTEM_PROCESSOR x86)
endif()

# try_compile projects re-read this file; pass the triplet (and root) on to them.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES BREVONIX_MINGW_TRIPLET BREVONIX_MINGW_ROOT)

set(_brevonix_mingw_hints)
if(BREVONIX_MINGW_ROOT)
  list(APPEND _brevonix_mingw_hints "${BREVONIX_MINGW_ROOT}/bin")
endif()

find_program(BREVONIX_MINGW_CXX
  NAMES ${BREVONIX_MINGW_TRIPLET}-g++-win32 ${BREVONIX_MINGW_TRIPLET}-g++-posix
        ${BREVONIX_MINGW_TRIPLET}-g++
  HINTS ${_brevonix_mingw_hints}
  REQUIRED)
find_program(BREVONIX_MINGW_CC
  NAMES ${BREVONIX_MINGW_TRIPLET}-gcc-win32 ${BREVONIX_MINGW_TRIPLET}-gcc-posix
        ${BREVONIX_MINGW_TRIPLET}-gcc
  HINTS ${_brevonix_mingw_hints})
find_program(BREVONIX_MINGW_RC NAMES ${BREVONIX_MINGW_TRIPLET}-windres HINTS ${_brevonix_mingw_hints})

set(CMAKE_CXX_COMPILER "${BREVONIX_MINGW_CXX}")
if(BREVONIX_MINGW_CC)
  set(CMAKE_C_COMPILER "${BREVONIX_MINGW_CC}")
endif()
if(BREVONIX_MINGW_RC)
  set(CMAKE_RC_COMPILER "${BREVONIX_MINGW_RC}")
endif()

# Look for headers and libraries in the target's sysroot only; run programs from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${BREVONIX_MINGW_TRIPLET})
if(BREVONIX_MINGW_ROOT)
  list(APPEND CMAKE_FIND_ROOT_PATH "${BREVONIX_MINGW_ROOT}" "${BREVONIX_MINGW_ROOT}/${BREVONIX_MINGW_TRIPLET}")
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Static runtime: libgcc, libstdc++ (and winpthread, if the posix compiler is the one found)
# are linked into the executable, so it runs without any MinGW DLL beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")
