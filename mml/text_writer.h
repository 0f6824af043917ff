// TextWriter: the buffered writer of the MML text.
//
// Every line feed of the text is stored as CR LF, on every platform, and all
// numbers are formatted here by hand, so the output never depends on a locale
// or on text-mode translation. The sink is handed blocks of exactly kBlock
// bytes (the last one shorter), however the text was written, so that a sink
// sees the same writes for the same text. When the sink refuses a write, the
// writer keeps the sink's fault and drops everything after it; the
// conversion stops at its next check. The small writes are inline: the
// writer is the innermost loop of a conversion.
#pragma once

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string_view>

#include "util/sink.h"

namespace vantrel {

// Puts the decimal digits of `value` at `out` (20 at the most) and returns
// how many: the one formatter of numbers, independent of any locale.
inline std::size_t formatDecimal(std::uint64_t value, char* out) {
  char reversed[20];
  std::size_t n = 0;
  do {
    reversed[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  for (std::size_t i = 0; i < n; ++i) out[i] = reversed[n - 1 - i];
  return n;
}

// A word of the output with no line feed, at most kCapacity bytes, kept in a
// block of fixed size so that writing it is one fixed-size copy: the words of
// note heads and lengths are written millions of times.
struct ShortText {
  static constexpr std::size_t kCapacity = 31;
  char bytes[kCapacity + 1] = {};
  std::uint8_t size = 0;

  void append(std::string_view text) {
    for (char c : text) {
      if (size < kCapacity) bytes[size++] = c;
    }
  }
  void appendNumber(std::uint64_t value) {
    char digits[20];
    append(std::string_view(digits, formatDecimal(value, digits)));
  }
  std::string_view view() const { return {bytes, size}; }
};

class TextWriter {
 public:
  static constexpr std::size_t kBlock = std::size_t{1} << 16;

  // `sink` receives the bytes.
  explicit TextWriter(Sink& sink);

  // Line feeds become CR LF.
  void write(std::string_view text) {
    if (text.size() > kRoomPerWrite) return writeLong(text);
    reserve(2 * text.size());
    // A local cursor: stores of chars may alias any member, used_ included.
    char* out = buffer_.get() + used_;
    for (char c : text) {
      if (c == '\n') *out++ = '\r';
      *out++ = c;
    }
    used_ = static_cast<std::size_t>(out - buffer_.get());
  }

  // A text with no line feed in it: copied as it is.
  void writePlain(std::string_view text) {
    if (text.size() > kRoomPerWrite) return writeLong(text);
    reserve(text.size());
    // Words are a few bytes: a plain loop beats a call of memcpy.
    char* out = buffer_.get() + used_;
    for (char c : text) *out++ = c;
    used_ += text.size();
  }

  void writeShort(const ShortText& text) {
    assert(text.size <= ShortText::kCapacity);
    reserve(sizeof text.bytes);
    std::memcpy(buffer_.get() + used_, text.bytes, sizeof text.bytes);
    used_ += text.size;
  }

  void writeChar(char c) {
    reserve(2);
    if (c == '\n') buffer_[used_++] = '\r';
    buffer_[used_++] = c;
  }

  // Text that is already output (its line ends made), as it is.
  void writeVerbatim(std::string_view text);

  // Decimal, as few digits as needed.
  void writeUnsigned(std::uint64_t value) {
    reserve(20);
    used_ += formatDecimal(value, buffer_.get() + used_);
  }

  void writeSigned(std::int64_t value);  // decimal, "-" when negative
  void writeHex(std::uint32_t value);    // lowercase, no leading zeros
  // Each byte as "$" and its hex digits, the items joined by ",": the raw
  // data of SysEx and meta events, which can be most of a file.
  void writeHexList(std::span<const std::uint8_t> bytes);

  // Hands the buffered bytes to the sink and flushes it.
  void flush();

  // The bytes written so far, those still held included.
  std::uint64_t position() const { return handed_ + used_; }

  // Whether the sink has refused a write, and the fault it gave then.
  bool failed() const { return static_cast<bool>(fault_); }
  const Fault& fault() const { return fault_; }

 private:
  static constexpr std::size_t kRoomPerWrite = 256;  // longer texts go piecewise
  // Room beyond a block for the largest single reserve (a batch of hex items).
  static constexpr std::size_t kSlack = 4096;
  static constexpr std::size_t kCapacity = kBlock + kSlack;

  void reserve(std::size_t bytes) {
    assert(bytes <= kSlack);  // longer texts go piecewise
    // Past the capacity only when a whole block is held: used_ > kBlock.
    if (kCapacity - used_ < bytes) writeBlock();
  }
  void writeLong(std::string_view text);
  void writeBlock();  // hands the first kBlock bytes to the sink

  Sink& sink_;
  std::unique_ptr<char[]> buffer_;
  std::size_t used_ = 0;
  std::uint64_t handed_ = 0;  // to the sink, or dropped after a refusal
  Fault fault_;
};

}  // namespace vantrel
