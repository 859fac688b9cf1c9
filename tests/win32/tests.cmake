# The tests of the Windows build, run under Wine in a throwaway prefix: the
# wine_prefix fixture makes a fresh one in the build folder before the tests of
# a ctest run and removes it after them.

set(VELDAN_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  set(VELDAN_WINE_VERSION winxp)      # the 32-bit build's oldest target
else()
  set(VELDAN_WINE_VERSION winxp64)
endif()
set(VELDAN_WINE_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/win32)

add_test(NAME wine_prefix_make
         COMMAND ${VELDAN_WINE_SCRIPTS}/wine-prefix.sh make ${VELDAN_WINEPREFIX} ${VELDAN_WINE_VERSION})
set_tests_properties(wine_prefix_make PROPERTIES FIXTURES_SETUP wine_prefix)
add_test(NAME wine_prefix_remove COMMAND ${VELDAN_WINE_SCRIPTS}/wine-prefix.sh remove ${VELDAN_WINEPREFIX})
set_tests_properties(wine_prefix_remove PROPERTIES FIXTURES_CLEANUP wine_prefix)

add_library(veldan_test_support STATIC
  ${CMAKE_CURRENT_SOURCE_DIR}/support/registry_factory.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/support/registry_backends_win32.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/support/scratch_key_win32.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/support/scratch_drive_win32.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/support/temp_dir.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/support/temp_dir_host_win32.cpp
  # Test images on the machine itself (support/image_builder.h), read from the
  # same machine.ini texts as on Linux.
  ${CMAKE_CURRENT_SOURCE_DIR}/support/image_builder_win32.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/support/image_builder_shared.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/support/scratch_machine_win32.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/support/lnk_writer.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/support/lnk_parts.cpp
  ${PROJECT_SOURCE_DIR}/src/machine/folder/machine_ini.cpp)
target_link_libraries(veldan_test_support PUBLIC machine_backends machine_memory machine_win32 GTest::gtest)
target_include_directories(veldan_test_support PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})

# One test program per list of sources; ctest runs each whole under Wine.
function(veldan_wine_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE veldan_test_support ${T_LIBS} GTest::gtest_main)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine_prefix
                       ENVIRONMENT "VELDAN_WINEPREFIX=${VELDAN_WINEPREFIX}" TIMEOUT 300)
endfunction()

veldan_wine_test(test_text
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/text/text_test.cpp ${CMAKE_CURRENT_SOURCE_DIR}/text/utf8_test.cpp
  LIBS veldan_text)
set_source_files_properties(${CMAKE_CURRENT_SOURCE_DIR}/text/text_test.cpp PROPERTIES
                            COMPILE_OPTIONS "-include;${VELDAN_POSIX_COMPAT}")
veldan_wine_test(test_registry_contract
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/machine/registry_contract_test.cpp LIBS machine_win32)
# The machine layer's contract suites against the live backend, in scratch
# folders of the throwaway prefix.
veldan_wine_test(test_machine_contracts
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/machine/file_system_contract_test.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/machine/profiles_contract_test.cpp
  LIBS machine_win32)
# The machines Veldan cleans are Korean: the profile calls read INI files in code page 949.
set_property(TEST test_machine_contracts APPEND PROPERTY ENVIRONMENT "LC_ALL=ko_KR.UTF-8")
# Shell links, system information and the clock against the live backend too;
# the system information suite checks the version the prefix is set to.
target_sources(test_machine_contracts PRIVATE
  ${CMAKE_CURRENT_SOURCE_DIR}/machine/shell_links_contract_test.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/machine/system_info_contract_test.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/machine/clock_contract_test.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/support/shell_link_backends_win32.cpp)
set_property(TEST test_machine_contracts APPEND PROPERTY ENVIRONMENT
             "VELDAN_WINE_VERSION=${VELDAN_WINE_VERSION}")
# Wine gives Korean file names to the host in the Unix locale's character set:
# a ko_KR.UTF-8 locale made for the run (the host need not have it installed).
set(VELDAN_LOCPATH ${CMAKE_BINARY_DIR}/locale)
add_test(NAME ko_locale_make COMMAND sh -c "mkdir -p '${VELDAN_LOCPATH}' && localedef -i ko_KR -f UTF-8 '${VELDAN_LOCPATH}/ko_KR.UTF-8'")
set_tests_properties(ko_locale_make PROPERTIES FIXTURES_SETUP ko_locale)
set_property(TEST test_machine_contracts APPEND PROPERTY FIXTURES_REQUIRED ko_locale)
set_property(TEST test_machine_contracts APPEND PROPERTY ENVIRONMENT "LOCPATH=${VELDAN_LOCPATH}")
# The engine's, the commands' and the platform layer's unit tests, on test
# images made on the machine itself below a scratch key and folder
# (support/scratch_machine_win32.h). Those that read hive files stay
# Linux-only: the Windows build has no offline-installation backend.
file(GLOB VELDAN_UNIT_TESTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/engine/*_test.cpp
     ${CMAKE_CURRENT_SOURCE_DIR}/commands/*_test.cpp ${CMAKE_CURRENT_SOURCE_DIR}/platform/*_test.cpp)
foreach(src IN LISTS VELDAN_UNIT_TESTS)
  file(STRINGS ${src} linux_only REGEX "machine/hive/")
  if(linux_only)
    list(REMOVE_ITEM VELDAN_UNIT_TESTS ${src})
  endif()
endforeach()
veldan_wine_test(test_engine_units SOURCES ${VELDAN_UNIT_TESTS} LIBS veldan_engine)
# Shortcuts and INI files of the test images hold Korean text in code page 949,
# and some of their files have Korean names.
set_property(TEST test_engine_units APPEND PROPERTY ENVIRONMENT "LC_ALL=ko_KR.UTF-8"
             "LOCPATH=${VELDAN_LOCPATH}")
set_property(TEST test_engine_units APPEND PROPERTY FIXTURES_REQUIRED ko_locale)
set_source_files_properties(${VELDAN_UNIT_TESTS} PROPERTIES
                            COMPILE_OPTIONS "-include;${VELDAN_POSIX_COMPAT}")
file(GLOB VELDAN_WIN32_TESTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/win32/*_test.cpp)
veldan_wine_test(test_win32_machine SOURCES ${VELDAN_WIN32_TESTS} LIBS machine_win32 veldan_host ole32 uuid user32)

# The 32-bit build runs on Windows XP SP3: nothing it imports may be missing there.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  add_test(NAME xp_imports
           COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/win32/check_xp_imports.sh ${VELDAN_MINGW_TRIPLE}-objdump
                   ${CMAKE_CURRENT_SOURCE_DIR}/win32/xp_sp3_imports.txt
                   $<TARGET_FILE:test_win32_machine> $<TARGET_FILE:test_registry_contract>
                   $<TARGET_FILE:test_text> $<TARGET_FILE:veldan-cli>
                   $<TARGET_FILE:test_machine_contracts> $<TARGET_FILE:test_engine_units>)
endif()

# veldan-cli.exe on the machine it runs on: the prefix's.
add_executable(deny_key ${CMAKE_CURRENT_SOURCE_DIR}/win32/deny_key.cpp)
target_link_options(deny_key PRIVATE -municode)
set_target_properties(deny_key PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
add_test(NAME cli_live
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/win32/cli_live_test.sh ${CMAKE_CROSSCOMPILING_EMULATOR}
                 $<TARGET_FILE:veldan-cli> $<TARGET_FILE:deny_key>)
set_tests_properties(cli_live PROPERTIES FIXTURES_REQUIRED wine_prefix
                     ENVIRONMENT "VELDAN_WINEPREFIX=${VELDAN_WINEPREFIX}" TIMEOUT 300)

# veldan-cli.exe from a program folder whose name the ANSI code page cannot hold.
add_test(NAME cli_program_folder_names
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/win32/program_folder_names_test.sh
                 ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:veldan-cli>)
set_tests_properties(cli_program_folder_names PROPERTIES FIXTURES_REQUIRED wine_prefix
                     ENVIRONMENT "VELDAN_WINEPREFIX=${VELDAN_WINEPREFIX}" TIMEOUT 120)

# Parity: the sample machine in a prefix made by scripts/wine-machine.sh, scanned
# and cured by veldan-cli.exe, against the Linux build's scan and cure of the image.
add_test(NAME parity_sample_xp
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/win32/parity_test.sh ${PROJECT_SOURCE_DIR}
                 $<TARGET_FILE:veldan-cli>)
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  set(VELDAN_PARITY_WINEARCH win32)
else()
  set(VELDAN_PARITY_WINEARCH win64)  # a 64-bit program needs a 64-bit prefix
endif()
set_tests_properties(parity_sample_xp PROPERTIES TIMEOUT 1500
                     ENVIRONMENT "WINEARCH=${VELDAN_PARITY_WINEARCH}")

# VeldanUpdate.exe against a loopback HTTP server: a signed release installed;
# a bad signature, a download cut short and a 404 refused as on Linux.
add_test(NAME updater_wine
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/win32/updater_test.sh $<TARGET_FILE:VeldanUpdate>
                 $<TARGET_FILE:updater_start_marker>)
set_tests_properties(updater_wine PROPERTIES FIXTURES_REQUIRED wine_prefix
                     ENVIRONMENT "VELDAN_WINEPREFIX=${VELDAN_WINEPREFIX}" TIMEOUT 600)
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  add_test(NAME xp_imports_updater
           COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/win32/check_xp_imports.sh ${VELDAN_MINGW_TRIPLE}-objdump
                   ${CMAKE_CURRENT_SOURCE_DIR}/win32/xp_sp3_imports.txt $<TARGET_FILE:VeldanUpdate>)
endif()
# The updater's parts and the HTTP client's address handling in the Windows build.
find_package(ZLIB REQUIRED)  # the test archives are deflated
veldan_wine_test(test_updater_parts
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/win32/updater_parts.cpp ${CMAKE_CURRENT_SOURCE_DIR}/support/zip_writer.cpp
  LIBS veldan_updater ZLIB::ZLIB)
veldan_wine_test(test_internet_format SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/net/internet_format_test.cpp
  LIBS veldan_net)

# The HTTP client over WinINet against the loopback test server of the Linux
# tests (Winsock here): the same cases as for libcurl, and a TLS server with a
# self-signed certificate (internet_tls_test.sh) that must be refused.
veldan_wine_test(test_internet
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/net/internet_test.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/win32/internet_tls.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/support/http_server.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/support/loopback_socket_win32.cpp
  LIBS veldan_net veldan_text wininet ws2_32)
set_source_files_properties(${CMAKE_CURRENT_SOURCE_DIR}/net/internet_test.cpp PROPERTIES
                            COMPILE_OPTIONS "-include;${VELDAN_POSIX_COMPAT}")
set_tests_properties(test_internet PROPERTIES TIMEOUT 120)
add_test(NAME internet_tls_wine
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/win32/internet_tls_test.sh ${CMAKE_CROSSCOMPILING_EMULATOR}
                 $<TARGET_FILE:test_internet>)
set_tests_properties(internet_tls_wine PROPERTIES FIXTURES_REQUIRED wine_prefix
                     ENVIRONMENT "VELDAN_WINEPREFIX=${VELDAN_WINEPREFIX}" TIMEOUT 120)

# A stand-in Veldan.exe for updater_wine: it marks its working folder.
add_executable(updater_start_marker ${CMAKE_CURRENT_SOURCE_DIR}/win32/updater_start_marker.cpp)
set_target_properties(updater_start_marker PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
