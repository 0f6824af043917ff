// Options: the parsed command line, and the two files it names.
//
// Parsing follows the program's historic rules letter by letter: an option is
// decided by its second character, `-` and `/` are interchangeable, and every
// argument is examined before the usage text or a file is touched.
#pragma once

#include <cstdint>

#include "app/file_op.h"

namespace vantrel {

// Bits of filterMask: a set bit leaves that kind of event out.
enum FilterBits : std::int32_t {
  kFilterKeyPressure = 0x0004,
  kFilterControlChange = 0x0008,
  kFilterProgramChange = 0x0010,
  kFilterChannelPressure = 0x0020,
  kFilterPitchBend = 0x0040,
  kFilterSysEx = 0x0100,
  kFilterSysExEscape = 0x0200,
  kFilterMeta = 0x0400,
};

struct Options {
  FileOp input;
  FileOp output;
  std::int32_t barLines = 1;     // 0: no bar lines, no counted line breaks
  std::int32_t lineBars = 4;     // bars per line; 0 each piece; negative never
  std::int32_t filterMask = 0;   // FilterBits of events left out
  std::int32_t pickupTicks = 0;  // length of an incomplete first bar, 0 none
  std::uint8_t dialect = 0;      // 0: MML dialect, 1: kana dialect
  std::uint8_t helpRequested = 0;

  Options() = default;

  // Parses the command line and opens both files: the whole start-up of a run.
  // Ends the process on a fault (status 1) or after the usage text (status 0).
  Options(int argc, char** argv);

  // The steps of that constructor, separately usable by tests.
  void parseArguments(int argc, char** argv);  // may end the process
  void deriveOutputName();                     // when no /Fm named one
  void announceNames() const;                  // "SMF = " and "MML = " lines
  void openFiles();                            // input (read whole), output
};

// Writes the usage text on standard output and ends the process with status 0.
[[noreturn]] void printUsage();

}  // namespace vantrel
