# The .deb packages, one per install component, laid out as Debian's policy
# asks: libtalqosutils0 (the shared libraries, with an ldconfig trigger and a
# shlibs file), libtalqosutils-dev and talq, each with its copyright file and
# changelog, dependencies computed by dpkg-shlibdeps, binaries stripped.
set(TALQ_DEB_RELEASE 1)
set(TALQ_DEB_RUNTIME libtalqosutils${PROJECT_VERSION_MAJOR})
set(TALQ_DEB_DEV libtalqosutils-dev)
set(TALQ_DEB_TOOL talq)

# The changelog is kept by hand; its first entry names the version packaged.
set(_debian ${CMAKE_CURRENT_LIST_DIR}/debian)
file(STRINGS ${_debian}/changelog _latest LIMIT_COUNT 1)
if(NOT _latest MATCHES "^talqosutils \\(${PROJECT_VERSION}-${TALQ_DEB_RELEASE}\\) ")
  message(WARNING "cmake/debian/changelog has no entry for ${PROJECT_VERSION}-${TALQ_DEB_RELEASE} "
    "at the top; the .deb packages would carry an old changelog.")
endif()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${_debian}/changelog)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/debian)
execute_process(COMMAND gzip -9nc ${_debian}/changelog
  OUTPUT_FILE ${CMAKE_BINARY_DIR}/debian/changelog.Debian.gz COMMAND_ERROR_IS_FATAL ANY)
configure_file(${_debian}/copyright ${CMAKE_BINARY_DIR}/debian/copyright @ONLY)

# Each package's /usr/share/doc/<package>; only in component installs (as
# CPack makes them), not in a plain `cmake --install`.
set(_components runtime dev)
set(_packages ${TALQ_DEB_RUNTIME} ${TALQ_DEB_DEV})
if(TALQ_BUILD_EXAMPLES)
  list(APPEND _components tool)
  list(APPEND _packages ${TALQ_DEB_TOOL})
endif()
foreach(component package IN ZIP_LISTS _components _packages)
  install(FILES ${CMAKE_BINARY_DIR}/debian/copyright ${CMAKE_BINARY_DIR}/debian/changelog.Debian.gz
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package}
    COMPONENT ${component} EXCLUDE_FROM_ALL)
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${TALQ_DEB_RELEASE})
set(CPACK_DEBIAN_PACKAGE_SOURCE talqosutils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# talq's libraries are found in the build tree; they carry no dependency
# information there, so the versioned dependency comes from the component's.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_LIBRARY_OUTPUT_DIRECTORY})
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_COMPONENT_DEV_DEPENDS runtime)
set(CPACK_COMPONENT_TOOL_DEPENDS runtime)

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME ${TALQ_DEB_RUNTIME})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${_debian}/triggers)
set(CPACK_DEBIAN_DEV_PACKAGE_NAME ${TALQ_DEB_DEV})
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_TOOL_PACKAGE_NAME ${TALQ_DEB_TOOL})
set(CPACK_DEBIAN_TOOL_PACKAGE_SECTION utils)

# Synopsis, then the extended description (lines under 80 columns).
set(_about "TalqOSUtils gives C++ host applications one platform-neutral way to
name files in a generic path notation (converted to and from NT, Mac HFS
and Unix notation), to ask about files and Windows shortcuts, to read and
write files through unbuffered streams, to list directories, and to convert
text between UTF-8, UTF-16, ISO Latin-1, Mac OS Roman, the platform code
page and URL encoding.")
set(CPACK_DEBIAN_RUNTIME_DESCRIPTION "platform-neutral file and text services for C++ hosts
${_about}

This package holds the shared libraries: libTalqOSUtils.so.${PROJECT_VERSION_MAJOR} and its
text-conversion library libVandrel.so.${PROJECT_VERSION_MAJOR}.")
set(CPACK_DEBIAN_DEV_DESCRIPTION "platform-neutral file and text services for C++ hosts - development files
${_about}

This package holds the C++ headers, the libraries' link-time names, the
CMake package (find_package(TalqOSUtils)) and the pkg-config file
talqosutils.pc.")
set(CPACK_DEBIAN_TOOL_DESCRIPTION "command-line sample host of the TalqOSUtils library
talq converts paths between generic, NT and Mac HFS notation, lists
directories, prints files and their resource forks, copies files with a
progress bar, resolves Windows shortcuts (.lnk), finds resources and
re-encodes text, all through the TalqOSUtils library.")
set(CPACK_POST_BUILD_SCRIPTS ${_debian}/DropLdconfigScripts.cmake)
