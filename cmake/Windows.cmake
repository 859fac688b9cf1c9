# The Windows build (presets win32 and win64, cross-compiled with MinGW-w64).
#
# It builds the libraries that run on Windows — text, host, the machine
# interfaces with the in-memory and the live (win32) backends, platform,
# commands, engine, the HTTP client and the updater — and veldan-cli and
# VeldanUpdate, into a program folder laid out as on Linux. The window (Qt 6)
# and the machine image and installation backends (hivex) stay Linux programs.
# Windows replaces iconv with the code page calls, OpenSSL's MD5 with
# CryptoAPI, libcurl with WinINet; the updater's ZIP reader and its Ed25519
# signature check are the same portable code in both builds, and zlib comes
# from Debian's MinGW package.
set(VELDAN_WINDOWS ON)
option(VELDAN_BUILD_TESTS "Build the unit and contract tests (run under Wine)" ON)

# Windows XP SP3 is the oldest target; nothing newer may be called directly.
add_compile_definitions(_WIN32_WINNT=0x0501 WINVER=0x0501 _WIN32_IE=0x0600 UNICODE _UNICODE
                        NOMINMAX WIN32_LEAN_AND_MEAN)
add_compile_options(-Wall -Wextra -Wno-unused-parameter)
# Files open in binary mode, as on Linux (MinGW's runtime opens in text mode by default).
set(VELDAN_BINMODE ${CMAKE_FIND_ROOT_PATH}/lib/binmode.o)
add_link_options(${VELDAN_BINMODE})

set(VELDAN_PROGRAM_DIR ${CMAKE_BINARY_DIR}/program)
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${VELDAN_PROGRAM_DIR})

# Header-only libraries of the build machine (CLI11, nlohmann-json) are used as
# they are: only their own folders are put on the include path, never /usr/include.
set(VELDAN_HOST_HEADERS ${CMAKE_BINARY_DIR}/host-headers)
file(MAKE_DIRECTORY ${VELDAN_HOST_HEADERS})
foreach(dir CLI nlohmann)
  if(NOT EXISTS ${VELDAN_HOST_HEADERS}/${dir})
    file(CREATE_LINK /usr/include/${dir} ${VELDAN_HOST_HEADERS}/${dir} SYMBOLIC)
  endif()
endforeach()
add_library(veldan_host_headers INTERFACE)
target_include_directories(veldan_host_headers SYSTEM INTERFACE ${VELDAN_HOST_HEADERS})

# POSIX descriptor calls of the engine's file readers through MinGW's runtime.
set(VELDAN_POSIX_COMPAT ${PROJECT_SOURCE_DIR}/cmake/win32/posix_compat.h)

include(${CMAKE_CURRENT_LIST_DIR}/PlatformSources.cmake)

# zlib is linked in: the programs need no DLL beside them.
set(ZLIB_USE_STATIC_LIBS ON)

# Every program of the 32-bit build carries GetTickCount64 for Windows XP (see
# cmake/win32/xp_tick_count.cpp); the test xp_imports checks what they import.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  add_library(veldan_xp_compat OBJECT ${CMAKE_CURRENT_LIST_DIR}/win32/xp_tick_count.cpp)
  link_libraries($<TARGET_OBJECTS:veldan_xp_compat>)
endif()

add_subdirectory(src/text)
add_subdirectory(src/host)
add_subdirectory(src/machine)
add_subdirectory(src/platform)
add_subdirectory(src/commands)
add_subdirectory(src/engine)
add_subdirectory(src/quarantine)
add_subdirectory(src/net)
add_subdirectory(src/updater)
add_subdirectory(apps)

if(VELDAN_BUILD_TESTS)
  enable_testing()
  include(${CMAKE_CURRENT_LIST_DIR}/win32/GTestFromSource.cmake)
  include(GoogleTest)
  add_subdirectory(tests)
endif()
