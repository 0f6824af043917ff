#include "smf/riff.h"

#include <algorithm>
#include <cstring>

namespace vantrel {
namespace {

std::uint32_t readLittleEndian32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
         std::uint32_t{p[3]} << 24;
}

}  // namespace

std::span<const std::uint8_t> unwrapRiff(std::span<const std::uint8_t> file) {
  if (file.size() < 12 || std::memcmp(file.data(), "RIFF", 4) != 0 ||
      std::memcmp(file.data() + 8, "RMID", 4) != 0) {
    return file;
  }
  // The form's own size is not trusted: the chunks are walked to the end of
  // the file.
  std::uint64_t offset = 12;
  while (file.size() - offset >= 8) {
    const std::uint8_t* chunk = file.data() + offset;
    const std::uint64_t size = readLittleEndian32(chunk + 4);
    const std::uint64_t start = offset + 8;
    if (std::memcmp(chunk, "data", 4) == 0) {
      return file.subspan(start, std::min<std::uint64_t>(size, file.size() - start));
    }
    offset = start + size + (size & 1);
    if (offset > file.size()) break;
  }
  return file;
}

}  // namespace vantrel
