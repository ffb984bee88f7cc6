# cmake --install: everything the module needs in one folder, lib/tiv02000/
# (the module finds its vendor library and tiv finds the module beside
# itself), tiv reached from bin/, the public headers, a CMake package and
# pkg-config files for hosts.
include(GNUInstallDirs)
set(TIV_INSTALL_PKGDIR ${CMAKE_INSTALL_LIBDIR}/tiv02000)

install(TARGETS tiv02000 tivplatform tivhost tivcall InterfaceEpson tiv
  LIBRARY DESTINATION ${TIV_INSTALL_PKGDIR}
  RUNTIME DESTINATION ${TIV_INSTALL_PKGDIR})
if(TARGET sign_bema)
  install(TARGETS sign_bema LIBRARY DESTINATION ${TIV_INSTALL_PKGDIR})
endif()
install(CODE "file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
  file(CREATE_LINK ../${TIV_INSTALL_PKGDIR}/tiv
    \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/tiv\" SYMBOLIC)")
install(DIRECTORY ${CMAKE_SOURCE_DIR}/include/tiv02000 ${CMAKE_SOURCE_DIR}/include/tivplatform
  ${CMAKE_SOURCE_DIR}/include/tivhost ${CMAKE_SOURCE_DIR}/include/tivcall
  ${CMAKE_SOURCE_DIR}/include/ecfsim
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

include(CMakePackageConfigHelpers)
configure_package_config_file(${CMAKE_SOURCE_DIR}/cmake/Tiv02000Config.cmake.in
  ${CMAKE_BINARY_DIR}/Tiv02000Config.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Tiv02000
  PATH_VARS CMAKE_INSTALL_INCLUDEDIR TIV_INSTALL_PKGDIR)
write_basic_package_version_file(${CMAKE_BINARY_DIR}/Tiv02000ConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES ${CMAKE_BINARY_DIR}/Tiv02000Config.cmake
  ${CMAKE_BINARY_DIR}/Tiv02000ConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Tiv02000)

foreach(pc tivcall tiv02000)
  configure_file(${CMAKE_SOURCE_DIR}/cmake/${pc}.pc.in ${CMAKE_BINARY_DIR}/${pc}.pc @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/${pc}.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
endforeach()

# Installed, every library finds the others in its own folder.
set_target_properties(tivplatform tivhost InterfaceEpson PROPERTIES INSTALL_RPATH "\$ORIGIN")

# The documentation and the examples a host author starts from, laid out as
# in the source tree so that the README's links hold.
set(TIV_INSTALL_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/tiv02000)
install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION ${TIV_INSTALL_DOCDIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/docs ${CMAKE_SOURCE_DIR}/examples
  DESTINATION ${TIV_INSTALL_DOCDIR}
  PATTERN __pycache__ EXCLUDE)
