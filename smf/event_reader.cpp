#include "smf/event_reader.h"

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

std::uint32_t EventReader::readEvent() {
  std::uint32_t delta = readVarLen();
  std::uint8_t b = readByte();
  status = b;
  if (b < 0xF0) {
    length = 0;
    if (b >= 0x80) {
      data1 = readByte();
      runningStatus = b;
    } else {
      data1 = b;
      status = runningStatus;
    }
    if ((status >= 0x80 && status <= 0xBF) || (status >= 0xE0 && status <= 0xEF)) {
      data2 = readByte();
    }
  } else if (b == 0xF0 || b == 0xF7) {
    length = static_cast<std::int32_t>(readVarLen());
  } else if (b == 0xFF) {
    data1 = readByte();
    length = static_cast<std::int32_t>(readVarLen());
    if (data1 == 0x2F) endOfTrack = 1;
  } else {
    length = 0;
  }

  std::int32_t bit = 0;
  if (status == 0xF0) {
    bit = 0x0100;
  } else if (status == 0xF7) {
    bit = 0x0200;
  } else if (status == 0xFF) {
    bit = 0x0400;
  } else if (status >= 0xA0 && status <= 0xEF) {
    bit = 1 << ((status >> 4) - 8);  // 0xA0: 0x04 ... 0xE0: 0x40
  }
  if (filterMask & bit) status = 0;
  return delta;
}

}  // namespace vantrel
