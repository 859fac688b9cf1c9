# veldan-cli for Windows, in a program folder laid out as on Linux: the
# program, and data/ with the scrambled databases and the shipped files. The
# window and the updater stay Linux programs for now (Qt 6, libcurl, libzip and
# OpenSSL are not built for MinGW here).
file(GLOB VELDAN_CLI_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/cli/*.cpp)
veldan_platform_sources(VELDAN_CLI_SOURCES)
add_executable(veldan-cli ${VELDAN_CLI_SOURCES})
target_link_libraries(veldan-cli PRIVATE veldan_engine veldan_quarantine machine_backends machine_memory
                      veldan_host_headers)
target_include_directories(veldan-cli PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/cli)
target_compile_definitions(veldan-cli PRIVATE VELDAN_VERSION="${PROJECT_VERSION}")

# The databases are scrambled by the program just built, under Wine in a
# prefix of the build's own.
set(VELDAN_BUILD_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix-build)
include(${CMAKE_CURRENT_SOURCE_DIR}/program_data.cmake)
veldan_program_data(${CMAKE_COMMAND} -E env VELDAN_WINEPREFIX=${VELDAN_BUILD_WINEPREFIX}
                    ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:veldan-cli>)
