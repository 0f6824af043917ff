// System exclusive and meta events, written in the system pass of a track.
//
// Meta events with a command of their own become that command; the others are
// written as their raw bytes in DirectSMF(...). A meta event whose type needs
// a fixed data length is checked before anything of it is written.

#include "app/fault.h"
#include "app/messages.h"
#include "mml/converter.h"

namespace vantrel {

void Converter::writeHexBytes() {
  writeHexList(reader.take(static_cast<std::uint32_t>(reader.length)));
}

void Converter::writeHexList(std::span<const std::uint8_t> data) {
  for (std::size_t i = 0; i < data.size(); ++i) {
    if (i > 0) output.writeChar(',');
    output.writeChar('$');
    output.writeHex(data[i]);
  }
}

void Converter::writeQuotedText() {
  std::span<const std::uint8_t> data = reader.take(static_cast<std::uint32_t>(reader.length));
  output.writeChar('"');
  output.write(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
  output.writeChar('"');
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
    output.writeChar('$');
    output.writeHex(i > 0 ? groups[i] | 0x80u : groups[i]);
    if (i > 0) output.writeChar(',');
  }
}

void Converter::writeSysEx() {
  output.write("SysEx = $F0,");
  writeHexBytes();
  output.write(";\n\t");
}

void Converter::writeSysExEscape() {
  output.write("SysEx = ");
  writeHexBytes();
  output.write(";\n\t");
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

void Converter::writeMetaEvent() {
  const std::uint8_t type = reader.data1;
  const MetaRule rule = metaRule(type);
  if (rule.requiredLength == -2) dataError(rule.message);
  if (rule.requiredLength >= 0 && reader.length != rule.requiredLength) dataError(rule.message);

  auto rawDump = [&](const char* prefix, const char* ending) {
    output.write(prefix);
    writeHexBytes();
    output.write(ending);
  };
  auto quoted = [&](std::string_view word, const char* ending) {
    output.write(word);
    output.writeChar('{');
    writeQuotedText();
    output.write(ending);
  };

  switch (type) {
    case 0x00: rawDump("DirectSMF($FF,$00,$02,", "); "); break;
    case 0x01: quoted(words.text, "};\n\t"); break;
    case 0x02: quoted(words.copyright, "};\n\t"); break;
    case 0x03: quoted(words.trackName, "};\n\t"); break;
    case 0x04: quoted("InstrumentName=", "};\n\t"); break;
    case 0x05: quoted("Lyric=", "}; "); break;
    case 0x06: quoted("Marker=", "}; "); break;
    case 0x07: quoted("CuePoint=", "}; "); break;
    case 0x20:
    case 0x21:
      output.write(type == 0x20 ? "ChannelPrefix(" : "Port(");
      output.writeUnsigned(reader.take(1)[0]);
      output.write("); ");
      break;
    case 0x2F:
      reader.endOfTrack = 1;
      break;
    case 0x51: {
      std::span<const std::uint8_t> data = reader.take(3);
      std::uint32_t micros = readBigEndian(data.data(), 3);
      if (micros == 0) {
        // No rate can be given for a zero tempo: the bytes are kept as they are.
        output.write("DirectSMF($FF,$51,$03,");
        writeHexList(data);
        output.write(");\n\t");
        break;
      }
      output.write(words.tempo);
      output.writeChar('(');
      output.writeUnsigned(60000000u / micros);
      output.write(");\n\t");
      break;
    }
    case 0x54: rawDump("DirectSMF($FF,$54,$05,", "); "); break;
    case 0x58: {
      std::span<const std::uint8_t> data = reader.take(4);
      if (data[1] >= 32) {
        // 2 to that power does not fit a 32-bit denominator.
        output.write("DirectSMF($FF,$58,$04,");
        writeHexList(data);
        output.write(");\n\t");
        break;
      }
      output.write(words.timeSignature);
      output.writeChar('(');
      output.writeUnsigned(data[0]);
      output.writeChar(',');
      output.writeUnsigned(std::uint32_t{1} << data[1]);
      output.write(");\n\t");
      break;
    }
    case 0x59: rawDump("DirectSMF($FF,$59,$02,", ");\n\t"); break;
    case 0x7F:
      output.write("DirectSMF($FF,$7F,");
      writeVarLen(static_cast<std::uint32_t>(reader.length));
      if (reader.length > 0) output.writeChar(',');
      writeHexBytes();
      output.write(");\n\t");
      break;
  }
}

}  // namespace vantrel
