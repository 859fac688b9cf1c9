# Installation and the Debian package:
#   cmake --build --preset release --target package   (or: cpack -G DEB in the build folder)
# makes veldan_<version>_amd64.deb. The programs live in /usr/lib/veldan with
# data/ beside them, as they expect; /usr/bin names the two programs a user starts.

include(GNUInstallDirs)
# Debian keeps a package's own programs in /usr/lib/<package>, whatever the multiarch libdir.
set(VELDAN_INSTALL_DIR lib/veldan)

install(TARGETS veldan-cli Veldan VeldanUpdate RUNTIME DESTINATION ${VELDAN_INSTALL_DIR})
# The shipped data only, whatever else a run left in the build's program folder.
foreach(file addb ckdb dsdb main.htm help.htm layout release.pub)
  install(FILES ${VELDAN_PROGRAM_DIR}/data/${file} DESTINATION ${VELDAN_INSTALL_DIR}/data)
endforeach()
install(CODE "
  set(bin \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
  file(MAKE_DIRECTORY \"\${bin}\")
  foreach(program veldan-cli Veldan)
    file(CREATE_LINK ../${VELDAN_INSTALL_DIR}/\${program} \"\${bin}/\${program}\" SYMBOLIC)
  endforeach()
")
install(FILES ${PROJECT_SOURCE_DIR}/packaging/veldan.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/veldan-cli.bash
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME veldan-cli)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/schema
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/veldan)

# The manual page, written in scdoc.
find_program(SCDOC scdoc)
if(SCDOC)
  set(VELDAN_MAN_PAGE ${CMAKE_BINARY_DIR}/man/veldan-cli.1.gz)
  add_custom_command(
    OUTPUT ${VELDAN_MAN_PAGE}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
    COMMAND sh -c "\"$0\" < \"$1\" | gzip -n -9 > \"$2\"" ${SCDOC}
            ${PROJECT_SOURCE_DIR}/docs/veldan-cli.1.scd ${VELDAN_MAN_PAGE}
    DEPENDS ${PROJECT_SOURCE_DIR}/docs/veldan-cli.1.scd
    VERBATIM
    COMMENT "Building the manual page of veldan-cli")
  add_custom_target(veldan_man ALL DEPENDS ${VELDAN_MAN_PAGE})
  install(FILES ${VELDAN_MAN_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
  message(WARNING "scdoc not found: the package will lack the manual page (scripts/setup.sh installs it)")
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME veldan)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Veldan")
set(CPACK_PACKAGE_CONTACT "Veldan developers <veldan@veldan.test>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "anti-spyware scanner for Windows 98-XP machine images and disks")
set(CPACK_PACKAGE_DESCRIPTION
    "Veldan finds the traces that spyware, adware and browser hijackers leave on\n"
    "Windows machines of the Windows 98-XP generation (machine images or mounted\n"
    "installations) and removes the ones the user chooses. It ships the Korean\n"
    "user interface (Veldan), its updater and the command line (veldan-cli).")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The Korean user interface needs a Korean font.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-nanum")
set(CPACK_STRIP_FILES ON)
include(CPack)

if(VELDAN_BUILD_TESTS)
  # Builds the package into a temporary folder, unpacks it with dpkg -x and
  # runs the unpacked veldan-cli.
  add_test(NAME package_installs_and_runs
           COMMAND bash ${PROJECT_SOURCE_DIR}/tests/cli/package_test.sh ${CMAKE_BINARY_DIR} ${PROJECT_VERSION})
  add_test(NAME bash_completion
           COMMAND bash ${PROJECT_SOURCE_DIR}/tests/cli/completion_test.sh ${PROJECT_SOURCE_DIR}/packaging/veldan-cli.bash)
endif()
