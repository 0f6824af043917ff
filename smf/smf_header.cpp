#include "smf/smf_header.h"

#include <cstring>

#include "smf/smf_messages.h"

namespace vantrel {

const char* SmfHeader::readHeader(std::span<const std::uint8_t> file) {
  if (file.size() < 14) return messages::kNoMThd;
  const std::uint8_t* p = file.data();
  std::memcpy(magic, p, 4);
  size = readBigEndian(p + 4, 4);
  format = static_cast<std::uint16_t>(readBigEndian(p + 8, 2));
  trackCount = static_cast<std::uint16_t>(readBigEndian(p + 10, 2));
  division = static_cast<std::uint16_t>(readBigEndian(p + 12, 2));

  if (std::memcmp(magic, "MThd", 4) != 0) return messages::kNoMThd;
  if (format == 2) return messages::kFormat2;
  if (format > 2) return messages::kUnknownFormat;
  if (trackCount == 0) return messages::kNoTracks;
  if (format == 0 && trackCount != 1) return messages::kFormat0Tracks;
  if (division == 0) return messages::kZeroDivision;
  if (division & 0x8000) return messages::kSmpteDivision;
  return nullptr;
}

const char* readTrackHeader(std::span<const std::uint8_t> file, std::uint64_t offset,
                            TrackChunk& chunk) {
  // A chunk header cut short by the end of the file is a missing chunk too.
  if (offset > file.size() || file.size() - offset < 8) return messages::kNoMTrk;
  const std::uint8_t* p = file.data() + offset;
  if (std::memcmp(p, "MTrk", 4) != 0) return messages::kNoMTrk;
  chunk.length = readBigEndian(p + 4, 4);
  chunk.start = offset + 8;
  return nullptr;
}

}  // namespace vantrel
