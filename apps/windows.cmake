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
set(VELDAN_DATA_OUTPUTS)
foreach(db addb ckdb dsdb)
  add_custom_command(
    OUTPUT ${VELDAN_PROGRAM_DIR}/data/${db}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${VELDAN_PROGRAM_DIR}/data
    COMMAND ${CMAKE_COMMAND} -E env VELDAN_WINEPREFIX=${VELDAN_BUILD_WINEPREFIX}
            ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:veldan-cli>
            db scramble ${PROJECT_SOURCE_DIR}/core/${db}.txt ${VELDAN_PROGRAM_DIR}/data/${db}
    DEPENDS veldan-cli ${PROJECT_SOURCE_DIR}/core/${db}.txt
    COMMENT "Scrambling ${db}")
  list(APPEND VELDAN_DATA_OUTPUTS ${VELDAN_PROGRAM_DIR}/data/${db})
endforeach()
foreach(file main.htm help.htm layout release.pub)
  add_custom_command(
    OUTPUT ${VELDAN_PROGRAM_DIR}/data/${file}
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/data/${file} ${VELDAN_PROGRAM_DIR}/data/${file}
    DEPENDS ${PROJECT_SOURCE_DIR}/data/${file}
    COMMENT "Copying data/${file}")
  list(APPEND VELDAN_DATA_OUTPUTS ${VELDAN_PROGRAM_DIR}/data/${file})
endforeach()
add_custom_target(veldan_data ALL DEPENDS ${VELDAN_DATA_OUTPUTS})
