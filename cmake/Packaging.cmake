# Versions, installation, the CMake package, pkg-config and CPack.
#
# Install components: runtime (the two shared libraries), dev (headers,
# link-time names, import libraries, CMake package, .pc) and tool (talq).
# CPack makes one .deb of each; the Windows .zip holds all three.

# Debian and its derivatives keep libraries in the multiarch directory
# (lib/x86_64-linux-gnu). GNUInstallDirs picks it only for the prefix /usr;
# here it holds for every prefix, so a plain install, the .deb (made from a
# build configured for any prefix) and talq's runpath agree.
if(CMAKE_LIBRARY_ARCHITECTURE AND NOT WIN32 AND NOT DEFINED CMAKE_INSTALL_LIBDIR)
  set(CMAKE_INSTALL_LIBDIR lib/${CMAKE_LIBRARY_ARCHITECTURE} CACHE PATH
    "Object code libraries (LIBDIR)")
endif()
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
# Installed anywhere, TalqOSUtils finds the Vandrel beside it, and an
# installed executable finds both through TALQ_EXECUTABLE_RPATH, relative to
# its own folder ($ORIGIN/../lib/x86_64-linux-gnu). On Windows the DLLs sit
# in bin/ beside the executables.
if(NOT APPLE AND NOT WIN32)
  set_target_properties(TalqOSUtils PROPERTIES INSTALL_RPATH "$ORIGIN")
  file(RELATIVE_PATH _bin_to_lib ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBDIR})
  set(TALQ_EXECUTABLE_RPATH "$ORIGIN/${_bin_to_lib}")
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
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT dev
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY include/TalqOSUtils vandrel/include/Vandrel
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT dev)
install(FILES ${CMAKE_BINARY_DIR}/include/TalqOSUtils/Version.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/TalqOSUtils COMPONENT dev)
if(WIN32)
  # The zip says what it is and under which terms: the README and the
  # copyright text beside bin/ and lib/.
  configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/copyright ${CMAKE_BINARY_DIR}/COPYRIGHT.txt
    @ONLY)
  install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_BINARY_DIR}/COPYRIGHT.txt
    DESTINATION . COMPONENT runtime)
  # The mingw runtime the DLLs were built with travels with them.
  install(FILES ${TALQ_MINGW_RUNTIME_DLLS} DESTINATION ${CMAKE_INSTALL_BINDIR}
    COMPONENT runtime)
endif()

set(TALQ_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/TalqOSUtils)
install(EXPORT TalqOSUtilsTargets NAMESPACE TalqOSUtils:: DESTINATION ${TALQ_CMAKE_DIR}
  COMPONENT dev)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/TalqOSUtilsConfig.cmake.in
  ${CMAKE_BINARY_DIR}/TalqOSUtilsConfig.cmake INSTALL_DESTINATION ${TALQ_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/TalqOSUtilsConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/TalqOSUtilsConfig.cmake
  ${CMAKE_BINARY_DIR}/TalqOSUtilsConfigVersion.cmake DESTINATION ${TALQ_CMAKE_DIR}
  COMPONENT dev)

# The .pc file finds its prefix from where it lies, so a package installed
# under any prefix (or unpacked anywhere) describes itself correctly.
file(RELATIVE_PATH TALQ_PC_UP /root/${CMAKE_INSTALL_LIBDIR}/pkgconfig /root)
set(TALQ_PC_PREFIX "\${pcfiledir}/${TALQ_PC_UP}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/talqosutils.pc.in
  ${CMAKE_BINARY_DIR}/talqosutils.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/talqosutils.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT dev)

# CPack's settings; the top-level CMakeLists.txt includes CPack itself.
set(CPACK_PACKAGE_NAME talqosutils)
set(CPACK_PACKAGE_VENDOR "TalqOSUtils developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES ON)
set(TALQ_PACKAGE_MAINTAINER "TalqOSUtils developers <dev@talqosutils.invalid>"
  CACHE STRING "Maintainer named in the packages")
set(CPACK_PACKAGE_CONTACT "${TALQ_PACKAGE_MAINTAINER}")
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME win64)
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Platform-neutral paths, file streams, directory search and text conversion")
else()
  include(${CMAKE_CURRENT_LIST_DIR}/DebianPackages.cmake)
endif()

# Hosts built with other compilers (MSVC) use the C interface, talq.h: the
# .zip carries a module-definition file naming its functions and an import
# library made from it for Microsoft's linker (by llvm-dlltool).
if(WIN32)
  file(STRINGS ${CMAKE_SOURCE_DIR}/include/TalqOSUtils/talq.h _talq_decls REGEX "^TALQ_API")
  set(_talq_def "LIBRARY TalqOSUtils.dll\nEXPORTS\n")
  foreach(_decl IN LISTS _talq_decls)
    string(REGEX REPLACE "^TALQ_API[^(]*[ *](talq_[A-Za-z0-9_]+)\\(.*" "\\1" _name "${_decl}")
    string(APPEND _talq_def "  ${_name}\n")
  endforeach()
  file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/talq.def CONTENT "${_talq_def}")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
    ${CMAKE_SOURCE_DIR}/include/TalqOSUtils/talq.h)
  find_program(TALQ_DLLTOOL NAMES llvm-dlltool llvm-dlltool-14 PATHS /usr/lib/llvm-14/bin REQUIRED)
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/talq.lib
    COMMAND ${TALQ_DLLTOOL} -m i386:x86-64 -d ${CMAKE_BINARY_DIR}/talq.def
      -l ${CMAKE_BINARY_DIR}/talq.lib
    DEPENDS ${CMAKE_BINARY_DIR}/talq.def COMMENT "talq.lib: the C interface for MSVC's linker")
  add_custom_target(talq_msvc_import ALL DEPENDS ${CMAKE_BINARY_DIR}/talq.lib)
  install(FILES ${CMAKE_BINARY_DIR}/talq.def ${CMAKE_BINARY_DIR}/talq.lib
    DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev)
endif()
