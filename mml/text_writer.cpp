#include "mml/text_writer.h"

#include <algorithm>
#include <cerrno>

namespace vantrel {

TextWriter::TextWriter(Sink& sink) : sink_(sink), buffer_(new char[kSize]) {}

void TextWriter::writeLong(std::string_view text) {
  while (!text.empty()) {
    std::size_t piece = text.size() < kRoomPerWrite ? text.size() : kRoomPerWrite;
    write(text.substr(0, piece));
    text.remove_prefix(piece);
  }
}

void TextWriter::writeVerbatim(std::string_view text) {
  while (!text.empty()) {
    if (used_ == kSize) drain();
    const std::size_t piece = std::min(text.size(), kSize - used_);
    std::memcpy(buffer_.get() + used_, text.data(), piece);
    used_ += piece;
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

void TextWriter::fail() { error_ = errno != 0 ? errno : EIO; }

void TextWriter::drain() {
  if (used_ > 0 && !failed()) {
    errno = 0;
    if (!sink_.write(buffer_.get(), used_)) fail();
  }
  used_ = 0;
}

void TextWriter::flush() {
  drain();
  if (!failed()) {
    errno = 0;
    if (!sink_.flush()) fail();
  }
}

}  // namespace vantrel
