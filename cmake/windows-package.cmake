# The zip a simmer downloads: Varnel.exe with its docs folder and data files, as the program folder
# of the Linux stage holds them. SimConnect.dll comes from the simulator's SDK and is not shipped.
set(VARNEL_PACKAGE_ROOT ${CMAKE_BINARY_DIR}/package)
set(VARNEL_PACKAGE_STAGE ${VARNEL_PACKAGE_ROOT}/Varnel)
set(VARNEL_PACKAGE_ZIP ${CMAKE_BINARY_DIR}/Varnel-${PROJECT_VERSION}-win64.zip)
file(GLOB_RECURSE package_inputs CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/data/* ${CMAKE_SOURCE_DIR}/docs/*)
add_custom_command(OUTPUT ${VARNEL_PACKAGE_ZIP}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${VARNEL_PACKAGE_ROOT}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${VARNEL_PACKAGE_STAGE}
  # The data builder runs under Wine; its sample packages for the demo stay out of the zip.
  COMMAND varnel-data all --source ${CMAKE_SOURCE_DIR}/data --program ${VARNEL_PACKAGE_STAGE}
          --packages ${VARNEL_PACKAGE_ROOT}/demo-packages
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${VARNEL_PACKAGE_ROOT}/demo-packages
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${CMAKE_SOURCE_DIR}/docs ${VARNEL_PACKAGE_STAGE}/docs
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/README.md $<TARGET_FILE:varnel> ${VARNEL_PACKAGE_STAGE}
  COMMAND ${CMAKE_COMMAND} -E rm -f ${VARNEL_PACKAGE_ZIP}
  COMMAND ${CMAKE_COMMAND} -E chdir ${VARNEL_PACKAGE_ROOT}
          ${CMAKE_COMMAND} -E tar cf ${VARNEL_PACKAGE_ZIP} --format=zip Varnel
  DEPENDS varnel varnel-data ${package_inputs} ${CMAKE_SOURCE_DIR}/README.md
  COMMENT "Packing Varnel-${PROJECT_VERSION}-win64.zip"
  VERBATIM)
add_custom_target(varnel_package ALL DEPENDS ${VARNEL_PACKAGE_ZIP})
