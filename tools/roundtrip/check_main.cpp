// vantrel_check: shows what a conversion by vantrel lost or changed.
//
//   vantrel_check [--status=N] [--stderr=FILE] [--stdout=FILE] SMF MML [vantrel options]
//       Checks one conversion: the SMF, the MML text vantrel wrote from it
//       and the options it was given. With the exit status and standard
//       error of a refused run, checks that the refusal is the right one.
//       With a grid (/Q<n>, --quantize=<n>) every event must be where the
//       grid puts it (a stretch of notes faster than the grid on a finer
//       one) and every length a note value of the grid. /Q without
//       a value (/Qa, --quantize, --quantize=auto) needs --stdout, the file
//       of vantrel's standard output: its line "Grid:1/16+1/24	Step:120+80"
//       (with "	Offset:TR(1)=7" where tracks were played late) says which
//       grids and offsets it chose, and that must be the check's own
//       choice. With --stdout the line is checked for every conversion
//       (none without a grid). A grid value that vantrel refuses must leave
//       no MML file. comparison.h tells what is checked exactly and what
//       by bounds.
//   vantrel_check --batch=LIST [--length-forms] [--figures]
//       Checks many: each line of LIST holds, separated by tabs, the SMF,
//       the MML, the file of standard error, the exit status, the options
//       (separated by spaces) and, optionally, the file of standard output.
//       --length-forms adds a last line: how many of the lengths read were
//       written as "%" ticks, and how many with two dots or more;
//       --figures how the channels' text reads: characters a note, the
//       share of notes in sub-blocks, velocity words a note, characters a
//       line.
//   vantrel_check --generate=DIR FIRST COUNT [SETS]
//       Writes the generated SMFs of seeds FIRST to FIRST + COUNT - 1 into
//       DIR and prints, for each, SETS conversions to make (default 5) and
//       one with voices or a velocity step: the file name, a tab and the
//       options.
//   vantrel_check --played=DIR FIRST COUNT
//       Likewise with played files (humanised notes in changing meters) and
//       the grid conversions to make of each.
//
// Every difference is printed with its track, channel and tick. The exit
// status is 0 when nothing differs, 1 when something does, 2 on misuse.

#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "tools/roundtrip/comparison.h"
#include "tools/roundtrip/played_files.h"
#include "tools/roundtrip/smf_generator.h"
#include "tools/roundtrip/text_forms.h"

namespace {

using namespace vantrel::roundtrip;

constexpr std::size_t kShownPerConversion = 40;

bool readFile(const std::string& path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

std::vector<std::string> splitOn(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream in(text);
  while (std::getline(in, part, separator)) {
    if (!part.empty()) parts.push_back(part);
  }
  return parts;
}

struct Totals {
  std::uint64_t conversions = 0, notes = 0, commands = 0, refused = 0, failing = 0, differences = 0;
  std::uint64_t lengths = 0, lengthsInTicks = 0, lengthsDotted = 0;
  std::uint64_t channelNotes = 0, subNotes = 0, velocityWords = 0, channelBytes = 0, channelLines = 0;
};

// Checks one conversion, prints what differs; false on misuse.
bool checkOne(const std::string& smfPath, const std::string& mmlPath, const std::string& errorPath,
              const std::string& outputPath, int status, const std::vector<std::string>& arguments,
              Totals& totals) {
  ConversionOptions options;
  std::string reason;
  if (!parseOptions(arguments, options, reason)) {
    std::cerr << "vantrel_check: " << reason << "\n";
    return false;
  }
  std::string smf, mml, error;
  if (!readFile(smfPath, smf)) {
    std::cerr << "vantrel_check: cannot read " << smfPath << "\n";
    return false;
  }
  if (status == 0 && !readFile(mmlPath, mml)) {
    std::cerr << "vantrel_check: cannot read " << mmlPath << "\n";
    return false;
  }
  if (!errorPath.empty()) readFile(errorPath, error);
  std::string console;
  if (!outputPath.empty() && !readFile(outputPath, console)) {
    std::cerr << "vantrel_check: cannot read " << outputPath << "\n";
    return false;
  }

  const auto* data = reinterpret_cast<const std::uint8_t*>(smf.data());
  CheckResult result =
      checkConversion({data, smf.size()}, options, mml, status, error,
                      outputPath.empty() ? std::nullopt : std::optional<std::string_view>(console));
  // A refused grid value is found before any output is made.
  std::string unwanted;
  if (result.refusal == faults::kBadGrid.label && readFile(mmlPath, unwanted)) {
    result.differences.push_back(
        {-1, -1, 0, "output file", "none for a refused grid value", mmlPath});
  }
  ++totals.conversions;
  totals.notes += result.notes;
  totals.commands += result.commands;
  totals.refused += result.refused ? 1 : 0;
  totals.differences += result.differences.size();
  totals.lengths += result.lengths;
  totals.lengthsInTicks += result.lengthsInTicks;
  totals.lengthsDotted += result.lengthsDotted;
  totals.channelNotes += result.channelNotes;
  totals.subNotes += result.subNotes;
  totals.velocityWords += result.velocityWords;
  totals.channelBytes += result.channelBytes;
  totals.channelLines += result.channelLines;
  if (!result.differences.empty()) ++totals.failing;

  std::string optionText;
  for (const std::string& a : arguments) optionText += " " + a;
  for (std::size_t i = 0; i < result.differences.size() && i < kShownPerConversion; ++i) {
    std::cout << smfPath << optionText << ": " << describe(result.differences[i]) << "\n";
  }
  if (result.differences.size() > kShownPerConversion) {
    std::cout << smfPath << optionText << ": ... and "
              << result.differences.size() - kShownPerConversion << " more differences\n";
  }
  if (result.differences.empty()) {
    std::cout << smfPath << optionText << ": "
              << (result.refused ? "refused as it must be: " + result.refusal : "exact") << " ("
              << result.notes << " notes, " << result.commands << " commands";
    if (result.gridNote != 0) {
      std::cout << "; grid 1/" << result.gridNote;
      if (result.tripletNote != 0) std::cout << "+1/" << result.tripletNote;
      if (result.offsets) std::cout << " with offsets";
      std::cout << ", " << result.lengths << " lengths, " << result.finerNotes << " notes finer";
    }
    std::cout << ")\n";
  }
  return true;
}

void printTotals(const Totals& totals) {
  std::cout << "checked " << totals.conversions << " conversions: " << totals.notes << " notes, "
            << totals.commands << " commands; " << totals.refused << " refused; "
            << totals.differences << " differences in " << totals.failing << " conversions\n";
}

// "lengths: 1000 written, 120 (12.0 %) as ticks, 30 (3.0 %) with two dots or more".
void printLengthForms(const Totals& totals) {
  auto share = [&](std::uint64_t part) {
    const std::uint64_t tenths = totals.lengths ? (part * 1000 + totals.lengths / 2) / totals.lengths : 0;
    return std::to_string(part) + " (" + std::to_string(tenths / 10) + "." +
           std::to_string(tenths % 10) + " %)";
  };
  std::cout << "lengths: " << totals.lengths << " written, " << share(totals.lengthsInTicks)
            << " as ticks, " << share(totals.lengthsDotted) << " with two dots or more\n";
}

// "figures: 1000 notes; 6.8 characters a note, 1.2 % in sub-blocks, 0.15
// velocity words a note, 96.0 characters a line".
void printFigures(const Totals& totals) {
  auto ratio = [](std::uint64_t part, std::uint64_t whole, int places) {
    if (whole == 0) return std::string("-");
    std::ostringstream out;
    out.setf(std::ios::fixed);
    out.precision(places);
    out << static_cast<double>(part) / static_cast<double>(whole);
    return out.str();
  };
  std::cout << "figures: " << totals.channelNotes << " notes; "
            << ratio(totals.channelBytes, totals.channelNotes, 1) << " characters a note, "
            << ratio(100 * totals.subNotes, totals.channelNotes, 1) << " % in sub-blocks, "
            << ratio(totals.velocityWords, totals.channelNotes, 2) << " velocity words a note, "
            << ratio(totals.channelBytes, totals.channelLines, 1) << " characters a line\n";
}

int runBatch(const std::string& listPath, bool lengthForms, bool figures) {
  std::ifstream list(listPath);
  if (!list) {
    std::cerr << "vantrel_check: cannot read " << listPath << "\n";
    return 2;
  }
  Totals totals;
  std::string line;
  while (std::getline(list, line)) {
    if (line.empty()) continue;
    std::vector<std::string> fields;
    std::istringstream in(line);
    for (std::string field; std::getline(in, field, '\t');) fields.push_back(field);
    if (fields.size() < 4) {
      std::cerr << "vantrel_check: a batch line needs SMF, MML, stderr file and status: " << line
                << "\n";
      return 2;
    }
    const std::vector<std::string> arguments =
        fields.size() > 4 ? splitOn(fields[4], ' ') : std::vector<std::string>{};
    const std::string outputPath = fields.size() > 5 ? fields[5] : "";
    if (!checkOne(fields[0], fields[1], fields[2], outputPath, std::stoi(fields[3]), arguments,
                  totals))
      return 2;
  }
  printTotals(totals);
  if (lengthForms) printLengthForms(totals);
  if (figures) printFigures(totals);
  return totals.failing == 0 ? 0 : 1;
}

// Writes `bytes` to `name` and lists each of `sets` for it: the name, a tab
// and the options. False when the file cannot be written.
bool writeCases(const std::string& name, const std::vector<std::uint8_t>& bytes,
                const std::vector<std::vector<std::string>>& sets) {
  std::ofstream out(name, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) {
    std::cerr << "vantrel_check: cannot write " << name << "\n";
    return false;
  }
  for (const auto& set : sets) {
    std::cout << name << "\t";
    for (std::size_t i = 0; i < set.size(); ++i) std::cout << (i ? " " : "") << set[i];
    std::cout << "\n";
  }
  return true;
}

int runGenerate(const std::string& directory, std::uint64_t first, std::uint64_t count,
                std::size_t sets) {
  for (std::uint64_t seed = first; seed < first + count; ++seed) {
    const GeneratedSmf file = generateSmf(seed);
    const std::string name = directory + "/" + std::to_string(seed) + ".mid";
    std::vector<std::vector<std::string>> cases = optionSetsFor(seed, file.division, sets);
    cases.push_back(voiceOptionSet(seed, file.division));
    if (!writeCases(name, file.bytes, cases)) return 2;
  }
  return 0;
}

int runPlayed(const std::string& directory, std::uint64_t first, std::uint64_t count) {
  for (std::uint64_t seed = first; seed < first + count; ++seed) {
    const PlayedSmf file = generatePlayedSmf(seed);
    const std::string name = directory + "/p" + std::to_string(seed) + ".mid";
    if (!writeCases(name, file.bytes, playedOptionSets(seed, file))) return 2;
  }
  return 0;
}

int usage() {
  std::cerr << "usage: vantrel_check [--status=N] [--stderr=FILE] [--stdout=FILE] SMF MML "
               "[vantrel options]\n"
               "       vantrel_check --batch=LIST [--length-forms] [--figures]\n"
               "       vantrel_check --generate=DIR FIRST COUNT [SETS]\n"
               "       vantrel_check --played=DIR FIRST COUNT\n";
  return 2;
}

int run(const std::vector<std::string>& args) {
  if (args.empty()) return usage();
  if (args[0].rfind("--batch=", 0) == 0) {
    bool lengthForms = false, figures = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
      if (args[i] == "--length-forms") {
        lengthForms = true;
      } else if (args[i] == "--figures") {
        figures = true;
      } else {
        return usage();
      }
    }
    return runBatch(args[0].substr(8), lengthForms, figures);
  }
  if (args[0].rfind("--generate=", 0) == 0) {
    if (args.size() < 3) return usage();
    const std::size_t sets = args.size() > 3 ? std::stoul(args[3]) : 5;
    return runGenerate(args[0].substr(11), std::stoull(args[1]), std::stoull(args[2]), sets);
  }

  if (args[0].rfind("--played=", 0) == 0) {
    if (args.size() < 3) return usage();
    return runPlayed(args[0].substr(9), std::stoull(args[1]), std::stoull(args[2]));
  }

  int status = 0;
  std::string errorPath, outputPath;
  std::size_t i = 0;
  for (; i < args.size() && args[i].rfind("--", 0) == 0; ++i) {
    if (args[i].rfind("--status=", 0) == 0) {
      status = std::stoi(args[i].substr(9));
    } else if (args[i].rfind("--stderr=", 0) == 0) {
      errorPath = args[i].substr(9);
    } else if (args[i].rfind("--stdout=", 0) == 0) {
      outputPath = args[i].substr(9);
    } else {
      return usage();
    }
  }
  if (args.size() - i < 2) return usage();
  Totals totals;
  std::vector<std::string> options(args.begin() + static_cast<std::ptrdiff_t>(i) + 2, args.end());
  if (!checkOne(args[i], args[i + 1], errorPath, outputPath, status, options, totals)) return 2;
  return totals.failing == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return run(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const std::exception& e) {  // a number that is none, for one
    std::cerr << "vantrel_check: " << e.what() << "\n";
    return usage();
  }
}
