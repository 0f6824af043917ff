# Installation and the packages that cpack makes from it.
#
#   Linux:   cmake -S . -B build && cmake --build build -j --target vantrel
#            (cd build && cpack)     -> vantrel-1.2.0-linux-x86_64.tar.gz, vantrel_1.2.0_amd64.deb
#   Windows: cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
#            (cd build-win && cpack) -> vantrel-1.2.0-win64.zip
#
# On Linux the layout is the usual one (bin/, share/man/man1/, share/doc/vantrel/);
# the .deb installs under /usr with the manual page gzipped. On Windows
# everything lies in one folder: vantrel.exe, the READMEs, LICENSE.txt,
# CHANGELOG.md and the manual page as text (vantrel.txt, rendered with groff).
#
# The web page, one file (web/build.sh), goes in as vantrel.html: beside
# vantrel.exe on Windows, in share/vantrel/ on Linux with a desktop entry
# that opens it, and beside the packages as vantrel-VERSION.html. It is the
# page that -DVANTREL_PAGE=FILE names (the index.html that web/build.sh made),
# or else one that web/build.sh makes when installing or packaging, if
# emscripten is found; without either the packages have no page.

include(GNUInstallDirs)
configure_file(${PROJECT_SOURCE_DIR}/man/vantrel.1 ${PROJECT_BINARY_DIR}/man/vantrel.1 @ONLY)

set(vantrel_docs
  ${PROJECT_SOURCE_DIR}/README.md
  ${PROJECT_SOURCE_DIR}/README.ja.md
  ${PROJECT_SOURCE_DIR}/CHANGELOG.md)

set(VANTREL_PAGE "" CACHE FILEPATH
  "The web page to package (index.html made by web/build.sh); empty: made when packaging, if emscripten is found")
set(vantrel_page "")
if(VANTREL_PAGE)
  if(NOT EXISTS "${VANTREL_PAGE}")
    message(FATAL_ERROR "vantrel: VANTREL_PAGE names no file: ${VANTREL_PAGE}")
  endif()
  set(vantrel_page "${VANTREL_PAGE}")
  message(STATUS "vantrel: the web page packaged is ${VANTREL_PAGE}")
else()
  find_program(VANTREL_EMCMAKE emcmake)
  if(VANTREL_EMCMAKE)
    # Made when installing (cpack installs before packing), not by every build.
    set(vantrel_page "${PROJECT_BINARY_DIR}/page/index.html")
    # The module's build is web/build.sh's own (build-web-module in the
    # source tree), shared with the page's tests, so a second page costs
    # seconds.
    install(CODE "execute_process(COMMAND bash \"${PROJECT_SOURCE_DIR}/web/build.sh\"
      \"${PROJECT_BINARY_DIR}/page\" COMMAND_ERROR_IS_FATAL ANY)")
    message(STATUS "vantrel: the web page is made with emscripten when packaging")
  else()
    message(STATUS "vantrel: the packages will have no web page: emscripten was not found "
      "(apt-get install emscripten node-acorn) and no -DVANTREL_PAGE=FILE was given")
  endif()
endif()

if(WIN32)
  install(TARGETS vantrel RUNTIME DESTINATION .)
  if(vantrel_page)
    install(FILES ${vantrel_page} DESTINATION . RENAME vantrel.html)
  endif()
  install(FILES ${vantrel_docs} DESTINATION .)
  install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)

  # The manual page as plain text (UTF-8 with a byte order mark and CR LF line
  # ends, so that every Notepad reads it), rendered by groff when installing.
  find_program(VANTREL_GROFF groff)
  if(VANTREL_GROFF)
    set(manual_text ${PROJECT_BINARY_DIR}/man/vantrel.txt)
    install(CODE "execute_process(COMMAND \"${CMAKE_COMMAND}\" \"-DGROFF=${VANTREL_GROFF}\"
      \"-DPAGE=${PROJECT_BINARY_DIR}/man/vantrel.1\" \"-DOUT=${manual_text}\"
      -P \"${PROJECT_SOURCE_DIR}/cmake/render_manual.cmake\" COMMAND_ERROR_IS_FATAL ANY)")
    install(FILES ${manual_text} DESTINATION .)
  else()
    message(WARNING "vantrel: groff not found, so the Windows package will have no manual "
      "page (vantrel.txt). Install it (apt-get install groff-base) and configure again.")
  endif()
else()
  install(TARGETS vantrel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${PROJECT_BINARY_DIR}/man/vantrel.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${vantrel_docs} ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})
  if(vantrel_page)
    install(FILES ${vantrel_page} DESTINATION ${CMAKE_INSTALL_DATADIR}/vantrel RENAME vantrel.html)
    # The desktop entry opens the page where the .deb puts it.
    set(VANTREL_PAGE_INSTALLED /usr/${CMAKE_INSTALL_DATADIR}/vantrel/vantrel.html)
    configure_file(${PROJECT_SOURCE_DIR}/web/desktop/vantrel.desktop.in
      ${PROJECT_BINARY_DIR}/vantrel.desktop @ONLY)
    install(FILES ${PROJECT_BINARY_DIR}/vantrel.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  endif()
endif()

set(CPACK_PACKAGE_NAME vantrel)
set(CPACK_PACKAGE_VENDOR "vantrel authors")
set(CPACK_PACKAGE_CONTACT "vantrel authors")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "convert Standard MIDI Files into Marlune Music Macro Language text")
set(CPACK_PACKAGE_DESCRIPTION [[
vantrel reads a Standard MIDI File (format 0 or 1) and writes its music as
the source text of the Marlune Music Macro Language (MML): notes, rests, ties,
bar lines, controllers, program changes, pitch bends, tempo, time and key
signatures, texts and system exclusive messages, in the ASCII dialect or in
the kana dialect (code page 932). Start from a file made in a sequencer and
go on writing in MML.]])
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CHECKSUM SHA256)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
else()
  set(CPACK_GENERATOR TGZ DEB)
  string(TOLOWER "${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR}" CPACK_SYSTEM_NAME)
endif()

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "vantrel authors")
find_program(VANTREL_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(VANTREL_DPKG_SHLIBDEPS)
  # Depends: the shared libraries the program uses (none when it is linked statically).
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()

# The .deb gets its manual page gzipped, as Debian expects.
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/gzip_manual.cmake)
# The page as a download of its own, beside the packages.
if(vantrel_page)
  set(CPACK_VANTREL_PAGE_FILE ${vantrel_page})
  set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/copy_page.cmake)
endif()

include(CPack)
