// Channel voice messages: notes go to the note handling, every other message
// becomes one MML command. Bank select with program change, RPN and NRPN are
// recognised as three messages at one tick and written as one command.

#include "mml/converter.h"

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

void Converter::writeChannelMessage(const DecodedEvent& event, std::uint32_t index) {
  const std::uint8_t d1 = event.data1;
  const std::uint8_t d2 = event.data2;
  switch (event.status & 0xF0) {
    case 0x90:
      if (d2 != 0) {
        startNote(event);
        break;
      }
      [[fallthrough]];  // a Note On of velocity 0 is a Note Off
    case 0x80:
      if (d1 == pass_.pendingKey) pass_.pendingKey = kNoKey;
      break;
    case 0xA0:
      output_.write("DirectSMF($A0+Channel-1,");
      output_.writeUnsigned(d1);
      output_.writeChar(',');
      output_.writeUnsigned(d2);
      output_.write("); ");
      break;
    case 0xB0:
      writeControlChange(event, index);
      break;
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
}

void Converter::writeControlChange(const DecodedEvent& event, std::uint32_t index) {
  const std::uint8_t controller = event.data1;
  const std::uint8_t value = event.data2;
  if (const char* command = namedController(controller)) {
    output_.write(command);
    output_.writeUnsigned(value);
    output_.write("); ");
    return;
  }
  if ((controller == 0 || controller == 99 || controller == 101) && writeIdiom(event, index)) {
    return;
  }
  output_.writeChar('y');
  output_.writeUnsigned(controller);
  output_.writeChar(',');
  output_.writeUnsigned(value);
  output_.write("; ");
}

// Looks at the two events after controller 0, 99 or 101 (the event at
// `index`). When both are the ones the idiom needs, at the same tick and on
// the same channel, writes the idiom and takes them in (consumedAhead);
// otherwise writes nothing and returns false.
bool Converter::writeIdiom(const DecodedEvent& event, std::uint32_t index) {
  const std::uint8_t controller = event.data1;
  const std::uint8_t m = event.data2;
  const std::uint8_t controlStatus = event.status;
  const std::uint8_t programStatus = static_cast<std::uint8_t>(0xC0 | (controlStatus & 0x0F));
  const std::uint8_t second = controller == 0 ? 32 : controller == 99 ? 98 : 100;

  // The end-of-track event is last and matches no step, so both exist when
  // the first matches.
  if (index + 1 >= track_.events.size()) return false;
  const DecodedEvent* next = &track_.events[index + 1];
  if (next->tick != event.tick || next->status != controlStatus || next->data1 != second) {
    return false;
  }
  const std::uint8_t l = next->data2;
  ++next;
  if (next->tick != event.tick) return false;
  if (controller == 0) {
    if (next->status != programStatus) return false;
    output_.write("Voice(");
    output_.writeUnsigned(next->data1 + 1u);
    output_.writeChar(',');
    output_.writeUnsigned(m);
    output_.writeChar(',');
    output_.writeUnsigned(l);
    output_.write("); ");
  } else {
    if (next->status != controlStatus || next->data1 != 6) return false;
    const unsigned parameter = m * 128u + l;
    if (controller == 101 && parameter <= 2) {
      static const char* const kRpn[] = {"BR(", "FineTune(", "CoarseTune("};
      output_.write(kRpn[parameter]);
    } else {
      output_.write(controller == 101 ? "RPN(" : "NRPN(");
      output_.writeUnsigned(m);
      output_.writeChar(',');
      output_.writeUnsigned(l);
      output_.writeChar(',');
    }
    output_.writeUnsigned(next->data2);
    output_.write("); ");
  }
  pass_.consumedAhead = 2;
  return true;
}

}  // namespace vantrel
