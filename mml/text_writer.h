// TextWriter: the buffered writer of the MML text.
//
// Every line feed of the text is stored as CR LF, on every platform, and all
// numbers are formatted here by hand, so the output never depends on a locale
// or on text-mode translation. A write that the file does not take whole ends
// the run with the file's name and the system's reason.
#pragma once

#include <cstdint>
#include <streambuf>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel {

class TextWriter {
 public:
  // `sink` receives the bytes (nullptr discards them); `name` is the output
  // file's name for the message of a failed write.
  TextWriter(std::streambuf* sink, std::string name);

  void write(std::string_view text);  // line feeds become CR LF
  void writeChar(char c);
  void writeSigned(std::int64_t value);    // decimal, "-" when negative
  void writeUnsigned(std::uint64_t value);  // decimal
  void writeHex(std::uint32_t value);       // lowercase, no leading zeros

  // Hands the buffered bytes to the sink and flushes it.
  void flush();

  std::uint64_t bytesWritten() const { return written_ + buffer_.size(); }

 private:
  void put(char c) {
    if (buffer_.size() == buffer_.capacity()) drain();
    buffer_.push_back(c);
  }
  void drain();  // hands the buffer to the sink

  std::streambuf* sink_;
  std::string name_;
  std::string buffer_;
  std::uint64_t written_ = 0;
  bool failed_ = false;
};

}  // namespace vantrel
