// runProgram: the whole command-line program as a function.
//
// It parses the arguments, prints the usage text or the two file names,
// reads the input, writes the output file and reports every fault, exactly
// as the program does, but writes its standard output and standard error to
// two sinks and returns the exit status instead of ending the process. Files
// are named relative to the current directory. `main` and the web page's
// module both run the program through it.
#pragma once

#include <span>
#include <string>

#include "app/console.h"

namespace vantrel {

// `arguments` are those after the program's name.
int runProgram(std::span<const std::string> arguments, Console& out, Console& err);

}  // namespace vantrel
