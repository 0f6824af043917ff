// System exclusive and meta events, written in the system pass of a track.
//
// Meta events with a command of their own become that command; the others are
// written as their raw bytes in DirectSMF(...). The walk has checked the
// length of every meta event written here: one of the wrong length is a
// fault, which stops the pass before it.

#include <cassert>

#include "mml/pass_writer.h"
#include "smf/walk.h"

namespace vantrel {

void PassWriter::writeQuotedText(std::span<const std::uint8_t> data) {
  output_.writeChar('"');
  output_.write(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
  output_.writeChar('"');
}

void PassWriter::writeVarLen(std::uint32_t value) {
  // Groups of 7 bits, the most significant first; all but the last byte
  // carry the continuation bit.
  std::uint8_t groups[5];
  int n = 0;
  do {
    groups[n++] = value & 0x7F;
    value >>= 7;
  } while (value != 0);
  for (int i = n - 1; i >= 0; --i) {
    output_.writeChar('$');
    output_.writeHex(i > 0 ? groups[i] | 0x80u : groups[i]);
    if (i > 0) output_.writeChar(',');
  }
}

void PassWriter::writeSysEx(std::uint8_t status, std::span<const std::uint8_t> data) {
  // An escape (0xF7) carries its bytes as they are; a SysEx begins with F0.
  output_.write(status == 0xF0 ? "SysEx = $F0," : "SysEx = ");
  output_.writeHexList(data);
  output_.write(";\n\t");
}

void PassWriter::writeMetaEvent(std::uint8_t type, std::span<const std::uint8_t> data) {
  assert(systemEventFault(0xFF, type, static_cast<std::uint32_t>(data.size())) == FaultKind::kNone);

  auto rawDump = [&](const char* prefix, const char* ending) {
    output_.write(prefix);
    output_.writeHexList(data);
    output_.write(ending);
  };
  auto quoted = [&](std::string_view word, const char* ending) {
    output_.write(word);
    output_.writeChar('{');
    writeQuotedText(data);
    output_.write(ending);
  };

  switch (type) {
    case 0x00: rawDump("DirectSMF($FF,$00,$02,", "); "); break;
    case 0x01: quoted(words_.text, "};\n\t"); break;
    case 0x02: quoted(words_.copyright, "};\n\t"); break;
    case 0x03: quoted(words_.trackName, "};\n\t"); break;
    case 0x04: quoted("InstrumentName=", "};\n\t"); break;
    case 0x05: quoted("Lyric=", "}; "); break;
    case 0x06: quoted("Marker=", "}; "); break;
    case 0x07: quoted("CuePoint=", "}; "); break;
    case 0x20:
    case 0x21:
      output_.write(type == 0x20 ? "ChannelPrefix(" : "Port(");
      output_.writeUnsigned(data[0]);
      output_.write("); ");
      break;
    case 0x2F:
      break;
    case 0x51: {
      const std::uint32_t micros = readBigEndian(data.data(), 3);
      if (micros == 0) {
        // No rate can be given for a zero tempo: the bytes are kept as they are.
        rawDump("DirectSMF($FF,$51,$03,", ");\n\t");
        break;
      }
      output_.write(words_.tempo);
      output_.writeChar('(');
      output_.writeUnsigned(60000000u / micros);
      output_.write(");\n\t");
      break;
    }
    case 0x54: rawDump("DirectSMF($FF,$54,$05,", "); "); break;
    case 0x58:
      if (data[1] >= 32) {
        // 2 to that power does not fit a 32-bit denominator.
        rawDump("DirectSMF($FF,$58,$04,", ");\n\t");
        break;
      }
      output_.write(words_.timeSignature);
      output_.writeChar('(');
      output_.writeUnsigned(data[0]);
      output_.writeChar(',');
      output_.writeUnsigned(std::uint32_t{1} << data[1]);
      output_.write(");\n\t");
      break;
    case 0x59: rawDump("DirectSMF($FF,$59,$02,", ");\n\t"); break;
    case 0x7F:
      output_.write("DirectSMF($FF,$7F,");
      writeVarLen(static_cast<std::uint32_t>(data.size()));
      if (!data.empty()) output_.writeChar(',');
      output_.writeHexList(data);
      output_.write(");\n\t");
      break;
  }
}

}  // namespace vantrel
