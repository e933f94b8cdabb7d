# gsicom.exe's resources: its version information (Explorer's Properties > Details) and
# its application manifest, made from the project's version. Sets GSICOM_RC.
set(GSICOM_VERSION_RC "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},0")
configure_file(${CMAKE_CURRENT_LIST_DIR}/gsicom.exe.manifest.in
  ${CMAKE_CURRENT_BINARY_DIR}/gsicom.exe.manifest @ONLY)
configure_file(${CMAKE_CURRENT_LIST_DIR}/gsicom.rc.in ${CMAKE_CURRENT_BINARY_DIR}/gsicom.rc @ONLY)
set(GSICOM_RC ${CMAKE_CURRENT_BINARY_DIR}/gsicom.rc)
# The manifest is read by windres: a change to it remakes the resource.
set_property(SOURCE ${GSICOM_RC} APPEND PROPERTY OBJECT_DEPENDS
  ${CMAKE_CURRENT_BINARY_DIR}/gsicom.exe.manifest)
