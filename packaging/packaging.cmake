# What installs beside the programs, and the releases CPack makes of it
# (make package, scripts/package.sh):
#   Linux:   the manual pages, the desktop entry, icons and AppStream metainfo,
#            the Debian copyright and changelog; two Debian packages,
#            dbfclean-cli (component "cli", no Qt) and dbfclean ("desktop").
#   Windows: README.txt and LICENSE.txt beside the two .exe files; a zip and
#            an NSIS installer of the lot, for the build's architecture.
# Included from the top-level CMakeLists after the programs are defined.

set(packaging_dir ${CMAKE_CURRENT_LIST_DIR})
set(DBFCLEAN_MAINTAINER "dbfclean developers <dbfclean@example.org>")

if(WIN32)
  # Notepad of older Windows shows a text file right only with CR LF.
  configure_file(${packaging_dir}/windows/README.txt.in ${CMAKE_BINARY_DIR}/README.txt @ONLY NEWLINE_STYLE CRLF)
  configure_file(${CMAKE_SOURCE_DIR}/LICENSE ${CMAKE_BINARY_DIR}/LICENSE.txt @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${CMAKE_BINARY_DIR}/README.txt ${CMAKE_BINARY_DIR}/LICENSE.txt DESTINATION . COMPONENT cli)
else()
  # Manual pages and changelogs go in compressed, as Debian has them; gzip -n
  # keeps no time stamp, so that a rebuild gives the same bytes.
  set(generated ${CMAKE_BINARY_DIR}/packaging)
  set(generated_files)
  function(dbfclean_gzip source output)
    add_custom_command(OUTPUT ${output} COMMAND gzip -9nc ${source} > ${output} DEPENDS ${source} VERBATIM)
    set(generated_files ${generated_files} ${output} PARENT_SCOPE)
  endfunction()

  configure_file(${CMAKE_SOURCE_DIR}/app/cli/dbfclean-cli.1 ${generated}/dbfclean-cli.1 @ONLY)
  dbfclean_gzip(${generated}/dbfclean-cli.1 ${generated}/dbfclean-cli.1.gz)
  dbfclean_gzip(${packaging_dir}/debian/changelog ${generated}/changelog.gz)

  # The machine-readable copyright file holds the licence text, indented.
  file(STRINGS ${CMAKE_SOURCE_DIR}/LICENSE license_lines)
  set(DBFCLEAN_LICENSE_TEXT "")
  foreach(line IN LISTS license_lines)
    if(line STREQUAL "")
      string(APPEND DBFCLEAN_LICENSE_TEXT " .\n")
    else()
      string(APPEND DBFCLEAN_LICENSE_TEXT " ${line}\n")
    endif()
  endforeach()
  string(STRIP "${DBFCLEAN_LICENSE_TEXT}" DBFCLEAN_LICENSE_TEXT)
  string(PREPEND DBFCLEAN_LICENSE_TEXT " ")
  configure_file(${packaging_dir}/debian/copyright.in ${generated}/copyright @ONLY)

  install(FILES ${generated}/dbfclean-cli.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT cli)
  install(FILES ${generated}/copyright ${generated}/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/dbfclean-cli COMPONENT cli)

  if(TARGET dbfclean)
    configure_file(${CMAKE_SOURCE_DIR}/app/qt/dbfclean.1 ${generated}/dbfclean.1 @ONLY)
    dbfclean_gzip(${generated}/dbfclean.1 ${generated}/dbfclean.1.gz)
    install(FILES ${generated}/dbfclean.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT desktop)
    install(FILES ${generated}/copyright ${generated}/changelog.gz
            DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/dbfclean COMPONENT desktop)
    install(FILES ${packaging_dir}/linux/org.example.dbfclean.metainfo.xml
            DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT desktop)
    foreach(size 16 24 32 48 64 128 256)
      install(FILES ${CMAKE_SOURCE_DIR}/app/images/dbfclean-${size}.png
              DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
              RENAME dbfclean.png COMPONENT desktop)
    endforeach()
    install(FILES ${CMAKE_SOURCE_DIR}/app/images/dbfclean.svg
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT desktop)
  endif()
  add_custom_target(dbfclean_docs ALL DEPENDS ${generated_files})
endif()

# ---- CPack
# cpack installs what scripts/package.sh built (the programs and the files
# above), without building the test suites first.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(CPACK_PACKAGE_NAME dbfclean)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The dbfclean developers")
set(CPACK_PACKAGE_CONTACT "${DBFCLEAN_MAINTAINER}")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
if(WIN32)
  # Linked stripped (see the top-level CMakeLists): packed as built.
  set(CPACK_STRIP_FILES OFF)
else()
  set(CPACK_STRIP_FILES ON)
endif()
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_PROJECT_CONFIG_FILE ${packaging_dir}/cpack-options.cmake)
set(CPACK_DBFCLEAN_PACKAGING_DIR ${packaging_dir})

if(WIN32)
  set(CPACK_GENERATOR "ZIP;NSIS")
  set(CPACK_MONOLITHIC_INSTALL ON)
  # The zip holds the files themselves: Windows' "Extract All" makes the
  # folder.
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
  set(CPACK_MODULE_PATH ${packaging_dir}/windows)
  set(CPACK_DBFCLEAN_ICON ${CMAKE_SOURCE_DIR}/app/images/dbfclean.ico)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CPACK_DBFCLEAN_ARCH win64)
    set(CPACK_DBFCLEAN_NSIS_TARGET "Target amd64-unicode")
    set(CPACK_DBFCLEAN_NSIS_PROGRAM_FILES "$PROGRAMFILES64")
  else()
    set(CPACK_DBFCLEAN_ARCH win32)
    set(CPACK_DBFCLEAN_NSIS_TARGET "Target x86-unicode")
    set(CPACK_DBFCLEAN_NSIS_PROGRAM_FILES "$PROGRAMFILES")
  endif()
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_ALL cli)
  if(TARGET dbfclean)
    list(APPEND CPACK_COMPONENTS_ALL desktop)
  endif()
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${DBFCLEAN_MAINTAINER}")
  set(CPACK_DEBIAN_PACKAGE_SOURCE dbfclean)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # Depends: from the libraries the binaries link (dpkg-shlibdeps). The
  # desktop program runs without the command-line one, so neither package
  # depends on the other.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_CLI_PACKAGE_NAME dbfclean-cli)
  set(CPACK_DEBIAN_DESKTOP_PACKAGE_NAME dbfclean)
  set(CPACK_COMPONENT_CLI_DESCRIPTION
      "repair NUL bytes in dBASE tables (command-line program)
dbfclean-cli opens each dBASE table (.dbf) of a directory for exclusive use,
replaces every NUL byte inside the fields of its records by a blank, in
place, and erases the directory's .ndx index files so that the application
that owns them rebuilds them. It can check without writing, list the
damaged fields and copy each table before its first change.
.
This package has no graphical interface and needs no desktop libraries; the
desktop program is in the package dbfclean.")
  set(CPACK_COMPONENT_DESKTOP_DESCRIPTION
      "repair NUL bytes in dBASE tables (desktop program)
dbfclean shows a dialog to pick a directory and its dBASE tables (.dbf),
replaces every NUL byte inside the fields of their records by a blank, in
place, erases the directory's .ndx index files so that the application that
owns them rebuilds them, and reports how many bytes it repaired.
.
The command-line program of the same repair is in the package dbfclean-cli.")
endif()

include(CPack)
