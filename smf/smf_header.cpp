#include "smf/smf_header.h"

#include <cstring>

#include "app/fault.h"
#include "app/messages.h"

namespace vantrel {

void SmfHeader::readHeader(std::span<const std::uint8_t> file) {
  if (file.size() < 14) dataError(messages::kNoMThd);
  const std::uint8_t* p = file.data();
  std::memcpy(magic, p, 4);
  size = readBigEndian(p + 4, 4);
  format = static_cast<std::uint16_t>(readBigEndian(p + 8, 2));
  trackCount = static_cast<std::uint16_t>(readBigEndian(p + 10, 2));
  division = static_cast<std::uint16_t>(readBigEndian(p + 12, 2));

  if (std::memcmp(magic, "MThd", 4) != 0) dataError(messages::kNoMThd);
  if (format == 2) dataError(messages::kFormat2);
  if (format > 2) dataError(messages::kUnknownFormat);
  if (trackCount == 0) dataError(messages::kNoTracks);
  if (format == 0 && trackCount != 1) dataError(messages::kFormat0Tracks);
  if (division == 0) dataError(messages::kZeroDivision);
  if (division & 0x8000) dataError(messages::kSmpteDivision);
}

}  // namespace vantrel
