# Run by cpack (CPACK_PRE_BUILD_SCRIPTS) once the files of a Windows release
# are staged and before they are packed: signs the programs, so that the zip
# and the installer carry signed copies.
file(GLOB_RECURSE programs "${CPACK_TOPLEVEL_DIRECTORY}/*/dbfclean.exe" "${CPACK_TOPLEVEL_DIRECTORY}/*/dbfclean-cli.exe")
if(NOT programs)
  message(FATAL_ERROR "no staged programs to sign under ${CPACK_TOPLEVEL_DIRECTORY}")
endif()
foreach(program IN LISTS programs)
  execute_process(COMMAND bash "${CPACK_DBFCLEAN_SIGN_SCRIPT}" "${program}" RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "signing ${program} failed")
  endif()
endforeach()
