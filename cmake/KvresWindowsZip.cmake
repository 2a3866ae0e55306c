# The Windows release: kvres-<version>-win32.zip, all in one folder
# kvres-<version>-win32/, with the plug-in kvres.dll
# (for the host's plug-in folder), kvres-tool.exe and the rxResult.dll it
# needs (the host brings its own), the example set and README-windows.txt.
# Built by the target kvres_windows_zip (make package-windows) into the build
# folder.
set(KVRES_ZIP_NAME kvres-${PROJECT_VERSION}-win32)
set(KVRES_ZIP_STAGE ${CMAKE_BINARY_DIR}/${KVRES_ZIP_NAME})
set(KVRES_ZIP ${CMAKE_BINARY_DIR}/${KVRES_ZIP_NAME}.zip)
if(TARGET kvres AND TARGET kvres-tool AND TARGET examples)
  # The release's binaries carry no debug information.
  set(KVRES_ZIP_STRIP ${CMAKE_COMMAND} -E true)
  if(CMAKE_STRIP)
    set(KVRES_ZIP_STRIP ${CMAKE_STRIP} --strip-debug ${KVRES_ZIP_STAGE}/kvres.dll
      ${KVRES_ZIP_STAGE}/kvres-tool.exe ${KVRES_ZIP_STAGE}/rxResult.dll)
  endif()
  configure_file(${CMAKE_SOURCE_DIR}/packaging/README-windows.txt.in
    ${CMAKE_BINARY_DIR}/README-windows.txt @ONLY NEWLINE_STYLE CRLF)
  add_custom_target(kvres_windows_zip
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${KVRES_ZIP_STAGE} ${KVRES_ZIP}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${KVRES_ZIP_STAGE}/examples
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:kvres> $<TARGET_FILE:kvres-tool>
      $<TARGET_FILE:rxResult> ${CMAKE_BINARY_DIR}/README-windows.txt ${KVRES_ZIP_STAGE}
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_BINARY_DIR}/examples/beam.res
      ${CMAKE_BINARY_DIR}/examples/beam1.res ${CMAKE_BINARY_DIR}/examples/beam2.res
      ${KVRES_ZIP_STAGE}/examples
    COMMAND ${KVRES_ZIP_STRIP}
    COMMAND ${CMAKE_COMMAND} -E chdir ${CMAKE_BINARY_DIR}
      ${CMAKE_COMMAND} -E tar cf ${KVRES_ZIP} --format=zip -- ${KVRES_ZIP_NAME}
    DEPENDS kvres kvres-tool rxResult examples
    COMMENT "Packing ${KVRES_ZIP_NAME}.zip"
    VERBATIM)
endif()
