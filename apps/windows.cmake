# veldan-cli and VeldanUpdate for Windows, in a program folder laid out as on
# Linux: the programs, and data/ with the scrambled databases and the shipped
# files. The window stays a Linux program for now (Qt 6 is not built for MinGW
# here).
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

# The updater with its Win32 status window (comctl32's progress bar); a
# program of the GUI subsystem, so no console window opens beside it.
add_executable(VeldanUpdate ${CMAKE_CURRENT_SOURCE_DIR}/updater/main_win32.cpp)
target_link_libraries(VeldanUpdate PRIVATE veldan_updater veldan_host comctl32 shell32 user32 gdi32)
target_link_options(VeldanUpdate PRIVATE -mwindows)
