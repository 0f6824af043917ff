// floor: the least work any SMF-to-text converter must do, as a yardstick.
//
// It reads the whole file, decodes every event of every track exactly once
// (delta time, running status, the lengths of SysEx and meta events) and
// writes a given number of bytes, the size of the converter's output, to a
// file. A converter's time divided by this program's time on the same file
// tells how much it spends beyond reading the input and writing the output.
//
// usage: floor INPUT OUTPUT BYTES
// Prints the number of events and tracks it decoded on standard output.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

struct Decoder {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t pos = 0;
  bool cut = false;  // the file ended inside an event

  std::uint8_t byte() {
    if (pos >= size) {
      cut = true;
      return 0;
    }
    return data[pos++];
  }
  std::uint32_t varLen() {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
      std::uint8_t b = byte();
      value = (value << 7) | (b & 0x7F);
      if (!(b & 0x80)) break;
    }
    return value;
  }
};

// What decoding produced; summed so that none of the work can be left out.
struct Totals {
  std::uint64_t events = 0;
  std::uint64_t tracks = 0;
  std::uint64_t ticks = 0;
  std::uint64_t check = 0;
};

// Decodes the events of one track chunk, from `d.pos` up to `end`.
void decodeTrack(Decoder& d, std::size_t end, Totals& totals) {
  std::uint8_t running = 0;
  std::uint64_t tick = 0;
  while (d.pos < end && !d.cut) {
    tick += d.varLen();
    std::uint8_t status = d.byte();
    std::uint8_t data1 = 0, data2 = 0;
    std::uint32_t length = 0;
    if (status < 0xF0) {
      if (status >= 0x80) {
        running = status;
        data1 = d.byte();
      } else {
        data1 = status;
        status = running;
      }
      std::uint8_t kind = status & 0xF0;
      if (status != 0 && kind != 0xC0 && kind != 0xD0) data2 = d.byte();
    } else if (status == 0xF0 || status == 0xF7) {
      length = d.varLen();
    } else if (status == 0xFF) {
      data1 = d.byte();
      length = d.varLen();
    }
    d.pos += length;  // SysEx and meta data are stepped over
    ++totals.events;
    totals.check = totals.check * 31 + (status ^ (data1 << 8) ^ (data2 << 16) ^ length);
    if (status == 0xFF && data1 == 0x2F) break;
  }
  totals.ticks += tick;
}

struct Bytes {
  std::unique_ptr<std::uint8_t[]> data;  // not zeroed: the read fills it
  std::size_t size = 0;
};

Totals decodeFile(const Bytes& file) {
  Totals totals;
  const std::uint8_t* bytes = file.data.get();
  if (file.size < 14 || std::memcmp(bytes, "MThd", 4) != 0) return totals;
  std::uint32_t trackCount = (bytes[10] << 8) | bytes[11];
  Decoder d{bytes, file.size};
  d.pos = 14;
  for (std::uint32_t t = 0; t < trackCount && d.pos + 8 <= file.size; ++t) {
    const std::uint8_t* h = bytes + d.pos;
    if (std::memcmp(h, "MTrk", 4) != 0) break;
    std::size_t length = (std::size_t{h[4]} << 24) | (h[5] << 16) | (h[6] << 8) | h[7];
    d.pos += 8;
    std::size_t end = d.pos + length < file.size ? d.pos + length : file.size;
    decodeTrack(d, end, totals);
    d.pos = end;
    ++totals.tracks;
  }
  return totals;
}

// Reads the file in one piece into a buffer allocated once at its size.
bool readWhole(const char* path, Bytes& bytes) {
  std::FILE* f = std::fopen(path, "rb");
  if (f == nullptr) return false;
  bool ok = std::fseek(f, 0, SEEK_END) == 0;
  const long size = ok ? std::ftell(f) : -1;
  ok = size >= 0 && std::fseek(f, 0, SEEK_SET) == 0;
  if (ok) {
    bytes.size = static_cast<std::size_t>(size);
    bytes.data.reset(new std::uint8_t[bytes.size]);
    ok = std::fread(bytes.data.get(), 1, bytes.size, f) == bytes.size;
  }
  std::fclose(f);
  return ok;
}

bool writeBytes(const char* path, std::uint64_t count) {
  std::FILE* f = std::fopen(path, "wb");
  if (f == nullptr) return false;
  // Text-like content: lines of letters ending in CR LF.
  static char block[1 << 16];
  for (std::size_t i = 0; i < sizeof block; ++i) {
    block[i] = static_cast<char>(i % 64 == 62 ? '\r' : i % 64 == 63 ? '\n' : 'a' + i % 26);
  }
  bool ok = true;
  while (count > 0 && ok) {
    std::size_t n = count < sizeof block ? static_cast<std::size_t>(count) : sizeof block;
    ok = std::fwrite(block, 1, n, f) == n;
    count -= n;
  }
  return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fputs("usage: floor INPUT OUTPUT BYTES\n", stderr);
    return 2;
  }
  Bytes file;
  if (!readWhole(argv[1], file)) {
    std::perror(argv[1]);
    return 1;
  }
  Totals totals = decodeFile(file);
  if (!writeBytes(argv[2], std::strtoull(argv[3], nullptr, 10))) {
    std::perror(argv[2]);
    return 1;
  }
  std::printf("events %llu tracks %llu ticks %llu check %llx\n",
              static_cast<unsigned long long>(totals.events),
              static_cast<unsigned long long>(totals.tracks),
              static_cast<unsigned long long>(totals.ticks),
              static_cast<unsigned long long>(totals.check));
  return 0;
}
