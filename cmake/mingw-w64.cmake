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
# scripts/test-windows.sh builds from Debian's source packages into the build
# folder, and the Qt that scripts/build-mingw-qt.sh keeps in the user's cache,
# found through TARVEL_MINGW_QT (a CMake or environment variable).
# Normalised: a package's own absolute paths under a root must match it.
get_filename_component(tarvel_build "${CMAKE_CURRENT_LIST_DIR}/../build" ABSOLUTE)
if(NOT DEFINED TARVEL_MINGW_QT)
  set(TARVEL_MINGW_QT "$ENV{TARVEL_MINGW_QT}")
endif()
if(NOT TARVEL_MINGW_QT)
  if(DEFINED ENV{XDG_CACHE_HOME} AND NOT "$ENV{XDG_CACHE_HOME}" STREQUAL "")
    set(TARVEL_MINGW_QT "$ENV{XDG_CACHE_HOME}/tarvel/mingw-qt/current")
  else()
    set(TARVEL_MINGW_QT "$ENV{HOME}/.cache/tarvel/mingw-qt/current")
  endif()
endif()
get_filename_component(TARVEL_MINGW_QT "${TARVEL_MINGW_QT}" REALPATH)
set(CMAKE_FIND_ROOT_PATH /usr/${triple} ${tarvel_build}/mingw-deps/${TARVEL_MINGW_ARCH}
    ${TARVEL_MINGW_QT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# One executable without the MinGW runtime DLLs beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
if(TARVEL_MINGW_ARCH STREQUAL "x86_64")
  set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
endif()
