# Cross-compiling for Windows with Debian's MinGW-w64 compilers.
# VELDAN_MINGW_ARCH chooses the target: i686 (Windows XP SP3 and later) or x86_64.
# The -posix compilers are used: std::thread and std::mutex need their thread model.
set(CMAKE_SYSTEM_NAME Windows)
if(NOT VELDAN_MINGW_ARCH)
  set(VELDAN_MINGW_ARCH i686)
endif()
set(CMAKE_SYSTEM_PROCESSOR ${VELDAN_MINGW_ARCH})
set(VELDAN_MINGW_TRIPLE ${VELDAN_MINGW_ARCH}-w64-mingw32)

set(CMAKE_C_COMPILER ${VELDAN_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VELDAN_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VELDAN_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VELDAN_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# A static runtime: the programs need no MinGW DLLs beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Test programs run under Wine (cmake/win32/wine-run.sh sets the prefix up).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/win32/wine-run.sh)
