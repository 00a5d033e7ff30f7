# Cross-build for 64-bit Windows with Debian's MinGW-w64 (posix threads: the win32-thread variant has no
# std::thread), run under Wine. Usage: cmake -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
#   -DVARNEL_WINDOWS_DEPS=<prefix from scripts/build-windows-deps> ...
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VARNEL_MINGW_TRIPLE x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${VARNEL_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VARNEL_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VARNEL_MINGW_TRIPLE}-windres)

# Everything static: the exe must run beside the simulator with no MinGW runtime DLLs (libgcc, libstdc++,
# winpthread) and no zlib1.dll, which Wine's own copy would hide anyway.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

set(CMAKE_FIND_ROOT_PATH /usr/${VARNEL_MINGW_TRIPLE})
if(VARNEL_WINDOWS_DEPS)
  list(APPEND CMAKE_FIND_ROOT_PATH ${VARNEL_WINDOWS_DEPS})
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Tests and tools run under Wine, in a prefix of this build's own so the user's ~/.wine is never touched.
# The toolchain file is also read for try_compile projects: only the top build's folder is used.
if(NOT DEFINED VARNEL_WINEPREFIX)
  set(VARNEL_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix CACHE PATH "Wine prefix the Windows tests run in")
endif()
find_program(VARNEL_WINE64 NAMES wine64 PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(NOT VARNEL_WINE64)
  set(VARNEL_WINE64 wine)
endif()
# No Mono and Gecko prompts when the prefix is made; no debug chatter in test output.
set(CMAKE_CROSSCOMPILING_EMULATOR
    /usr/bin/env WINEPREFIX=${VARNEL_WINEPREFIX} WINEDEBUG=-all "WINEDLLOVERRIDES=mscoree,mshtml="
    ${VARNEL_WINE64})
