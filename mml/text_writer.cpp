#include "mml/text_writer.h"

#include <cerrno>

#include "app/fault.h"

namespace vantrel {

TextWriter::TextWriter(std::streambuf* sink, std::string name)
    : sink_(sink), name_(std::move(name)), buffer_(new char[kSize]) {}

void TextWriter::writeLong(std::string_view text) {
  while (!text.empty()) {
    std::size_t piece = text.size() < kRoomPerWrite ? text.size() : kRoomPerWrite;
    write(text.substr(0, piece));
    text.remove_prefix(piece);
  }
}

void TextWriter::writeSigned(std::int64_t value) {
  if (value < 0) {
    writeChar('-');
    writeUnsigned(0 - static_cast<std::uint64_t>(value));
  } else {
    writeUnsigned(static_cast<std::uint64_t>(value));
  }
}

void TextWriter::writeHex(std::uint32_t value) {
  reserve(8);
  char digits[8];
  int n = 0;
  do {
    digits[n++] = "0123456789abcdef"[value & 0xF];
    value >>= 4;
  } while (value != 0);
  while (n > 0) buffer_[used_++] = digits[--n];
}

void TextWriter::drain() {
  if (used_ > 0 && sink_ != nullptr && !failed_) {
    errno = 0;
    std::streamsize put = sink_->sputn(buffer_.get(), static_cast<std::streamsize>(used_));
    if (put != static_cast<std::streamsize>(used_)) {
      failed_ = true;
      if (errno == 0) errno = EIO;
      systemError(name_.c_str());
    }
  }
  used_ = 0;
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
