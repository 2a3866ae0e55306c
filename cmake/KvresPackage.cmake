# `make package` (cpack): one Debian package, kvres_<version>_<arch>.deb, of
# everything `cmake --install` installs, for the prefix /usr. The C++ runtime
# dependencies come from dpkg-shlibdeps; the Python module needs numpy and the
# Python it was built for.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kvres)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "kvres developers")
set(CPACK_PACKAGE_CONTACT "${KVRES_PACKAGE_CONTACT}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "reader plug-in, tool and libraries for .res result files")
set(CPACK_PACKAGE_DESCRIPTION
  "kvres reads binary .res finite-element result sets (one file or a numbered
series). The package holds kvres-tool (info, dump, check, diff, history), the
reader plug-in for post-processing hosts, the C++ read API with its CMake and
pkg-config files, and the Python module kvres, which reads result sets as
numpy arrays.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The host library lies in the package's private folder, not in a package of
# its own.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/bin)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
if(KVRES_PYTHON_VERSION)
  string(REGEX REPLACE "^([0-9]+)\\.([0-9]+)$" "\\1.\\2" kvres_py "${KVRES_PYTHON_VERSION}")
  math(EXPR kvres_py_next "${CMAKE_MATCH_2} + 1")
  set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "python3 (>= ${kvres_py}~), python3 (<< ${CMAKE_MATCH_1}.${kvres_py_next}), python3-numpy")
endif()
# The public library's ldconfig run, as a trigger (Debian's way today).
file(WRITE ${CMAKE_BINARY_DIR}/packaging/triggers "activate-noawait ldconfig\n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/packaging/triggers)

include(CPack)
