// setBinaryConsole: keeps standard output and standard error byte-exact.
//
// The usage text carries its own CR LF and the messages are code page 932
// bytes; on Windows the C runtime would add a CR before every line feed of a
// text-mode stream, so both streams are switched to binary mode there. On
// other systems the streams never translate and this does nothing.
#pragma once

namespace vantrel {

// Call before anything is written to standard output or standard error.
void setBinaryConsole();

}  // namespace vantrel
