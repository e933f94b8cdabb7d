# Two builds of one commit give the same bytes:
# - SOURCE_DATE_EPOCH: taken from the environment, else the last commit's date, else
#   (a tree outside git) the date of CMakeLists.txt. It dates the manual pages and every
#   file in the ZIP and the Debian package (CPack reads it, see paquets.cmake).
# - No build path in the binaries: the source folder is "." in __FILE__ and debug info.
# - The PE header has no time stamp (the gsicom target, -Wl,--no-insert-timestamp).
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(GSICOM_SOURCE_DATE_EPOCH "$ENV{SOURCE_DATE_EPOCH}")
else()
  find_package(Git QUIET)
  if(GIT_FOUND)
    execute_process(COMMAND "${GIT_EXECUTABLE}" -C "${PROJECT_SOURCE_DIR}" log -1 --format=%ct
      OUTPUT_VARIABLE GSICOM_SOURCE_DATE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE
      RESULT_VARIABLE git_code ERROR_QUIET)
    execute_process(COMMAND "${GIT_EXECUTABLE}" -C "${PROJECT_SOURCE_DIR}" rev-parse --absolute-git-dir
      OUTPUT_VARIABLE git_dossier OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    # A new commit configures again, for its date.
    if(git_code EQUAL 0 AND EXISTS "${git_dossier}/logs/HEAD")
      set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${git_dossier}/logs/HEAD")
    endif()
  endif()
  if(NOT GSICOM_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
    file(TIMESTAMP "${PROJECT_SOURCE_DIR}/CMakeLists.txt" GSICOM_SOURCE_DATE_EPOCH "%s" UTC)
  endif()
  # string(TIMESTAMP) below and the CPack run read it from the environment.
  set(ENV{SOURCE_DATE_EPOCH} "${GSICOM_SOURCE_DATE_EPOCH}")
endif()
string(TIMESTAMP GSICOM_DATE "%Y-%m-%d" UTC)
string(TIMESTAMP GSICOM_ANNEE "%Y" UTC)

add_compile_options("-ffile-prefix-map=${PROJECT_SOURCE_DIR}/=./")
