# The release files, both dated by SOURCE_DATE_EPOCH (reproductible.cmake):
# - Windows: the operator's ZIP, gsicom.exe with its notes and licence at its root:
#     (cd build/windows && cpack -G ZIP)  ->  gsicom-<version>-win64.zip
# - Linux: the Debian package, gsicom and gsicom-sim in /usr/bin, their manual pages,
#   the README, the copyright file and the changelog:
#     (cd build/native && cpack -G DEB)   ->  gsicom_<version>_amd64.deb
# Each cpack run also writes the package's checksum into SHA256SUMS beside it.
set(CPACK_PACKAGE_NAME gsicom)
set(CPACK_PACKAGE_VENDOR "The gsicom developers")
set(CPACK_PACKAGE_CONTACT "The gsicom developers <gsicom@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_RESOURCE_FILE_LICENSE "${PROJECT_SOURCE_DIR}/LICENSE")
# Whatever the umask, the staged folders are 755 (the package's and lintian's rule).
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
# CPack dates every archived file by SOURCE_DATE_EPOCH when it is set: a cpack run
# without it in the environment takes the one of the configure step.
configure_file(${CMAKE_CURRENT_LIST_DIR}/cpack-projet.cmake.in
  ${PROJECT_BINARY_DIR}/cpack-projet.cmake @ONLY)
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_BINARY_DIR}/cpack-projet.cmake)
# The ZIP's files in sorted order; SHA256SUMS beside the packages.
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/apres-cpack.cmake)

if(WIN32)
  install(TARGETS gsicom RUNTIME DESTINATION .)
  # The text files with CR LF: Notepad before Windows 10 1809 shows LF alone as one line.
  configure_file(docs/LISEZMOI-README.txt ${PROJECT_BINARY_DIR}/zip-textes/LISEZMOI-README.txt
    @ONLY NEWLINE_STYLE CRLF)
  configure_file(LICENSE ${PROJECT_BINARY_DIR}/zip-textes/LICENSE.txt @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${PROJECT_BINARY_DIR}/zip-textes/LISEZMOI-README.txt
    ${PROJECT_BINARY_DIR}/zip-textes/LICENSE.txt DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME "gsicom-${PROJECT_VERSION}-win64")
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
  include(CPack)
  return()
endif()

include(GNUInstallDirs)
set(CMAKE_INSTALL_DOCDIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/gsicom)
install(TARGETS gsicom RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
set(gsicom_pages gsicom)
if(TARGET gsicom-sim)
  install(TARGETS gsicom-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  list(APPEND gsicom_pages gsicom-sim)
endif()

# The manual pages and the changelog, dated and versioned here, gzipped with no name
# and no time stamp inside (gzip -n).
string(TIMESTAMP GSICOM_DATE_CHANGELOG "%a, %d %b %Y %H:%M:%S +0000" UTC)
set(gsicom_gz)
foreach(page ${gsicom_pages})
  configure_file(docs/man/${page}.1.in ${PROJECT_BINARY_DIR}/man/${page}.1 @ONLY)
  list(APPEND gsicom_gz ${PROJECT_BINARY_DIR}/man/${page}.1)
  install(FILES ${PROJECT_BINARY_DIR}/man/${page}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
configure_file(packaging/debian/changelog.in ${PROJECT_BINARY_DIR}/doc/changelog @ONLY)
list(APPEND gsicom_gz ${PROJECT_BINARY_DIR}/doc/changelog)
set(gsicom_sorties)
foreach(f ${gsicom_gz})
  add_custom_command(OUTPUT ${f}.gz COMMAND gzip -9nc ${f} > ${f}.gz DEPENDS ${f} VERBATIM)
  list(APPEND gsicom_sorties ${f}.gz)
endforeach()
add_custom_target(gsicom_docs ALL DEPENDS ${gsicom_sorties})

# The copyright file in the machine-readable format, its licence text from LICENSE.
file(STRINGS LICENSE gsicom_licence)
list(FILTER gsicom_licence EXCLUDE REGEX "^(MIT License|Copyright .*)$")
list(GET gsicom_licence 0 ligne)
while(ligne STREQUAL "")  # the empty lines above the text
  list(POP_FRONT gsicom_licence)
  list(GET gsicom_licence 0 ligne)
endwhile()
set(GSICOM_LICENCE "")
foreach(ligne IN LISTS gsicom_licence)
  if(ligne STREQUAL "")
    string(APPEND GSICOM_LICENCE " .\n")
  else()
    string(APPEND GSICOM_LICENCE " ${ligne}\n")
  endif()
endforeach()
string(REGEX REPLACE "\n$" "" GSICOM_LICENCE "${GSICOM_LICENCE}")
string(REGEX REPLACE "^Copyright \\(c\\) " "" GSICOM_COPYRIGHT_DEP5 "${GSICOM_COPYRIGHT}")
configure_file(packaging/debian/copyright.in ${PROJECT_BINARY_DIR}/doc/copyright @ONLY)

install(FILES README.md ${PROJECT_BINARY_DIR}/doc/copyright ${PROJECT_BINARY_DIR}/doc/changelog.gz
  DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_PACKAGE_DESCRIPTION
  "gsicom is a console program with a short French dialogue: it finds the\n\
serial ports, wakes a Leica total station, lists the jobs in its memory,\n\
and copies the observations or the coordinates of one job into a GSI text\n\
file in the current directory. It can also erase jobs, after an erase code.\n\
gsicom-sim, an instrument simulator on a pseudo-terminal, lets it be tried\n\
with no instrument.")
include(CPack)
