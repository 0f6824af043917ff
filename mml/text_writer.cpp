#include "mml/text_writer.h"

#include <cerrno>

#include "app/fault.h"

namespace vantrel {
namespace {
constexpr std::size_t kBufferSize = 1 << 16;
}

TextWriter::TextWriter(std::streambuf* sink, std::string name)
    : sink_(sink), name_(std::move(name)) {
  buffer_.reserve(kBufferSize);
}

void TextWriter::write(std::string_view text) {
  for (char c : text) writeChar(c);
}

void TextWriter::writeChar(char c) {
  if (c == '\n') put('\r');
  put(c);
}

void TextWriter::writeUnsigned(std::uint64_t value) {
  char digits[20];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  while (n > 0) put(digits[--n]);
}

void TextWriter::writeSigned(std::int64_t value) {
  if (value < 0) {
    put('-');
    writeUnsigned(0 - static_cast<std::uint64_t>(value));
  } else {
    writeUnsigned(static_cast<std::uint64_t>(value));
  }
}

void TextWriter::writeHex(std::uint32_t value) {
  char digits[8];
  int n = 0;
  do {
    digits[n++] = "0123456789abcdef"[value & 0xF];
    value >>= 4;
  } while (value != 0);
  while (n > 0) put(digits[--n]);
}

void TextWriter::drain() {
  if (!buffer_.empty() && sink_ != nullptr && !failed_) {
    errno = 0;
    std::streamsize put = sink_->sputn(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
    if (put != static_cast<std::streamsize>(buffer_.size())) {
      failed_ = true;
      if (errno == 0) errno = EIO;
      systemError(name_.c_str());
    }
  }
  written_ += buffer_.size();
  buffer_.clear();
}

void TextWriter::flush() {
  drain();
  if (sink_ != nullptr && !failed_) {
    errno = 0;
    if (sink_->pubsync() != 0) {
      failed_ = true;
      if (errno == 0) errno = EIO;
      systemError(name_.c_str());
    }
  }
}

}  // namespace vantrel
