// FileOp: a file stream that knows its file's name.
//
// The name is what the messages about the file print; an empty name means no
// name has been given yet. The input SMF is read whole into `bytes` right after
// it opens, and every walk over a track works on offsets into that buffer.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace vantrel {

class FileOp : public std::basic_fstream<char> {
 public:
  std::string name;
  std::vector<std::uint8_t> bytes;  // the whole input, after readWhole

  // Opens the file called `name`; on failure writes "name: reason" on
  // standard error and ends the process with status 1.
  void openOrExit(std::ios_base::openmode mode);

  // Reads the open file to its end into `bytes`; a read error ends the
  // process like a failed open.
  void readWhole();
};

}  // namespace vantrel
