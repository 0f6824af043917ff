// The files of a run: the input SMF, read whole, and the output file as a
// sink for the MML text.
//
// Failures come back as the errno of the failing call; the caller names the
// file in its message, as perror does.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "mml/sink.h"

namespace vantrel {

// Reads the file called `name` whole into `bytes`. Returns 0, or the errno
// of the open or read that failed (ENOMEM for a file larger than memory).
int readWholeFile(const std::string& name, std::vector<std::uint8_t>& bytes);

// The output file. Opening creates it or empties it; the sink's writes go
// straight to the system, since the MML writer has its own buffer.
class FileSink : public Sink {
 public:
  FileSink() = default;
  FileSink(const FileSink&) = delete;
  FileSink& operator=(const FileSink&) = delete;
  ~FileSink() override;

  // Returns 0, or the errno of the failed open.
  int open(const std::string& name);
  // Returns 0, or the errno of a failed close.
  int close();

  bool write(const char* bytes, std::size_t size) override;
  bool flush() override;

 private:
  std::FILE* file_ = nullptr;
};

}  // namespace vantrel
