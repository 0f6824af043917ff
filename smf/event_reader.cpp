#include "smf/event_reader.h"

#include <array>

namespace vantrel {
namespace {

// The filter bit that leaves out each status, 0 for those never left out.
constexpr std::array<std::int32_t, 256> makeFilterBits() {
  std::array<std::int32_t, 256> bits{};
  for (int status = 0xA0; status <= 0xEF; ++status) bits[status] = 1 << ((status >> 4) - 8);
  bits[0xF0] = kFilterSysEx;
  bits[0xF7] = kFilterSysExEscape;
  bits[0xFF] = kFilterMeta;
  return bits;
}
constexpr std::array<std::int32_t, 256> kFilterBits = makeFilterBits();

// Channel statuses with a second data byte: all but program change and
// channel pressure (0xC0 to 0xDF).
constexpr bool hasSecondDataByte(std::uint8_t status) {
  return (status >= 0x80 && status <= 0xBF) || (status >= 0xE0 && status <= 0xEF);
}

}  // namespace

bool EventReader::readEvent() {
  // Every event of every track passes here: the cursor is kept in a local so
  // that it stays in a register.
  const std::uint8_t* const bytes = file.data();
  const std::uint64_t size = file.size();
  std::uint64_t pos = position;
  const auto cutShort = [&] {
    position = size;  // every missing byte lies at the end of the file
    return false;
  };

  if (!readVarLen(file, pos, delta) || pos >= size) return cutShort();
  const std::uint8_t b = bytes[pos++];
  std::uint8_t s = b;
  std::int32_t dataLength = 0;
  if (b < 0xF0) {
    if (b >= 0x80) {
      if (pos >= size) return cutShort();
      data1 = bytes[pos++];
      runningStatus = b;
    } else {
      data1 = b;
      s = runningStatus;
    }
    if (hasSecondDataByte(s)) {
      if (pos >= size) return cutShort();
      data2 = bytes[pos++];
    }
  } else if (b == 0xF0 || b == 0xF7) {
    std::uint32_t n;
    if (!readVarLen(file, pos, n)) return cutShort();
    dataLength = static_cast<std::int32_t>(n);
  } else if (b == 0xFF) {
    if (pos >= size) return cutShort();
    data1 = bytes[pos++];
    std::uint32_t n;
    if (!readVarLen(file, pos, n)) return cutShort();
    dataLength = static_cast<std::int32_t>(n);
    if (data1 == 0x2F) endOfTrack = true;
  }
  position = pos;
  length = dataLength;
  status = (filterMask & kFilterBits[s]) ? 0 : s;
  return true;
}

}  // namespace vantrel
