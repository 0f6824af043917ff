# Renders the manual page as plain text for the Windows package:
#   cmake -DGROFF=groff -DPAGE=vantrel.1 -DOUT=vantrel.txt -P render_manual.cmake
# groff reads the UTF-8 page (-k), writes UTF-8 without bold or underline
# (-P-cbou) and does not hyphenate (-rHY=0); the text gets a byte order mark and
# CR LF line ends.
execute_process(
  COMMAND ${GROFF} -k -man -Tutf8 -rLL=78n -rHY=0 -P-cbou ${PAGE}
  OUTPUT_VARIABLE text
  ERROR_VARIABLE errors
  RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR NOT errors STREQUAL "")
  message(FATAL_ERROR "groff could not render ${PAGE} (status ${status}):\n${errors}")
endif()
string(REGEX REPLACE "^\n+" "" text "${text}")
string(REGEX REPLACE "\n\n\n+" "\n\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
string(ASCII 239 187 191 bom)
file(WRITE ${OUT} "${bom}${text}")
