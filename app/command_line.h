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
  // The --tracks and --channels arguments as given, for their faults.
  std::string tracksArgument;
  std::string channelsArgument;
  // The most bytes of MML the run may write (--max-output); none without it.
  std::uint64_t outputLimit = UINT64_MAX;
};

// Where a command line was refused, for the words a person at a terminal
// reads: arguments as they were given, "" where there is none.
struct Refusal {
  std::string argument;  // the refused argument, whole
  std::string before;    // the argument before it
  std::string next;      // the argument after it
  // A second SMF name or /Fm: the argument that gave the first, and the one
  // before that.
  std::string first;
  std::string beforeFirst;
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
  Refusal refusal;  // kFault
  std::string helpArgument;  // kUsage: the first argument that asked for it
};

// `arguments` are those after the program's name.
CommandLine parseCommandLine(std::span<const std::string> arguments);

// The names the command line gives a file named `name`, given before any
// "--" or, with `afterDashes`, after one: the input's (".mid" added where it
// has no dot) and, from that, the output's.
std::string inputNameOf(const std::string& name, bool afterDashes);
std::string outputNameOf(const std::string& inputName, bool afterDashes);

// The options of converting the file `name`, as a command line that names it
// (before any "--") and asks for `settings` would give them: for a front
// end that holds the settings already.
Options optionsFor(const std::string& name, const Settings& settings);

// The usage text, byte for byte (its lines end in CR LF).
std::string usageText();

// The program's name and version, on one line.
std::string versionText();

}  // namespace vantrel
