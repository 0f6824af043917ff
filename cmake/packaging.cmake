# Installation and the packages that cpack makes from it.
#
#   Linux:   cmake -S . -B build && cmake --build build -j --target vantrel
#            (cd build && cpack)     -> vantrel-1.1.0-linux-x86_64.tar.gz, vantrel_1.1.0_amd64.deb
#   Windows: cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
#            (cd build-win && cpack) -> vantrel-1.1.0-win64.zip
#
# On Linux the layout is the usual one (bin/, share/man/man1/, share/doc/vantrel/);
# the .deb installs under /usr with the manual page gzipped. On Windows
# everything lies in one folder: vantrel.exe, the READMEs, LICENSE.txt,
# CHANGELOG.md and the manual page as text (vantrel.txt, rendered with groff).

include(GNUInstallDirs)
configure_file(${PROJECT_SOURCE_DIR}/man/vantrel.1 ${PROJECT_BINARY_DIR}/man/vantrel.1 @ONLY)

set(vantrel_docs
  ${PROJECT_SOURCE_DIR}/README.md
  ${PROJECT_SOURCE_DIR}/README.ja.md
  ${PROJECT_SOURCE_DIR}/CHANGELOG.md)

if(WIN32)
  install(TARGETS vantrel RUNTIME DESTINATION .)
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

include(CPack)
