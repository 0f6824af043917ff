#include "mml/text_writer.h"

#include <algorithm>
#include <array>

namespace vantrel {

TextWriter::TextWriter(Sink& sink) : sink_(sink), buffer_(new char[kCapacity]) {}

void TextWriter::writeLong(std::string_view text) {
  while (!text.empty()) {
    std::size_t piece = text.size() < kRoomPerWrite ? text.size() : kRoomPerWrite;
    write(text.substr(0, piece));
    text.remove_prefix(piece);
  }
}

void TextWriter::writeVerbatim(std::string_view text) {
  while (!text.empty()) {
    if (used_ >= kBlock) writeBlock();
    const std::size_t piece = std::min(text.size(), kBlock - used_);
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

namespace {

// ",$" and the hex digits of each byte value, padded to four bytes so that
// each is written with one fixed-size copy.
struct HexItem {
  char text[4];
  std::uint8_t size;
};

constexpr std::array<HexItem, 256> makeHexItems() {
  std::array<HexItem, 256> items{};
  constexpr char kDigits[] = "0123456789abcdef";
  for (int value = 0; value < 256; ++value) {
    HexItem& item = items[value];
    item.text[0] = ',';
    item.text[1] = '$';
    if (value < 16) {
      item.text[2] = kDigits[value];
      item.size = 3;
    } else {
      item.text[2] = kDigits[value >> 4];
      item.text[3] = kDigits[value & 15];
      item.size = 4;
    }
  }
  return items;
}
constexpr std::array<HexItem, 256> kHexItems = makeHexItems();

}  // namespace

void TextWriter::writeHexList(std::span<const std::uint8_t> bytes) {
  constexpr std::size_t kBatch = 256;  // items per check of the room left
  bool first = true;
  while (!bytes.empty()) {
    const std::size_t count = std::min(bytes.size(), kBatch);
    reserve(4 * count);
    char* out = buffer_.get() + used_;
    for (std::size_t i = 0; i < count; ++i) {
      const HexItem& item = kHexItems[bytes[i]];
      std::memcpy(out, item.text, 4);
      out += item.size;
    }
    if (first) {
      // The first item has no comma before it.
      char* start = buffer_.get() + used_;
      std::memmove(start, start + 1, static_cast<std::size_t>(out - start - 1));
      --out;
      first = false;
    }
    used_ = static_cast<std::size_t>(out - buffer_.get());
    bytes = bytes.subspan(count);
  }
}

void TextWriter::writeBlock() {
  if (!failed()) fault_ = sink_.write(buffer_.get(), kBlock);
  handed_ += kBlock;
  if (failed()) {
    used_ = 0;  // nothing more reaches the sink
    return;
  }
  used_ -= kBlock;
  std::memmove(buffer_.get(), buffer_.get() + kBlock, used_);
}

void TextWriter::flush() {
  // A whole block first: the sink gets no write of more than kBlock bytes.
  if (used_ > kBlock) writeBlock();
  if (used_ > 0 && !failed()) fault_ = sink_.write(buffer_.get(), used_);
  handed_ += used_;
  used_ = 0;
  if (!failed()) fault_ = sink_.flush();
}

}  // namespace vantrel
