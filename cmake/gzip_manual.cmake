# Run by cpack on the staged files before it packs them: the .deb gets its
# manual page gzipped (gzip -9n, so the package is reproducible), as Debian
# expects; the other packages keep it as it is.
if(NOT CPACK_GENERATOR STREQUAL "DEB")
  return()
endif()
file(GLOB_RECURSE pages "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*.1")
list(FILTER pages INCLUDE REGEX "/man1/[^/]+\\.1$")
if(NOT pages)
  message(FATAL_ERROR "no manual page in ${CPACK_TEMPORARY_INSTALL_DIRECTORY}")
endif()
foreach(page IN LISTS pages)
  execute_process(COMMAND gzip -9nf ${page} RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "gzip ${page} failed (status ${status})")
  endif()
endforeach()
