# Run by cpack after the packages are made (CPACK_POST_BUILD_SCRIPTS): the web
# page, as a download of its own, beside them as vantrel-VERSION.html.
if(EXISTS "${CPACK_VANTREL_PAGE_FILE}")
  configure_file("${CPACK_VANTREL_PAGE_FILE}"
    "${CPACK_PACKAGE_DIRECTORY}/${CPACK_PACKAGE_NAME}-${CPACK_PACKAGE_VERSION}.html" COPYONLY)
endif()
