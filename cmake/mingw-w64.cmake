# Cross-compiles for Windows with Debian's MinGW-w64 compilers (the -posix
# ones, whose C++ threads the serial component needs). The architecture is
# x86_64 unless TARVEL_MINGW_ARCH says i686. Programs run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
if(NOT DEFINED TARVEL_MINGW_ARCH)
  set(TARVEL_MINGW_ARCH "$ENV{TARVEL_MINGW_ARCH}")
endif()
if(NOT TARVEL_MINGW_ARCH)
  set(TARVEL_MINGW_ARCH x86_64)
endif()
set(CMAKE_SYSTEM_PROCESSOR ${TARVEL_MINGW_ARCH})
set(triple ${TARVEL_MINGW_ARCH}-w64-mingw32)
set(CMAKE_C_COMPILER ${triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
set(CMAKE_RC_COMPILER ${triple}-windres)
# The cross-built libraries: the compilers' own, those that
# scripts/test-windows.sh builds from Debian's source packages, and the Qt
# that scripts/build-mingw-qt.sh builds.
# Normalised: a package's own absolute paths under a root must match it.
get_filename_component(tarvel_build "${CMAKE_CURRENT_LIST_DIR}/../build" ABSOLUTE)
set(CMAKE_FIND_ROOT_PATH /usr/${triple} ${tarvel_build}/mingw-deps/${TARVEL_MINGW_ARCH}
    ${tarvel_build}/mingw-qt/install)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# One executable without the MinGW runtime DLLs beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
if(TARVEL_MINGW_ARCH STREQUAL "x86_64")
  set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
endif()
