# Run by CPack after it made the .deb packages. CPack's DEB generator gives a
# package with shared libraries in /usr/lib postinst and postrm scripts that
# run ldconfig; the package's ldconfig trigger does that job, so the scripts
# are taken out again and the package rebuilt from its own contents.
foreach(deb IN LISTS CPACK_PACKAGE_FILES)
  if(NOT deb MATCHES "\\.deb$")
    continue()
  endif()
  set(tree ${deb}.tree)
  file(REMOVE_RECURSE ${tree})
  execute_process(COMMAND dpkg-deb --raw-extract ${deb} ${tree} COMMAND_ERROR_IS_FATAL ANY)
  if(EXISTS ${tree}/DEBIAN/triggers)
    foreach(script IN ITEMS postinst postrm)
      if(EXISTS ${tree}/DEBIAN/${script})
        file(READ ${tree}/DEBIAN/${script} body)
        # Only CPack's own script: set -e, then ldconfig on configure or remove.
        string(REGEX REPLACE "[ \t\n]+" " " body "${body}")
        if(NOT body MATCHES "^#!/bin/sh set -e if \\[ \"\\$1\" = \"(configure|remove)\" \\]; then ldconfig fi ?$")
          message(FATAL_ERROR "${deb}: unexpected ${script}: ${body}")
        endif()
        file(REMOVE ${tree}/DEBIAN/${script})
      endif()
    endforeach()
    execute_process(COMMAND dpkg-deb --root-owner-group --build ${tree} ${deb}
      OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  endif()
  file(REMOVE_RECURSE ${tree})
endforeach()
