# The mingw-w64 runtime DLLs (libstdc++, libgcc, winpthread) are copied next to
# the executables, so every module shares one C++ runtime: exceptions and
# standard strings cross the DLL boundary with a single type system and heap.
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libstdc++-6.dll
  OUTPUT_VARIABLE _stdcxx OUTPUT_STRIP_TRAILING_WHITESPACE)
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libgcc_s_seh-1.dll
  OUTPUT_VARIABLE _libgcc OUTPUT_STRIP_TRAILING_WHITESPACE)
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libwinpthread-1.dll
  OUTPUT_VARIABLE _pthread OUTPUT_STRIP_TRAILING_WHITESPACE)
set(TALQ_MINGW_RUNTIME_DLLS "")
foreach(dll IN ITEMS ${_stdcxx} ${_libgcc} ${_pthread})
  if(NOT IS_ABSOLUTE "${dll}" OR NOT EXISTS "${dll}")
    # The winpthread DLL sits in the target's sysroot, not the compiler's dir.
    get_filename_component(_name "${dll}" NAME)
    find_file(_found_${_name} ${_name}
      PATHS /usr/x86_64-w64-mingw32/lib /usr/lib/gcc/x86_64-w64-mingw32
      PATH_SUFFIXES "" 12-posix 13-posix NO_CMAKE_FIND_ROOT_PATH)
    set(dll "${_found_${_name}}")
  endif()
  if(NOT EXISTS "${dll}")
    message(FATAL_ERROR "mingw-w64 runtime DLL not found: ${dll}")
  endif()
  file(COPY "${dll}" DESTINATION ${CMAKE_BINARY_DIR}/bin)
  list(APPEND TALQ_MINGW_RUNTIME_DLLS "${dll}")
endforeach()
