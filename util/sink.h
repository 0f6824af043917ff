// Sink: where the bytes of a conversion go (a file, memory, a console,
// nowhere). The conversion only ever hands bytes to a sink; a sink that
// refuses a write says why as a Fault (a file's name and the system's
// reason, say), and what that means to a user is for the front end that
// made the sink to say.
#pragma once

#include <cstddef>
#include <string>

#include "util/fault.h"

namespace vantrel {

class Sink {
 public:
  virtual ~Sink() = default;

  // Takes all `size` bytes, or returns why not.
  virtual Fault write(const char* bytes, std::size_t size) = 0;

  // Passes on what it has taken (to the file system, say).
  virtual Fault flush() { return {}; }
};

// Keeps everything in memory.
class StringSink : public Sink {
 public:
  std::string text;

  Fault write(const char* bytes, std::size_t size) override {
    text.append(bytes, size);
    return {};
  }
};

// Takes everything and keeps nothing.
class NullSink : public Sink {
 public:
  Fault write(const char*, std::size_t) override { return {}; }
};

}  // namespace vantrel
