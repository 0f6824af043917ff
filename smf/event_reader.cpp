#include "smf/event_reader.h"

#include <array>

#include "app/fault.h"
#include "app/messages.h"

namespace vantrel {

void EventReader::rewindTrack(std::uint64_t offset) {
  position = offset;
  runningStatus = 0;
  endOfTrack = 0;
}

void EventReader::endOfFile() { dataError(messages::kTrackCutShort); }

void EventReader::skip(std::uint64_t count) {
  if (count > file.size() - position) endOfFile();
  position += count;
}

std::span<const std::uint8_t> EventReader::take(std::uint64_t count) {
  std::uint64_t start = position;
  skip(count);
  return file.subspan(start, count);
}

namespace {

// The /M mask bit that leaves out each status, 0 for those never left out.
constexpr std::array<std::int32_t, 256> makeFilterBits() {
  std::array<std::int32_t, 256> bits{};
  for (int status = 0xA0; status <= 0xEF; ++status) bits[status] = 1 << ((status >> 4) - 8);
  bits[0xF0] = 0x0100;
  bits[0xF7] = 0x0200;
  bits[0xFF] = 0x0400;
  return bits;
}
constexpr std::array<std::int32_t, 256> kFilterBits = makeFilterBits();

}  // namespace

std::uint32_t EventReader::readEvent() {
  // Every event of every track passes here twice: the cursor is kept in a
  // local so that it stays in a register.
  const std::uint8_t* const bytes = file.data();
  const std::uint64_t size = file.size();
  std::uint64_t pos = position;
  auto next = [&]() -> std::uint8_t {
    if (pos >= size) {
      position = pos;  // where the missing byte was due
      endOfFile();
    }
    return bytes[pos++];
  };
  auto varLen = [&]() -> std::uint32_t {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
      std::uint8_t b = next();
      value = (value << 7) | (b & 0x7F);
      if (!(b & 0x80)) break;
    }
    return value;
  };

  const std::uint32_t delta = varLen();
  const std::uint8_t b = next();
  std::uint8_t s = b;
  std::int32_t dataLength = 0;
  if (b < 0xF0) {
    if (b >= 0x80) {
      data1 = next();
      runningStatus = b;
    } else {
      data1 = b;
      s = runningStatus;
    }
    if ((s >= 0x80 && s <= 0xBF) || (s >= 0xE0 && s <= 0xEF)) data2 = next();
  } else if (b == 0xF0 || b == 0xF7) {
    dataLength = static_cast<std::int32_t>(varLen());
  } else if (b == 0xFF) {
    data1 = next();
    dataLength = static_cast<std::int32_t>(varLen());
    if (data1 == 0x2F) endOfTrack = 1;
  }
  position = pos;
  length = dataLength;
  status = (filterMask & kFilterBits[s]) ? 0 : s;
  return delta;
}

}  // namespace vantrel
