#include "tools/roundtrip/text_forms.h"

#include "tools/smf_writer/smf_writer.h"

namespace vantrel::roundtrip {
namespace {

const char kHexDigits[] = "0123456789abcdef";

void appendHex(std::string& out, std::uint32_t value) {
  char digits[8];
  int n = 0;
  do {
    digits[n++] = kHexDigits[value & 0xF];
    value >>= 4;
  } while (value != 0);
  out += '$';
  while (n > 0) out += digits[--n];
}

}  // namespace

std::string hexList(std::span<const std::uint8_t> bytes) {
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i > 0) out += ',';
    appendHex(out, bytes[i]);
  }
  return out;
}

std::string varLenList(std::uint32_t value) { return hexList(smf_writer::varLen(value)); }

std::string printable(std::string_view text, std::size_t limit) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (i == limit) {
      out += "...";
      break;
    }
    const unsigned char c = static_cast<unsigned char>(text[i]);
    switch (c) {
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\\':
        out += "\\\\";
        break;
      default:
        if (c >= 0x20 && c < 0x7F) {
          out += static_cast<char>(c);
        } else {
          out += "\\x";
          out += kHexDigits[c >> 4];
          out += kHexDigits[c & 0xF];
        }
    }
  }
  return out;
}

std::string withUnixLines(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out += text[i];
  }
  return out;
}

}  // namespace vantrel::roundtrip
