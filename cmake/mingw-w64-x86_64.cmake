# Cross build of native 64-bit Windows programs with MinGW-w64 (its POSIX-threads flavour,
# which std::thread and friends need). The programs are linked statically: no DLLs to ship.
# Test programs run under Wine; its prefix lives in the build folder (see tests/CMakeLists.txt).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KEL2FRAM_MINGW_TRIPLE x86_64-w64-mingw32)
find_program(CMAKE_CXX_COMPILER NAMES ${KEL2FRAM_MINGW_TRIPLE}-g++-posix ${KEL2FRAM_MINGW_TRIPLE}-g++
             REQUIRED)
find_program(CMAKE_C_COMPILER NAMES ${KEL2FRAM_MINGW_TRIPLE}-gcc-posix ${KEL2FRAM_MINGW_TRIPLE}-gcc)
find_program(CMAKE_RC_COMPILER NAMES ${KEL2FRAM_MINGW_TRIPLE}-windres)
# Libraries are looked for first among those cmake/windows-deps.sh builds from Debian's source
# packages (zlib, minizip, expat; static), then in MinGW-w64's own folder. Static libraries
# only: an import library would make the programs need a DLL beside them.
set(KEL2FRAM_WINDOWS_DEPS ${CMAKE_CURRENT_LIST_DIR}/../build-windows-deps)
cmake_path(NORMAL_PATH KEL2FRAM_WINDOWS_DEPS)
set(CMAKE_FIND_ROOT_PATH ${KEL2FRAM_WINDOWS_DEPS} /usr/${KEL2FRAM_MINGW_TRIPLE})
set(ZLIB_USE_STATIC_LIBS ON)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Test programs and the tool run under Wine, with the build folder's own prefix (made once,
# before the first test program runs: see tests/CMakeLists.txt), no debug chatter, and no
# offer to install the .NET or HTML engines (a dialogue would stall a run without a screen).
find_program(KEL2FRAM_WINE NAMES wine wine64 wine-stable)
if(KEL2FRAM_WINE)
  set(KEL2FRAM_WINE_PREFIX ${CMAKE_BINARY_DIR}/wine-prefix)
  set(CMAKE_CROSSCOMPILING_EMULATOR
      ${CMAKE_COMMAND} -E env WINEPREFIX=${KEL2FRAM_WINE_PREFIX} WINEARCH=win64 WINEDEBUG=-all
      WINEDLLOVERRIDES=mscoree,mshtml= ${KEL2FRAM_WINE})
endif()
