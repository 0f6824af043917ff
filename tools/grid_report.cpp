// vantrel_grid_report: how far a grid moves the notes of SMFs, as the
// conversion places them (the core's preview, which is the conversion's own
// view). For each file: its notes, the grid's step, the largest start shift
// in steps, and how many notes start more than half a step from where they
// were played (without a grid, how many notes the MML holds).
//
//   vantrel_grid_report [OPTIONS] FILE...     (options as the program takes them)

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "grid/grid.h"
#include "mml/preview.h"

int main(int argc, char** argv) {
  using namespace vantrel;
  std::vector<std::string> options, files;
  for (int i = 1; i < argc; ++i) (argv[i][0] == '/' || argv[i][0] == '-' ? options : files).push_back(argv[i]);
  std::vector<std::string> line = options;
  line.push_back("x.mid");
  const CommandLine parsed = parseCommandLine(line);
  if (parsed.action != CommandLine::Action::kConvert) {
    std::fprintf(stderr, "vantrel_grid_report: options refused\n");
    return 2;
  }
  std::uint64_t allNotes = 0, allFar = 0, onUsualGrid = 0, keptExactly = 0;
  double worst = 0;
  for (const std::string& name : files) {
    std::ifstream in(name, std::ios::binary);
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const Preview p = makePreview(bytes, parsed.options.settings);
    if (!p.fault.empty()) continue;
    if (p.gridNote == 0) {
      std::size_t sounding = 0;
      for (const PreviewNote& n : p.notes) sounding += n.end > n.start;
      allNotes += sounding;
      std::printf("%s\tnotes=%zu\n", name.c_str(), sounding);
      continue;
    }
    const double step = 4.0 * p.division / p.gridNote;
    double most = 0;
    std::uint64_t far = 0;
    for (const PreviewNote& n : p.notes) {
      const double shift = n.start > n.originalStart ? double(n.start - n.originalStart)
                                                     : double(n.originalStart - n.start);
      most = std::max(most, shift / step);
      if (shift > step / 2) ++far;
    }
    // Whether every note starts on one of the usual grids (counted from the
    // time signature in effect), and whether the grid then kept each.
    bool usual = false;
    for (const std::uint32_t value : {4u, 8u, 12u, 16u, 24u, 32u}) {
      const std::uint32_t usualStep = gridStep(value, p.division);
      if (usualStep == 0) continue;
      bool all = true;
      for (const PreviewNote& n : p.notes) {
        std::uint64_t from = 0;
        for (const RhythmEntry& e : p.rhythm) {
          if (e.tick <= n.originalStart) from = e.tick;
        }
        if ((n.originalStart - from) % usualStep != 0) {
          all = false;
          break;
        }
      }
      usual = usual || all;
    }
    bool kept = true;
    for (const PreviewNote& n : p.notes) kept = kept && n.start == n.originalStart;
    if (usual) {
      ++onUsualGrid;
      if (kept) ++keptExactly;
    }
    allNotes += p.notes.size();
    allFar += far;
    worst = std::max(worst, most);
    std::printf("%s\tnotes=%zu\tgrid=1/%u\tstep=%.0f\tlargest=%.2f\tfar=%llu%s\n", name.c_str(),
                p.notes.size(), p.gridNote, step, most, static_cast<unsigned long long>(far),
                usual ? (kept ? "\tusual, kept" : "\tusual, moved") : "");
  }
  std::printf("ALL\tnotes=%llu\tlargest=%.2f\tfar=%llu\ton-a-usual-grid=%llu\tkept-exactly=%llu\n",
              static_cast<unsigned long long>(allNotes), worst, static_cast<unsigned long long>(allFar),
              static_cast<unsigned long long>(onUsualGrid), static_cast<unsigned long long>(keptExactly));
  return 0;
}
