# What `cmake --install build --prefix P` puts where (LIBDIR is lib, or
# lib/<multiarch triplet> for the prefix /usr on Debian):
#   P/bin/kvres-tool                     finds its plug-in in ../LIBDIR/kvres,
#                                        or beside itself (a flat folder)
#   P/LIBDIR/kvres/kvres.so, rxResult.so the plug-in and the host library: loaded
#                                        by path or run path, never linked by name
#   P/LIBDIR/libkvres_reader.so*         the C++ read API (shared, SONAME .so.1)
#   P/LIBDIR/libkvres_writer.a           the writer library (static)
#   P/include/kvres/                     the public headers
#   P/LIBDIR/cmake/kvres/                kvresConfig.cmake: kvres::reader, kvres::writer
#   P/LIBDIR/pkgconfig/kvres.pc
#   P/share/man/man1/kvres-tool.1        the manual page (help2man)
#   P/share/bash-completion/..., P/share/zsh/vendor-completions/
#                                        the tool's completions, where the tree has them
#   Python's folder for P                the Python module and its dist-info
#                                        (python/CMakeLists.txt)
#   P/share/doc/kvres/                   the documentation
# The Debian packages are built from the same rules by packaging/debian.
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
  # Installed, the tool finds the host library in the plug-in's folder; copied
  # into one flat folder with kvres.so and rxResult.so, beside itself.
  set_target_properties(kvres-tool PROPERTIES
    INSTALL_RPATH "$ORIGIN/${KVRES_TOOL_TO_PLUGIN};$ORIGIN")
  install(TARGETS kvres-tool RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)
endif()
if(TARGET kvres)
  # The plug-in resolves rxResult from the process that loads it, or beside itself.
  set_target_properties(kvres PROPERTIES INSTALL_RPATH "$ORIGIN")
  install(TARGETS kvres LIBRARY DESTINATION ${KVRES_PRIVATE_LIBDIR} COMPONENT runtime)
endif()
# The host library is a private library of the tool, the plug-in and the
# reader library: consumers of kvres::reader never link it by name, so it is
# not part of the CMake export.
install(TARGETS rxResult LIBRARY DESTINATION ${KVRES_PRIVATE_LIBDIR} COMPONENT runtime)

# The manual page, from the tool's own --help and --version (help2man), so
# that it lists every command the tool has. A cross build cannot run the tool.
if(TARGET kvres-tool AND NOT CMAKE_CROSSCOMPILING)
  find_program(KVRES_HELP2MAN help2man)
  if(KVRES_HELP2MAN)
    set(KVRES_MAN_PAGE ${CMAKE_BINARY_DIR}/man/kvres-tool.1)
    add_custom_command(OUTPUT ${KVRES_MAN_PAGE}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
      COMMAND ${KVRES_HELP2MAN} --no-info --no-discard-stderr
        --name "inspect, check, compare and convert .res result sets"
        --include ${CMAKE_SOURCE_DIR}/packaging/kvres-tool.h2m
        --output ${KVRES_MAN_PAGE} $<TARGET_FILE:kvres-tool>
      DEPENDS kvres-tool kvres ${CMAKE_SOURCE_DIR}/packaging/kvres-tool.h2m
      COMMENT "Writing the manual page kvres-tool.1 with help2man"
      VERBATIM)
    add_custom_target(kvres_man ALL DEPENDS ${KVRES_MAN_PAGE})
    install(FILES ${KVRES_MAN_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT runtime)
  else()
    message(WARNING "help2man not found: kvres-tool's manual page is not built "
      "(install help2man; make build does)")
  endif()
endif()

# The tool's shell completions, where the tree has them.
if(TARGET kvres-tool AND EXISTS ${CMAKE_SOURCE_DIR}/tools/completion/kvres-tool.bash)
  install(FILES ${CMAKE_SOURCE_DIR}/tools/completion/kvres-tool.bash
    DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME kvres-tool
    COMPONENT runtime)
endif()
if(TARGET kvres-tool AND EXISTS ${CMAKE_SOURCE_DIR}/tools/completion/_kvres-tool)
  install(FILES ${CMAKE_SOURCE_DIR}/tools/completion/_kvres-tool
    DESTINATION ${CMAKE_INSTALL_DATADIR}/zsh/vendor-completions COMPONENT runtime)
endif()

set(KVRES_API_TARGETS "")
set(KVRES_PC_LIBS "")
if(TARGET kvres_reader)
  file(RELATIVE_PATH KVRES_LIB_TO_PRIVATE /root/${CMAKE_INSTALL_LIBDIR} /root/${KVRES_PRIVATE_LIBDIR})
  set_target_properties(kvres_reader PROPERTIES INSTALL_RPATH "$ORIGIN/${KVRES_LIB_TO_PRIVATE}")
  list(APPEND KVRES_API_TARGETS kvres_reader)
  string(APPEND KVRES_PC_LIBS " -lkvres_reader")
endif()
# The writer stays a static library: it is small, its classes carry no
# export annotations, and linked in it gives a consumer no second ABI to
# follow (docs/install.md).
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

# pkg-config, written at install time for the prefix it is installed into:
# for the system prefixes /usr and /usr/local absolute and without an include
# flag (the compiler searches their include folders itself); for any other
# prefix found from the .pc file's own place, so that the tree works wherever
# it is installed or unpacked.
file(RELATIVE_PATH KVRES_PC_TO_PREFIX /root/${CMAKE_INSTALL_LIBDIR}/pkgconfig /root)
string(REGEX REPLACE "/$" "" KVRES_PC_TO_PREFIX "${KVRES_PC_TO_PREFIX}")
install(CODE "
  if(CMAKE_INSTALL_PREFIX STREQUAL \"/usr\" OR CMAKE_INSTALL_PREFIX STREQUAL \"/usr/local\")
    set(KVRES_PC_PREFIX \"\${CMAKE_INSTALL_PREFIX}\")
    set(KVRES_PC_CFLAGS \"\")
  else()
    set(KVRES_PC_PREFIX \"\\\${pcfiledir}/${KVRES_PC_TO_PREFIX}\")
    set(KVRES_PC_CFLAGS \" -I\\\${includedir}\")
  endif()
  set(CMAKE_INSTALL_LIBDIR \"${CMAKE_INSTALL_LIBDIR}\")
  set(CMAKE_INSTALL_INCLUDEDIR \"${CMAKE_INSTALL_INCLUDEDIR}\")
  set(PROJECT_VERSION \"${PROJECT_VERSION}\")
  set(KVRES_PC_LIBS \"${KVRES_PC_LIBS}\")
  configure_file(\"${CMAKE_SOURCE_DIR}/cmake/kvres.pc.in\" \"${CMAKE_BINARY_DIR}/kvres.pc\" @ONLY)
" COMPONENT development)
install(FILES ${CMAKE_BINARY_DIR}/kvres.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT development)

# Documentation, with the copyright and the changelog.
set(KVRES_PACKAGE_CONTACT "kvres developers <kvres-dev@example.org>" CACHE STRING
  "The Debian packages' maintainer, name and mail address")
set(KVRES_DOC_FILES ${CMAKE_SOURCE_DIR}/README.md)
file(GLOB KVRES_DOCS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/docs/*.md)
install(FILES ${KVRES_DOC_FILES} ${KVRES_DOCS} ${CMAKE_SOURCE_DIR}/packaging/copyright
  DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT runtime)
set(KVRES_CHANGELOG_GZ ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
add_custom_command(OUTPUT ${KVRES_CHANGELOG_GZ}
  COMMAND ${CMAKE_COMMAND} -DSOURCE=${CMAKE_SOURCE_DIR}/packaging/debian/changelog.in
    -DOUTPUT=${KVRES_CHANGELOG_GZ} -DVERSION=${PROJECT_VERSION}
    -DCONTACT=${KVRES_PACKAGE_CONTACT}
    -P ${CMAKE_SOURCE_DIR}/cmake/GzipChangelog.cmake
  DEPENDS ${CMAKE_SOURCE_DIR}/packaging/debian/changelog.in ${CMAKE_SOURCE_DIR}/cmake/GzipChangelog.cmake
  VERBATIM)
add_custom_target(kvres_changelog ALL DEPENDS ${KVRES_CHANGELOG_GZ})
install(FILES ${KVRES_CHANGELOG_GZ} DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT runtime)

# Where the Python module went, said last (python/CMakeLists.txt).
if(KVRES_PYTHON_INSTALL_REPORT)
  install(CODE "${KVRES_PYTHON_INSTALL_REPORT}" COMPONENT python)
endif()
