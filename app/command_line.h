// The command line: its arguments turned into what the user asked for.
//
// Parsing follows the program's historic rules letter by letter: an option is
// decided by its second character, `-` and `/` are interchangeable, and every
// argument is examined before the usage text or a file is touched. Two later
// additions take only arguments that those rules refuse: `--help` and
// `--version`, and `--`, after which every argument is a file name read by
// its last path component; /Q or --quantize, the grid; and --max-output, a
// cap on the MML written. Parsing prints and
// opens nothing: the caller does what the result says.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "mml/settings.h"
#include "util/fault.h"

namespace vantrel {

// The parsed command line.
struct Options {
  Settings settings;
  std::string inputName;   // ".mid" added when the name has no dot
  std::string outputName;  // from /Fm, or derived from the input's name
  std::string gridArgument;  // the /Q or --quantize argument as given, for its fault
  // The most bytes of MML the run may write (--max-output); none without it.
  std::uint64_t outputLimit = UINT64_MAX;
};

struct CommandLine {
  enum class Action {
    kConvert,  // convert `options.inputName` into `options.outputName`
    kUsage,    // print the usage text; status 0
    kVersion,  // print versionText(); status 0
    kFault,    // report `fault` on standard error; status 1
  };
  Action action = Action::kConvert;
  Options options;
  Fault fault;
};

// `arguments` are those after the program's name.
CommandLine parseCommandLine(std::span<const std::string> arguments);

// The usage text, byte for byte (its lines end in CR LF).
std::string usageText();

// The program's name and version, on one line.
std::string versionText();

}  // namespace vantrel
