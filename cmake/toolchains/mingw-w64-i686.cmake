# Cross-compiling Brevonix for 32-bit Windows with MinGW-w64 (Debian: g++-mingw-w64-i686).
#
#   cmake -S . -B build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-w64-i686.cmake
#   cmake --build build/win32
#
# The executable is linked with a static runtime, so it needs no MinGW DLLs: only the
# Windows system libraries (kernel32, user32, gdi32, opengl32, winmm, msvcrt).
set(BREVONIX_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
