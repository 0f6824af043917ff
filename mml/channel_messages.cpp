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

void Converter::writeChannelMessage() {
  const std::uint8_t d1 = reader.data1;
  const std::uint8_t d2 = reader.data2;
  switch (reader.status & 0xF0) {
    case 0x90:
      if (d2 != 0) {
        startNote();
        break;
      }
      [[fallthrough]];  // a Note On of velocity 0 is a Note Off
    case 0x80:
      if (d1 == pendingKey) pendingKey = kNoKey;
      break;
    case 0xA0:
      output.write("DirectSMF($A0+Channel-1,");
      output.writeUnsigned(d1);
      output.writeChar(',');
      output.writeUnsigned(d2);
      output.write("); ");
      break;
    case 0xB0:
      writeControlChange();
      break;
    case 0xC0:
      output.write(words.program);
      output.writeChar('(');
      output.writeUnsigned(d1 + 1u);
      output.write("); ");
      break;
    case 0xD0:
      output.write("DirectSMF($D0+Channel-1,");
      output.writeUnsigned(d1);
      output.write("); ");
      break;
    case 0xE0:
      output.write("PitchBend(");
      output.writeSigned(d1 + 128 * d2 - 8192);
      output.write("); ");
      break;
  }
}

void Converter::writeControlChange() {
  const std::uint8_t controller = reader.data1;
  const std::uint8_t value = reader.data2;
  if (const char* command = namedController(controller)) {
    output.write(command);
    output.writeUnsigned(value);
    output.write("); ");
    return;
  }
  if ((controller == 0 || controller == 99 || controller == 101) && writeIdiom()) return;
  output.writeChar('y');
  output.writeUnsigned(controller);
  output.writeChar(',');
  output.writeUnsigned(value);
  output.write("; ");
}

// Looks at the two events after controller 0, 99 or 101. When both are the
// ones the idiom needs, at the same tick and on the same channel, writes the
// idiom and takes them in (consumedAhead); otherwise writes nothing and
// returns false.
bool Converter::writeIdiom() {
  const std::uint8_t controller = reader.data1;
  const std::uint8_t m = reader.data2;
  const std::uint8_t controlStatus = reader.status;
  const std::uint8_t programStatus = static_cast<std::uint8_t>(0xC0 | (controlStatus & 0x0F));
  const std::uint8_t second = controller == 0 ? 32 : controller == 99 ? 98 : 100;

  // The end-of-track event is last and matches no step, so both exist when
  // the first matches.
  const DecodedEvent* next = &track.events[eventIndex];
  const std::uint64_t tick = next->tick;
  ++next;
  if (eventIndex + 1 >= track.events.size() || next->tick != tick ||
      next->status != controlStatus || next->data1 != second) {
    return false;
  }
  const std::uint8_t l = next->data2;
  ++next;
  if (next->tick != tick) return false;
  if (controller == 0) {
    if (next->status != programStatus) return false;
    output.write("Voice(");
    output.writeUnsigned(next->data1 + 1u);
    output.writeChar(',');
    output.writeUnsigned(m);
    output.writeChar(',');
    output.writeUnsigned(l);
    output.write("); ");
  } else {
    if (next->status != controlStatus || next->data1 != 6) return false;
    const unsigned parameter = m * 128u + l;
    if (controller == 101 && parameter <= 2) {
      static const char* const kRpn[] = {"BR(", "FineTune(", "CoarseTune("};
      output.write(kRpn[parameter]);
    } else {
      output.write(controller == 101 ? "RPN(" : "NRPN(");
      output.writeUnsigned(m);
      output.writeChar(',');
      output.writeUnsigned(l);
      output.writeChar(',');
    }
    output.writeUnsigned(next->data2);
    output.write("); ");
  }
  consumedAhead = 2;
  return true;
}

}  // namespace vantrel
