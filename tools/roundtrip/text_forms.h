// Small text helpers shared by both sides of the check: the byte dumps of the
// MML text, and a printable form of any text for reports.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace vantrel::roundtrip {

// "$" and lowercase hexadecimal without leading zeros, joined by ",".
std::string hexList(std::span<const std::uint8_t> bytes);

// The bytes of a variable-length quantity, written like a hex list.
std::string varLenList(std::uint32_t value);

// The text with line feeds, tabs, carriage returns, quotes and bytes outside
// printable ASCII shown as escapes; cut after `limit` characters.
std::string printable(std::string_view text, std::size_t limit = 80);

// The pieces one after the other, numbers in decimal.
inline void appendPiece(std::string& out, std::string_view text) { out += text; }
inline void appendPiece(std::string& out, std::int64_t number) { out += std::to_string(number); }
template <typename... Pieces>
std::string joined(const Pieces&... pieces) {
  std::string out;
  (appendPiece(out, pieces), ...);
  return out;
}

// CR LF turned back into LF, the inverse of how the MML file stores lines.
std::string withUnixLines(std::string_view text);

}  // namespace vantrel::roundtrip
