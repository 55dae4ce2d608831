# Read by cpack for each generator: the release file names.
#   dbfclean-VERSION-win64.zip, dbfclean-VERSION-win64-setup.exe (and win32)
# The Debian packages keep Debian's own names (dbfclean-cli_VERSION_amd64.deb).
if(CPACK_GENERATOR STREQUAL "ZIP")
  set(CPACK_PACKAGE_FILE_NAME "dbfclean-${CPACK_PACKAGE_VERSION}-${CPACK_DBFCLEAN_ARCH}")
elseif(CPACK_GENERATOR STREQUAL "NSIS")
  set(CPACK_PACKAGE_FILE_NAME "dbfclean-${CPACK_PACKAGE_VERSION}-${CPACK_DBFCLEAN_ARCH}-setup")
endif()
