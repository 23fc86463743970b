# Versions, installation, the CMake package, pkg-config and CPack.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

configure_file(${CMAKE_CURRENT_LIST_DIR}/Version.h.in
  ${CMAKE_BINARY_DIR}/include/TalqOSUtils/Version.h @ONLY)

# Shared-library versions: libTalqOSUtils.so.0 -> .so.0.2.0 on Linux, and a
# VERSIONINFO resource in each DLL.
foreach(lib IN ITEMS TalqOSUtils Vandrel)
  set_target_properties(${lib} PROPERTIES
    VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR})
endforeach()
# Installed anywhere, TalqOSUtils finds the Vandrel beside it.
if(NOT APPLE AND NOT WIN32)
  set_target_properties(TalqOSUtils PROPERTIES INSTALL_RPATH "$ORIGIN")
endif()
if(WIN32)
  function(talq_version_resource target description)
    set(TALQ_RC_NAME ${target})
    set(TALQ_RC_DESCRIPTION "${description}")
    configure_file(${CMAKE_CURRENT_FUNCTION_LIST_DIR}/VersionInfo.rc.in
      ${CMAKE_BINARY_DIR}/${target}_version.rc @ONLY)
    target_sources(${target} PRIVATE ${CMAKE_BINARY_DIR}/${target}_version.rc)
  endfunction()
  talq_version_resource(TalqOSUtils "TalqOSUtils: paths, file streams, directory search, text")
  talq_version_resource(Vandrel "Vandrel: text conversions and file specifications")
  # The DLLs carry no lib prefix; keep the import libraries' names alike.
  set_target_properties(TalqOSUtils Vandrel PROPERTIES IMPORT_PREFIX "")
endif()

install(TARGETS TalqOSUtils Vandrel EXPORT TalqOSUtilsTargets
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY include/TalqOSUtils vandrel/include/Vandrel
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES ${CMAKE_BINARY_DIR}/include/TalqOSUtils/Version.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/TalqOSUtils)
if(WIN32)
  # The mingw runtime the DLLs were built with travels with them.
  install(FILES ${TALQ_MINGW_RUNTIME_DLLS} DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

set(TALQ_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/TalqOSUtils)
install(EXPORT TalqOSUtilsTargets NAMESPACE TalqOSUtils:: DESTINATION ${TALQ_CMAKE_DIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/TalqOSUtilsConfig.cmake.in
  ${CMAKE_BINARY_DIR}/TalqOSUtilsConfig.cmake INSTALL_DESTINATION ${TALQ_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/TalqOSUtilsConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/TalqOSUtilsConfig.cmake
  ${CMAKE_BINARY_DIR}/TalqOSUtilsConfigVersion.cmake DESTINATION ${TALQ_CMAKE_DIR})

# The .pc file finds its prefix from where it lies, so a package installed
# under any prefix (or unpacked anywhere) describes itself correctly.
file(RELATIVE_PATH TALQ_PC_UP /root/${CMAKE_INSTALL_LIBDIR}/pkgconfig /root)
set(TALQ_PC_PREFIX "\${pcfiledir}/${TALQ_PC_UP}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/talqosutils.pc.in
  ${CMAKE_BINARY_DIR}/talqosutils.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/talqosutils.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

set(CPACK_PACKAGE_NAME talqosutils)
set(CPACK_PACKAGE_VENDOR "TalqOSUtils developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "Platform-neutral paths, file streams, directory search and text conversion")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "TalqOSUtils developers <talqosutils@localhost>")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME win64)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libstdc++6")
  set(CPACK_DEBIAN_PACKAGE_SECTION libdevel)
endif()
include(CPack)
