// Channel voice messages: notes go to the note handling, every other message
// becomes one MML command. Bank select with program change, RPN and NRPN are
// recognised as three messages at one tick and written as one command.

#include "mml/pass_writer.h"

namespace vantrel {
namespace {

// Controllers that have a command of their own. Controller 38 (data entry
// LSB) has none: it is written in the generic form, so that it still sends
// controller 38 when the MML is compiled.
const char* namedController(std::uint8_t controller) {
  switch (controller) {
    case 1: return "M(";
    case 5: return "PT(";
    case 6: return "DataMSB(";
    case 7: return "V(";
    case 10: return "P(";
    case 11: return "EP(";
    case 65: return "PS(";
    case 91: return "Reverb(";
    case 93: return "Chorus(";
    case 94: return "VAR(";
    default: return nullptr;
  }
}

}  // namespace

template <bool kExtras>
std::uint32_t PassWriter::writeChannelMessage(const DecodedEvent& event, std::uint32_t index) {
  const std::uint8_t d1 = event.data1;
  const std::uint8_t d2 = event.data2;
  switch (event.status & 0xF0) {
    case 0x90:
      if (d2 != 0) {
        startNote<kExtras>(event, index);
        break;
      }
      [[fallthrough]];  // a Note On of velocity 0 is a Note Off
    case 0x80:
      // Only the event that ends it ends the main line's note: a key struck
      // again may have the Note Off of its note before in between.
      if (pendingKey_ != kNoKey && index == pendingEnd_) pendingKey_ = kNoKey;
      break;
    case 0xA0:
      output_.write("DirectSMF($A0+Channel-1,");
      output_.writeUnsigned(d1);
      output_.writeChar(',');
      output_.writeUnsigned(d2);
      output_.write("); ");
      break;
    case 0xB0:
      return writeControlChange<kExtras>(event, index);
    case 0xC0:
      output_.write(words_.program);
      output_.writeChar('(');
      output_.writeUnsigned(d1 + 1u);
      output_.write("); ");
      break;
    case 0xD0:
      output_.write("DirectSMF($D0+Channel-1,");
      output_.writeUnsigned(d1);
      output_.write("); ");
      break;
    case 0xE0:
      output_.write("PitchBend(");
      output_.writeSigned(d1 + 128 * d2 - 8192);
      output_.write("); ");
      break;
  }
  return 1;
}

template <bool kExtras>
std::uint32_t PassWriter::writeControlChange(const DecodedEvent& event, std::uint32_t index) {
  const std::uint8_t controller = event.data1;
  const std::uint8_t value = event.data2;
  if (const char* command = namedController(controller)) {
    output_.write(command);
    output_.writeUnsigned(value);
    output_.write("); ");
    return 1;
  }
  if ((controller == 0 || controller == 99 || controller == 101) && writeIdiom<kExtras>(event, index)) {
    return 3;
  }
  output_.writeChar('y');
  output_.writeUnsigned(controller);
  output_.writeChar(',');
  output_.writeUnsigned(value);
  output_.write("; ");
  return 1;
}

// Looks at the two events of the track after controller 0, 99 or 101 (the
// event at `index`). When both are the ones the idiom needs, at the same tick
// and on the same channel, writes the idiom and returns true: the three
// events are written; otherwise writes nothing and returns false.
template <bool kExtras>
bool PassWriter::writeIdiom(const DecodedEvent& event, std::uint32_t index) {
  const std::uint8_t controller = event.data1;
  const std::uint8_t msb = event.data2;
  const std::uint8_t controlStatus = event.status;
  const std::uint8_t programStatus = static_cast<std::uint8_t>(0xC0 | (controlStatus & 0x0F));
  const std::uint8_t second = controller == 0 ? 32 : controller == 99 ? 98 : 100;

  // The next two events of the track, if they are the channel's: the next of
  // the pass, when nothing else came between them in the track.
  const std::uint32_t passEnd = track_.passBegin[pass_ + 1];
  auto follows = [&](std::uint32_t ahead) {
    return index + ahead < passEnd && track_.events[index + ahead].order == event.order + ahead;
  };
  if (!follows(1) || !follows(2)) return false;
  const DecodedEvent* next = &track_.events[index + 1];
  if (next->tick != event.tick || next->status != controlStatus || next->data1 != second) {
    return false;
  }
  const std::uint8_t lsb = next->data2;
  ++next;
  if (next->tick != event.tick) return false;
  if (controller == 0) {
    if (next->status != programStatus) return false;
    output_.write("Voice(");
    output_.writeUnsigned(next->data1 + 1u);
    output_.writeChar(',');
    output_.writeUnsigned(msb);
    output_.writeChar(',');
    output_.writeUnsigned(lsb);
    output_.write("); ");
  } else {
    if (next->status != controlStatus || next->data1 != 6) return false;
    const unsigned parameter = msb * 128u + lsb;
    if (controller == 101 && parameter <= 2) {
      static const char* const kRpn[] = {"BR(", "FineTune(", "CoarseTune("};
      output_.write(kRpn[parameter]);
    } else {
      output_.write(controller == 101 ? "RPN(" : "NRPN(");
      output_.writeUnsigned(msb);
      output_.writeChar(',');
      output_.writeUnsigned(lsb);
      output_.writeChar(',');
    }
    output_.writeUnsigned(next->data2);
    output_.write("); ");
  }
  return true;
}

template std::uint32_t PassWriter::writeChannelMessage<false>(const DecodedEvent&, std::uint32_t);
template std::uint32_t PassWriter::writeChannelMessage<true>(const DecodedEvent&, std::uint32_t);

}  // namespace vantrel
