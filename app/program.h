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

// `arguments` are those after the program's name; `threads` is how many
// threads may convert tracks at once (the text is the same for any number).
int runProgram(std::span<const std::string> arguments, Console& out, Console& err,
               int threads = 1);

// The threads a conversion may use: VANTREL_THREADS when it holds a number
// from 1 up, else as many as the cores the program may run on, at most 16.
int threadsFromEnvironment();

}  // namespace vantrel
