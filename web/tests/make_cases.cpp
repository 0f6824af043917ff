// Writes the generated SMFs of the page's test and the option sets to convert
// each with, from the round-trip checker's generator:
//
//   make_cases FOLDER COUNT SETS
//
// gives FOLDER/gen_SEED.mid for COUNT seeds and FOLDER/cases.json, a list of
// {"file": name, "args": [options]} with SETS option sets per file (the first
// is always no option) and one more with voices or a velocity step.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "tools/roundtrip/smf_generator.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::cerr << "usage: make_cases FOLDER COUNT SETS\n";
    return 2;
  }
  namespace rt = vantrel::roundtrip;
  const std::filesystem::path folder = argv[1];
  const int count = std::atoi(argv[2]);
  const std::size_t sets = static_cast<std::size_t>(std::atoi(argv[3]));
  std::filesystem::create_directories(folder);
  std::ofstream list(folder / "cases.json");
  list << "[";
  const char* separator = "\n";
  for (int seed = 1; seed <= count; ++seed) {
    const rt::GeneratedSmf smf = rt::generateSmf(static_cast<std::uint64_t>(seed));
    const std::string name = "gen_" + std::to_string(seed) + ".mid";
    std::ofstream file(folder / name, std::ios::binary);
    file.write(reinterpret_cast<const char*>(smf.bytes.data()),
               static_cast<std::streamsize>(smf.bytes.size()));
    auto all = rt::optionSetsFor(static_cast<std::uint64_t>(seed), smf.division, sets);
    all.push_back(rt::voiceOptionSet(static_cast<std::uint64_t>(seed), smf.division));
    for (const auto& set : all) {
      list << separator << "  {\"file\": \"" << name << "\", \"args\": [";
      separator = ",\n";
      for (std::size_t i = 0; i < set.size(); ++i) list << (i ? ", " : "") << '"' << set[i] << '"';
      list << "]}";
    }
  }
  list << "\n]\n";
  return list ? 0 : 1;
}
