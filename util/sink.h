// Sink: where the bytes of a conversion go (a file, memory, a console,
// nowhere). The conversion only ever hands bytes to a sink; what a refused
// write means to a user is for the front end that made the sink to say.
#pragma once

#include <cstddef>
#include <string>

namespace vantrel {

class Sink {
 public:
  virtual ~Sink() = default;

  // Takes all `size` bytes, or returns false; errno then says why when the
  // system knows.
  virtual bool write(const char* bytes, std::size_t size) = 0;

  // Passes on what it has taken (to the file system, say); false on failure.
  virtual bool flush() { return true; }
};

// Keeps everything in memory.
class StringSink : public Sink {
 public:
  std::string text;

  bool write(const char* bytes, std::size_t size) override {
    text.append(bytes, size);
    return true;
  }
};

}  // namespace vantrel
