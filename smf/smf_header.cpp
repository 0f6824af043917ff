#include "smf/smf_header.h"

#include <cstring>

namespace vantrel {

FaultKind SmfHeader::read(std::span<const std::uint8_t> smf) {
  if (smf.size() < 14) return FaultKind::kNoMThd;
  const std::uint8_t* p = smf.data();
  std::memcpy(magic, p, 4);
  size = readBigEndian(p + 4, 4);
  format = static_cast<std::uint16_t>(readBigEndian(p + 8, 2));
  trackCount = static_cast<std::uint16_t>(readBigEndian(p + 10, 2));
  division = static_cast<std::uint16_t>(readBigEndian(p + 12, 2));

  if (std::memcmp(magic, "MThd", 4) != 0) return FaultKind::kNoMThd;
  if (format == 2) return FaultKind::kFormat2;
  if (format > 2) return FaultKind::kUnknownFormat;
  if (trackCount == 0) return FaultKind::kNoTracks;
  if (format == 0 && trackCount != 1) return FaultKind::kFormat0Tracks;
  if (division == 0) return FaultKind::kZeroDivision;
  if (division & 0x8000) return FaultKind::kSmpteDivision;
  return FaultKind::kNone;
}

}  // namespace vantrel
