#include "tools/roundtrip/smf_events.h"

#include <algorithm>
#include <cstring>

namespace vantrel::roundtrip {
namespace {

// Reads bytes forward and remembers whether it ever ran past the end.
class ByteSource {
 public:
  explicit ByteSource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  std::uint8_t byte() {
    if (position_ >= bytes_.size()) {
      pastEnd_ = true;
      return 0;
    }
    return bytes_[position_++];
  }

  std::uint32_t varLen() {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {  // at most four bytes, whatever the fourth says
      std::uint8_t b = byte();
      value = (value << 7) | (b & 0x7Fu);
      if (!(b & 0x80)) break;
    }
    return value;
  }

  std::span<const std::uint8_t> take(std::uint64_t count) {
    if (count > bytes_.size() - position_) {
      pastEnd_ = true;
      position_ = bytes_.size();
      return {};
    }
    auto out = bytes_.subspan(position_, count);
    position_ += count;
    return out;
  }

  std::size_t position() const { return position_; }
  std::size_t left() const { return bytes_.size() - position_; }
  bool pastEnd() const { return pastEnd_; }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t position_ = 0;
  bool pastEnd_ = false;
};

std::uint32_t bigEndian(std::span<const std::uint8_t> bytes) {
  std::uint32_t value = 0;
  for (std::uint8_t b : bytes) value = (value << 8) | b;
  return value;
}

bool leftOut(std::uint8_t status, std::int32_t mask) {
  std::int32_t bit = 0;
  if (status == 0xF0)
    bit = 0x0100;
  else if (status == 0xF7)
    bit = 0x0200;
  else if (status == 0xFF)
    bit = 0x0400;
  else if (status >= 0xA0 && status < 0xF0)
    bit = 1 << ((status >> 4) - 8);
  return (mask & bit) != 0;
}

bool twoDataBytes(std::uint8_t status) {
  return (status >= 0x80 && status < 0xC0) || (status >= 0xE0 && status < 0xF0);
}

// A RIFF MIDI form (.rmi) carries the SMF as the data of its first "data"
// chunk, cut where the file ends; any other file is taken as it is.
std::span<const std::uint8_t> smfInRiff(std::span<const std::uint8_t> bytes) {
  auto idAt = [&](std::size_t at, const char* id) {
    return at + 4 <= bytes.size() && std::memcmp(bytes.data() + at, id, 4) == 0;
  };
  if (!idAt(0, "RIFF") || !idAt(8, "RMID")) return bytes;
  for (std::size_t at = 12; at + 8 <= bytes.size();) {
    const std::uint64_t size = std::uint64_t{bytes[at + 4]} | std::uint64_t{bytes[at + 5]} << 8 |
                               std::uint64_t{bytes[at + 6]} << 16 | std::uint64_t{bytes[at + 7]} << 24;
    const std::size_t data = at + 8;
    if (idAt(at, "data")) {
      return bytes.subspan(data, static_cast<std::size_t>(std::min<std::uint64_t>(size, bytes.size() - data)));
    }
    const std::uint64_t next = data + size + (size & 1);
    if (next > bytes.size()) break;
    at = static_cast<std::size_t>(next);
  }
  return bytes;
}

}  // namespace

std::optional<SmfRefusal> readSmf(std::span<const std::uint8_t> input, std::int32_t filterMask,
                                  SmfFile& file) {
  const std::span<const std::uint8_t> bytes = smfInRiff(input);
  if (bytes.size() < 14 || std::memcmp(bytes.data(), "MThd", 4) != 0) {
    return SmfRefusal{faults::kNoMThd};
  }
  file.headerSize = bigEndian(bytes.subspan(4, 4));
  const std::uint32_t format = bigEndian(bytes.subspan(8, 2));
  const std::uint32_t trackCount = bigEndian(bytes.subspan(10, 2));
  const std::uint32_t division = bigEndian(bytes.subspan(12, 2));
  if (format == 2) return SmfRefusal{faults::kFormat2};
  if (format > 2) return SmfRefusal{faults::kUnknownFormat};
  if (trackCount == 0) return SmfRefusal{faults::kNoTracks};
  if (format == 0 && trackCount != 1) return SmfRefusal{faults::kFormat0Tracks};
  if (division == 0) return SmfRefusal{faults::kZeroDivision};
  if (division & 0x8000) return SmfRefusal{faults::kSmpteDivision};
  file.format = static_cast<int>(format);
  file.division = static_cast<int>(division);

  ByteSource source(bytes);
  source.take(14);
  for (std::uint32_t index = 0; index < trackCount; ++index) {
    const int trackNumber = static_cast<int>(index);
    // A chunk of another type (four printable characters) is passed over by
    // its length; anything else where a track chunk should start is none.
    std::span<const std::uint8_t> chunk;
    for (;;) {
      if (source.left() < 8) return SmfRefusal{faults::kNoMTrk, trackNumber};
      chunk = source.take(8);
      if (std::memcmp(chunk.data(), "MTrk", 4) == 0) break;
      const bool named = std::all_of(chunk.begin(), chunk.begin() + 4,
                                     [](std::uint8_t c) { return c >= 0x20 && c <= 0x7E; });
      const std::uint32_t length = bigEndian(chunk.subspan(4, 4));
      if (!named || length > source.left()) return SmfRefusal{faults::kNoMTrk, trackNumber};
      source.take(length);
    }

    SmfTrack& track = file.tracks.emplace_back();
    track.size = bigEndian(chunk.subspan(4, 4));
    std::uint8_t runningStatus = 0;
    std::uint8_t lastData2 = 0;
    std::uint64_t tick = 0;
    for (bool ended = false; !ended;) {
      SmfEvent event;
      event.delta = source.varLen();
      tick += event.delta;
      event.tick = tick;
      const std::uint8_t b = source.byte();
      event.status = b;
      event.data2 = lastData2;
      if (b < 0xF0) {
        if (b & 0x80) {
          event.data1 = source.byte();
          runningStatus = b;
        } else {
          // A data byte repeats the last channel status; with none it stands alone.
          event.data1 = b;
          event.status = runningStatus;
          event.runningStatus = true;
        }
        if (twoDataBytes(event.status)) event.data2 = lastData2 = source.byte();
      } else if (b == 0xF0 || b == 0xF7) {
        event.data = source.take(source.varLen());
      } else if (b == 0xFF) {
        event.data1 = source.byte();
        event.data = source.take(source.varLen());
        ended = event.data1 == 0x2F;  // whether or not meta events are left out
      }
      if (source.pastEnd()) return SmfRefusal{faults::kTrackCutShort, trackNumber, tick};
      if (leftOut(event.status, filterMask)) event.status = 0;
      track.events.push_back(event);
    }
    track.endTick = tick;
  }
  return std::nullopt;
}

}  // namespace vantrel::roundtrip
