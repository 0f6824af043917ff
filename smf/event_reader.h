// EventReader: decodes the events of a track one at a time, from the input
// held in memory.
//
// It keeps running status, applies the /M event filter (a left-out event comes
// back with status 0), and leaves the data of SysEx and meta events unread for
// the caller. Every byte it needs past the end of the file ends the run with
// the "file ends inside a track" fault; it never reads outside the buffer.
#pragma once

#include <cstdint>
#include <span>

namespace vantrel {

struct EventReader {
  std::span<const std::uint8_t> file;  // the whole SMF
  std::uint64_t position = 0;          // offset of the next byte to read
  std::int32_t filterMask = 0;         // the /M options

  std::uint8_t runningStatus = 0;  // last channel status, 0 none
  std::uint8_t status = 0;         // 0: nothing to act on
  std::uint8_t data1 = 0;          // first data byte; meta event type
  std::uint8_t data2 = 0;          // second data byte of two-byte messages
  std::int32_t length = 0;         // SysEx or meta data bytes still unread
  std::uint8_t endOfTrack = 0;     // set by the end-of-track meta event

  // Moves to `offset` (the first event of a track) and forgets running
  // status and the end of track.
  void rewindTrack(std::uint64_t offset);

  std::uint8_t readByte() {
    if (position >= file.size()) endOfFile();
    return file[position++];
  }

  // At most four bytes, so at most 28 bits.
  std::uint32_t readVarLen() {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
      std::uint8_t b = readByte();
      value = (value << 7) | (b & 0x7F);
      if (!(b & 0x80)) break;
    }
    return value;
  }

  // Decodes the next event into the fields and returns its delta time.
  std::uint32_t readEvent();

  // Steps over `count` bytes (the data of a SysEx or meta event).
  void skip(std::uint64_t count);

  // The bytes from `position` on, `count` of them, consumed.
  std::span<const std::uint8_t> take(std::uint64_t count);

 private:
  [[noreturn]] static void endOfFile();  // the fault of a track cut short
};

}  // namespace vantrel
