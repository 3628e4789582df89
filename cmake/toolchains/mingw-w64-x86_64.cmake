# Cross-compiling Brevonix for 64-bit Windows with MinGW-w64 (Debian: g++-mingw-w64-x86-64).
#
#   cmake -S . -B build/win64 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-w64-x86_64.cmake
#   cmake --build build/win64
#
# The executable is linked with a static runtime, so it needs no MinGW DLLs: only the
# Windows system libraries (kernel32, user32, gdi32, opengl32, winmm, msvcrt).
set(BREVONIX_MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
