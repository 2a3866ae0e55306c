# What `cmake --install build --prefix P` puts where:
#   P/bin/kvres-tool                   finds its plug-in in ../lib/kvres
#   P/lib/kvres/kvres.so, rxResult.so  the plug-in and the host library: loaded
#                                      by path or run path, never linked by name
#   P/lib/libkvres_reader.so*          the C++ read API (and libkvres_writer)
#   P/include/kvres/                   the public headers
#   P/lib/cmake/kvres/                 kvresConfig.cmake: kvres::reader, kvres::writer
#   P/lib/pkgconfig/kvres.pc
#   P/lib/python3/dist-packages/       the Python module (python/CMakeLists.txt)
#   P/share/doc/kvres/                 the documentation
# and the Debian package that `make package` (cpack) builds from it.
include(CMakePackageConfigHelpers)

set(KVRES_PRIVATE_LIBDIR ${CMAKE_INSTALL_LIBDIR}/kvres)
set(KVRES_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/kvres)
# Shared libraries are not executables (Debian's policy; lintian checks it).
set(CMAKE_INSTALL_SO_NO_EXE ON)

if(WIN32)
  # The Windows build ships as a zip (cmake/KvresWindowsZip.cmake).
  include(${CMAKE_SOURCE_DIR}/cmake/KvresWindowsZip.cmake)
  return()
endif()

if(TARGET kvres-tool)
  install(TARGETS kvres-tool RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)
endif()
if(TARGET kvres)
  # The plug-in resolves rxResult from the process that loads it, or beside itself.
  set_target_properties(kvres PROPERTIES INSTALL_RPATH "$ORIGIN")
  install(TARGETS kvres LIBRARY DESTINATION ${KVRES_PRIVATE_LIBDIR} COMPONENT runtime)
endif()
set_target_properties(rxResult PROPERTIES EXPORT_NAME rxResult)
install(TARGETS rxResult EXPORT kvresTargets
  LIBRARY DESTINATION ${KVRES_PRIVATE_LIBDIR} COMPONENT runtime)

set(KVRES_API_TARGETS "")
set(KVRES_PC_LIBS "")
if(TARGET kvres_reader)
  file(RELATIVE_PATH KVRES_LIB_TO_PRIVATE /root/${CMAKE_INSTALL_LIBDIR} /root/${KVRES_PRIVATE_LIBDIR})
  set_target_properties(kvres_reader PROPERTIES INSTALL_RPATH "$ORIGIN/${KVRES_LIB_TO_PRIVATE}")
  list(APPEND KVRES_API_TARGETS kvres_reader)
  string(APPEND KVRES_PC_LIBS " -lkvres_reader")
endif()
if(TARGET kvres_writer)
  set_target_properties(kvres_writer PROPERTIES EXPORT_NAME writer)
  list(APPEND KVRES_API_TARGETS kvres_writer)
  string(APPEND KVRES_PC_LIBS " -lkvres_writer")
endif()
if(KVRES_API_TARGETS)
  install(TARGETS ${KVRES_API_TARGETS} EXPORT kvresTargets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development
      NAMELINK_COMPONENT development
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT development
    INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
endif()
install(DIRECTORY ${CMAKE_SOURCE_DIR}/include/kvres ${CMAKE_BINARY_DIR}/include/kvres
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT development
  FILES_MATCHING PATTERN "*.h" PATTERN "*.hpp")

install(EXPORT kvresTargets NAMESPACE kvres:: FILE kvresTargets.cmake
  DESTINATION ${KVRES_CMAKE_DIR} COMPONENT development)
configure_package_config_file(${CMAKE_SOURCE_DIR}/cmake/kvresConfig.cmake.in
  ${CMAKE_BINARY_DIR}/kvresConfig.cmake INSTALL_DESTINATION ${KVRES_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/kvresConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/kvresConfig.cmake ${CMAKE_BINARY_DIR}/kvresConfigVersion.cmake
  DESTINATION ${KVRES_CMAKE_DIR} COMPONENT development)

# pkg-config: the prefix is found from the .pc file's own place, so the files
# work from any prefix the tree is installed or unpacked into.
file(RELATIVE_PATH KVRES_PC_TO_PREFIX /root/${CMAKE_INSTALL_LIBDIR}/pkgconfig /root)
string(REGEX REPLACE "/$" "" KVRES_PC_TO_PREFIX "${KVRES_PC_TO_PREFIX}")
configure_file(${CMAKE_SOURCE_DIR}/cmake/kvres.pc.in ${CMAKE_BINARY_DIR}/kvres.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/kvres.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT development)

# Documentation, with the Debian package's copyright and changelog.
set(KVRES_PACKAGE_CONTACT "kvres developers <kvres-dev@example.org>" CACHE STRING
  "The Debian package's maintainer, name and mail address")
set(KVRES_DOC_FILES ${CMAKE_SOURCE_DIR}/README.md)
file(GLOB KVRES_DOCS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/docs/*.md)
install(FILES ${KVRES_DOC_FILES} ${KVRES_DOCS} ${CMAKE_SOURCE_DIR}/packaging/copyright
  DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT runtime)
set(KVRES_CHANGELOG_GZ ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
add_custom_command(OUTPUT ${KVRES_CHANGELOG_GZ}
  COMMAND ${CMAKE_COMMAND} -DSOURCE=${CMAKE_SOURCE_DIR}/packaging/changelog.in
    -DOUTPUT=${KVRES_CHANGELOG_GZ} -DVERSION=${PROJECT_VERSION}
    -DCONTACT=${KVRES_PACKAGE_CONTACT}
    -P ${CMAKE_SOURCE_DIR}/cmake/GzipChangelog.cmake
  DEPENDS ${CMAKE_SOURCE_DIR}/packaging/changelog.in ${CMAKE_SOURCE_DIR}/cmake/GzipChangelog.cmake
  VERBATIM)
add_custom_target(kvres_changelog ALL DEPENDS ${KVRES_CHANGELOG_GZ})
install(FILES ${KVRES_CHANGELOG_GZ} DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT runtime)

include(${CMAKE_SOURCE_DIR}/cmake/KvresPackage.cmake)
