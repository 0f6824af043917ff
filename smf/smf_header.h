// SmfHeader and TrackChunk: the chunk structure of a Standard MIDI File.
//
// Only format 0 (one track) and format 1 with ticks per quarter note are
// accepted; every other header is refused with its own message. A track
// chunk header is read wherever the previous track's end-of-track event left
// off: no chunk length is trusted to find the next chunk.
#pragma once

#include <cstdint>
#include <span>

namespace vantrel {

struct SmfHeader {
  char magic[4] = {};
  std::uint32_t size = 0;        // only reported; the first track follows at 14
  std::uint16_t format = 0;
  std::uint16_t trackCount = 0;
  std::uint16_t division = 0;    // ticks per quarter note

  // Reads the 14 bytes at the start of `file` and checks them in a fixed
  // order. Returns the message of the first check that fails, or nullptr.
  [[nodiscard]] const char* readHeader(std::span<const std::uint8_t> file);
};

// The first track chunk header follows the 14 bytes of the header chunk.
inline constexpr std::uint64_t kFirstTrackOffset = 14;

struct TrackChunk {
  std::uint64_t start = 0;   // offset of the track's first event
  std::uint32_t length = 0;  // the chunk's length field: only reported
  // Counted by the walk that finds the track's end: its events, and those of
  // them that carry data (SysEx and meta events).
  std::uint32_t eventCount = 0;
  std::uint32_t dataEventCount = 0;
};

// Reads the 8-byte track chunk header at `offset`. Returns the "no MTrk
// chunk" message when it is not there or cut short, else nullptr.
[[nodiscard]] const char* readTrackHeader(std::span<const std::uint8_t> file,
                                          std::uint64_t offset, TrackChunk& chunk);

// Reads a big-endian number of `width` bytes at p.
inline std::uint32_t readBigEndian(const std::uint8_t* p, int width) {
  std::uint32_t value = 0;
  for (int i = 0; i < width; ++i) value = (value << 8) | p[i];
  return value;
}

}  // namespace vantrel
