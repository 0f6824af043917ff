// The console: standard output and standard error as sinks of bytes.
//
// The usage text carries its own CR LF and the messages are code page 932
// bytes; on Windows the C runtime would add a CR before every line feed of a
// text-mode stream, so both streams are switched to binary mode there.
#pragma once

#include <cstdio>

#include "mml/sink.h"

namespace vantrel {

// Call before anything is written to standard output or standard error. On
// systems whose streams never translate, this does nothing.
void setBinaryConsole();

// Writes to a C stream as it is; a failed write of the console is not a
// fault of the conversion.
class StreamSink : public Sink {
 public:
  explicit StreamSink(std::FILE* stream) : stream_(stream) {}
  bool write(const char* bytes, std::size_t size) override {
    return std::fwrite(bytes, 1, size, stream_) == size;
  }
  bool flush() override { return std::fflush(stream_) == 0; }

 private:
  std::FILE* stream_;
};

}  // namespace vantrel
