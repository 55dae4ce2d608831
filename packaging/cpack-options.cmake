# Read by cpack for each generator: the release file names.
#   dbfclean-VERSION-win64.zip, dbfclean-VERSION-win64-setup.exe (and win32)
# The Debian packages keep Debian's own names (dbfclean-cli_VERSION_amd64.deb).
if(CPACK_GENERATOR STREQUAL "ZIP")
  set(CPACK_PACKAGE_FILE_NAME "dbfclean-${CPACK_PACKAGE_VERSION}-${CPACK_DBFCLEAN_ARCH}")
elseif(CPACK_GENERATOR STREQUAL "NSIS")
  set(CPACK_PACKAGE_FILE_NAME "dbfclean-${CPACK_PACKAGE_VERSION}-${CPACK_DBFCLEAN_ARCH}-setup")
endif()

# With a maintainer's code-signing certificate and key (SIGN_CERT, SIGN_KEY
# in the environment) the Windows releases are signed: the staged programs
# before packing, the uninstaller as the installer's script is compiled, the
# installer itself last. Without them the files are left unsigned.
set(CPACK_DBFCLEAN_NSIS_SIGN "")
if(CPACK_GENERATOR MATCHES "^(ZIP|NSIS)$" AND NOT "$ENV{SIGN_CERT}" STREQUAL "" AND NOT "$ENV{SIGN_KEY}" STREQUAL "")
  set(CPACK_DBFCLEAN_SIGN_SCRIPT "${CPACK_DBFCLEAN_PACKAGING_DIR}/windows/sign.sh")
  set(CPACK_PRE_BUILD_SCRIPTS "${CPACK_DBFCLEAN_PACKAGING_DIR}/windows/sign-staged.cmake")
  set(CPACK_DBFCLEAN_NSIS_SIGN "!uninstfinalize 'bash \"${CPACK_DBFCLEAN_SIGN_SCRIPT}\" \"%1\"'
!finalize 'bash \"${CPACK_DBFCLEAN_SIGN_SCRIPT}\" \"%1\"'")
endif()
