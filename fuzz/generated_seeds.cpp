// Writes seeds for the fuzz target from the round-trip generator's files:
// valid SMFs as sequencers write them (many tracks, chords, idioms, rhythm
// changes), each behind option bytes that vary with the seed. Only files that
// fit the fuzzer's input length are kept.
//
//   vantrel_fuzz_seeds FOLDER [COUNT]

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "tools/roundtrip/smf_generator.h"

namespace {

constexpr std::size_t kLongestInput = 4096;

// Option bytes as fuzz/fuzz_input.h reads them: plain, kana with a break
// after every note, no bar lines, a pickup of a quarter, and some filters.
std::vector<std::uint8_t> optionBytes(std::uint64_t seed, int division) {
  switch (seed % 5) {
    case 0: return {0x00, 0x80, 0, 0};
    case 1: return {0x01 | 1 << 2, 0x80, 0, 0};
    case 2: return {0x02, 0x80, 0, 0};
    case 3:
      return {3 << 5, 0x80, static_cast<std::uint8_t>(division >> 8),
              static_cast<std::uint8_t>(division)};
    default: return {0x00, 0x26, 0, 0};  // /Ma /Mb /Mp
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: vantrel_fuzz_seeds FOLDER [COUNT]\n";
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  const int count = argc > 2 ? std::atoi(argv[2]) : 12;
  std::filesystem::create_directories(folder);
  int written = 0;
  for (std::uint64_t seed = 1; written < count && seed < 10000; ++seed) {
    const vantrel::roundtrip::GeneratedSmf smf = vantrel::roundtrip::generateSmf(seed);
    std::vector<std::uint8_t> input = optionBytes(seed, smf.division);
    if (input.size() + smf.bytes.size() > kLongestInput) continue;
    input.insert(input.end(), smf.bytes.begin(), smf.bytes.end());
    std::ofstream out(folder / ("generated_" + std::to_string(seed) + ".bin"), std::ios::binary);
    out.write(reinterpret_cast<const char*>(input.data()), static_cast<std::streamsize>(input.size()));
    ++written;
  }
  std::cout << written << " seeds written to " << folder.string() << "\n";
  return 0;
}
