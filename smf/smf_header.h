// SmfHeader: the header chunk of a Standard MIDI File.
//
// Only format 0 (one track) and format 1 with ticks per quarter note are
// accepted; every other header is refused with its own fault, checked in a
// fixed order.
#pragma once

#include <cassert>
#include <cstdint>
#include <span>

#include "util/fault.h"

namespace vantrel {

struct SmfHeader {
  char magic[4] = {};
  std::uint32_t size = 0;        // only reported; the first track follows at 14
  std::uint16_t format = 0;
  std::uint16_t trackCount = 0;
  std::uint16_t division = 0;    // ticks per quarter note

  // Reads the 14 bytes at the start of `smf` and checks them. Returns the
  // fault of the first check that fails, or kNone.
  [[nodiscard]] FaultKind read(std::span<const std::uint8_t> smf);
};

// Reads a big-endian number of `width` bytes at p.
inline std::uint32_t readBigEndian(const std::uint8_t* p, int width) {
  assert(width >= 0 && width <= 4);
  std::uint32_t value = 0;
  for (int i = 0; i < width; ++i) value = (value << 8) | p[i];
  return value;
}

}  // namespace vantrel
