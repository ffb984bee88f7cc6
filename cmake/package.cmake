# cpack: one Debian package of everything cmake --install installs, laid out
# under /usr (the libraries, the virtual printer and tiv in /usr/lib/tiv02000,
# tiv also in /usr/bin, headers, CMake and pkg-config files, the docs).
set(TIV_PACKAGE_MAINTAINER "Tiv02000 maintainers <maintainers@tiv02000.example>"
  CACHE STRING "The Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tiv02000)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${TIV_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "fiscal-printer driver for Brazilian points of sale, with a virtual printer")
# The summary becomes the first line; CPack indents the rest as dpkg wants.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "The driver module libtiv02000.so, whose procedures a point-of-sale host
calls by plain name, the virtual fiscal printer behind the vendor library's
entry points (libInterfaceEpson.so), the EAD signing library, libtivcall
(the procedures from any language: C functions, JSON in and out) and tiv,
the command-line host and local HTTP/JSON-lines service.

Headers, a CMake package (find_package(Tiv02000)) and pkg-config files
(tivcall, tiv02000) for host authors; the documentation and examples in
/usr/share/doc/tiv02000.")
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# tiv02000_0.1_amd64.deb, the name dpkg expects.
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Dependencies from what the binaries link (dpkg-shlibdeps); the package's own
# libraries are found beside one another.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/bin)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "pkg-config, cmake, python3")
# A package of binaries without their debug information: a tenth of the size.
set(CPACK_STRIP_FILES ON)
include(CPack)
