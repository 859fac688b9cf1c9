# The program folder's data/: the plain databases in core/ scrambled as the
# program reads them, by `<scrambler> db scramble` where the arguments of the
# call are the scrambler command (veldan-cli, or the program under an
# emulator), and the page, the window layout and the trusted release key copied
# as they are. The target veldan_data builds them all.
function(veldan_program_data)
  set(outputs)
  foreach(db addb ckdb dsdb)
    add_custom_command(
      OUTPUT ${VELDAN_PROGRAM_DIR}/data/${db}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${VELDAN_PROGRAM_DIR}/data
      COMMAND ${ARGN} db scramble ${PROJECT_SOURCE_DIR}/core/${db}.txt ${VELDAN_PROGRAM_DIR}/data/${db}
      DEPENDS veldan-cli ${PROJECT_SOURCE_DIR}/core/${db}.txt
      COMMENT "Scrambling ${db}")
    list(APPEND outputs ${VELDAN_PROGRAM_DIR}/data/${db})
  endforeach()
  foreach(file main.htm help.htm layout release.pub)
    add_custom_command(
      OUTPUT ${VELDAN_PROGRAM_DIR}/data/${file}
      COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/data/${file} ${VELDAN_PROGRAM_DIR}/data/${file}
      DEPENDS ${PROJECT_SOURCE_DIR}/data/${file}
      COMMENT "Copying data/${file}")
    list(APPEND outputs ${VELDAN_PROGRAM_DIR}/data/${file})
  endforeach()
  add_custom_target(veldan_data ALL DEPENDS ${outputs})
endfunction()
