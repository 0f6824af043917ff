// The files of a run: the input SMF, whole in memory, and the output file as
// a sink for the MML text.
//
// Failures come back as the errno of the failing call; the caller names the
// file in its message, as perror does.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "mml/sink.h"

namespace vantrel {

// The input file. A regular file is mapped into memory where the system
// allows it (no copy, its pages brought in at once); anything else (a
// device, a pipe, a system without mapping) is read.
class InputFile {
 public:
  InputFile() = default;
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  ~InputFile();

  // Returns 0, or the errno of the open or read that failed (ENOMEM for a
  // file larger than the machine's memory).
  int open(const std::string& name);

  std::span<const std::uint8_t> bytes() const {
    return mapped_ != nullptr ? std::span<const std::uint8_t>(mapped_, mappedSize_)
                              : std::span<const std::uint8_t>(read_);
  }

 private:
  const std::uint8_t* mapped_ = nullptr;
  std::size_t mappedSize_ = 0;
  std::vector<std::uint8_t> read_;
};

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
  int error() const { return error_; }  // of the first refused write, 0 none

 private:
  std::FILE* file_ = nullptr;
  int error_ = 0;
};

}  // namespace vantrel
