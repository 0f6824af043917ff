// System exclusive and meta events, written in the system pass of a track.
//
// Meta events with a command of their own become that command; the others are
// written as their raw bytes in DirectSMF(...). A meta event whose type needs
// a fixed data length is checked before anything of it is written.

#include "mml/converter.h"
#include "mml/mml_messages.h"

namespace vantrel {

void Converter::writeHexList(std::span<const std::uint8_t> data) { output_.writeHexList(data); }

void Converter::writeQuotedText(std::span<const std::uint8_t> data) {
  output_.writeChar('"');
  output_.write(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
  output_.writeChar('"');
}

void Converter::writeVarLen(std::uint32_t value) {
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

void Converter::writeSysEx(std::uint8_t status, std::span<const std::uint8_t> data) {
  // An escape (0xF7) carries its bytes as they are; a SysEx begins with F0.
  output_.write(status == 0xF0 ? "SysEx = $F0," : "SysEx = ");
  writeHexList(data);
  output_.write(";\n\t");
}

namespace {

// The data length that a meta type requires, and the message when it is
// wrong; -1 for the types that take any length.
struct MetaRule {
  int requiredLength;
  const char* message;
};

MetaRule metaRule(std::uint8_t type) {
  switch (type) {
    case 0x00: return {2, messages::kBadSequenceNumber};
    case 0x20: return {1, messages::kBadChannelPrefix};
    case 0x21: return {1, messages::kBadPort};
    case 0x2F: return {0, messages::kBadEndOfTrack};
    case 0x51: return {3, messages::kBadTempo};
    case 0x54: return {5, messages::kBadSmpteOffset};
    case 0x58: return {4, messages::kBadTimeSignature};
    case 0x59: return {2, messages::kBadKeySignature};
    case 0x01: case 0x02: case 0x03: case 0x04:
    case 0x05: case 0x06: case 0x07: case 0x7F:
      return {-1, nullptr};
    default: return {-2, messages::kBadMetaEvent};
  }
}

}  // namespace

const char* Converter::writeMetaEvent(std::uint8_t type, std::span<const std::uint8_t> data) {
  const MetaRule rule = metaRule(type);
  if (rule.requiredLength == -2) return rule.message;
  if (rule.requiredLength >= 0 && data.size() != static_cast<std::size_t>(rule.requiredLength)) {
    return rule.message;
  }

  auto rawDump = [&](const char* prefix, const char* ending) {
    output_.write(prefix);
    writeHexList(data);
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
      writeHexList(data);
      output_.write(");\n\t");
      break;
  }
  return nullptr;
}

}  // namespace vantrel
