# Run by cpack once it has made a package (CPACK_POST_BUILD_SCRIPTS), before the
# package is copied beside the build:
# - the ZIP: CPack adds the files in the order the file system lists them, which differs
#   from one disk to another; the ZIP is made again from the same staged files in sorted
#   order (cmake's archive writer dates each one by SOURCE_DATE_EPOCH, as CPack did);
# - SHA256SUMS beside the packages gets each package's line, for sha256sum -c.
foreach(paquet IN LISTS CPACK_PACKAGE_FILES)
  if(CPACK_GENERATOR STREQUAL "ZIP")
    file(GLOB_RECURSE membres RELATIVE "${CPACK_TEMPORARY_DIRECTORY}" "${CPACK_TEMPORARY_DIRECTORY}/*")
    list(SORT membres)
    file(REMOVE "${paquet}")
    execute_process(COMMAND "${CMAKE_COMMAND}" -E tar cf "${paquet}" --format=zip -- ${membres}
      WORKING_DIRECTORY "${CPACK_TEMPORARY_DIRECTORY}" RESULT_VARIABLE code)
    if(NOT code EQUAL 0)
      message(FATAL_ERROR "could not make ${paquet} again in sorted order")
    endif()
  endif()
  get_filename_component(nom "${paquet}" NAME)
  file(SHA256 "${paquet}" somme)
  set(sommes "${CPACK_PACKAGE_DIRECTORY}/SHA256SUMS")
  set(lignes "")
  if(EXISTS "${sommes}")
    # Only the other packages still there: not this one's old line, nor an old version's.
    file(STRINGS "${sommes}" anciennes)
    foreach(ligne IN LISTS anciennes)
      string(REGEX REPLACE "^[0-9a-f]+  " "" fichier "${ligne}")
      if(NOT fichier STREQUAL nom AND EXISTS "${CPACK_PACKAGE_DIRECTORY}/${fichier}")
        list(APPEND lignes "${ligne}")
      endif()
    endforeach()
  endif()
  list(APPEND lignes "${somme}  ${nom}")
  list(SORT lignes COMPARE STRING)
  list(JOIN lignes "\n" texte)
  file(WRITE "${sommes}" "${texte}\n")
endforeach()
