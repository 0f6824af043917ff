#include "tools/roundtrip/auto_grid.h"

#include <algorithm>
#include <memory>
#include <numeric>
#include <string>

#include "tools/roundtrip/grid_points.h"
#include "tools/roundtrip/section_grid.h"

namespace vantrel::roundtrip {
namespace {

struct Pair {
  std::uint32_t straight, triplet;
};
constexpr Pair kPairs[] = {{8, 12}, {16, 24}, {32, 48}};

// The residue of `ticks` modulo `common` that at least half of them share,
// as a value in (-common / 2, common / 2]; 0 when none is shared so. Of two
// residues that half share each, the smaller.
std::int32_t sharedOffset(const std::vector<std::uint64_t>& ticks, std::uint64_t common) {
  if (ticks.empty() || common < 2) return 0;
  std::vector<std::uint64_t> counts(common, 0);
  for (std::uint64_t tick : ticks) ++counts[tick % common];
  for (std::uint64_t residue = 0; residue < common; ++residue) {
    if (2 * counts[residue] < ticks.size()) continue;
    const auto r = static_cast<std::int64_t>(residue);
    const auto c = static_cast<std::int64_t>(common);
    return static_cast<std::int32_t>(2 * r > c ? r - c : r);
  }
  return 0;
}

bool allDigits(std::string_view text) {
  return !text.empty() && text.size() <= 9 &&
         text.find_first_not_of("0123456789") == std::string_view::npos;
}

// Reads the digits at the front of `text` into `value` and drops them.
bool takeNumber(std::string_view& text, std::uint32_t& value) {
  const std::size_t end = std::min(text.find_first_not_of("0123456789"), text.size());
  if (!allDigits(text.substr(0, end))) return false;
  value = static_cast<std::uint32_t>(std::stoul(std::string(text.substr(0, end))));
  text.remove_prefix(end);
  return true;
}

bool takeWord(std::string_view& text, std::string_view word) {
  if (!text.starts_with(word)) return false;
  text.remove_prefix(word.size());
  return true;
}

}  // namespace

std::uint64_t movedBack(std::uint64_t tick, std::int32_t offset) {
  if (offset >= 0) {
    const auto late = static_cast<std::uint64_t>(offset);
    return tick >= late ? tick - late : 0;
  }
  return tick + static_cast<std::uint64_t>(-static_cast<std::int64_t>(offset));
}

GridPlan chooseAutoGrid(const SmfFile& file, const std::vector<RhythmChange>& rhythm, bool pickup) {
  const int division = file.division;
  const std::uint64_t whole = 4 * static_cast<std::uint64_t>(division);
  std::vector<std::vector<std::uint64_t>> starts(file.tracks.size());
  for (std::size_t t = 0; t < file.tracks.size(); ++t) {
    for (const SmfEvent& event : file.tracks[t].events) {
      if ((event.status & 0xF0) == 0x90 && event.data2 > 0) starts[t].push_back(event.tick);
    }
  }
  std::optional<GridPlan> close;
  GridPlan finest;
  for (const Pair& pair : kPairs) {
    const std::uint64_t straight = gridStepOf(pair.straight, division);
    if (straight == 0 || division % straight != 0) continue;
    std::uint64_t triplet = gridStepOf(pair.triplet, division);
    if (triplet != 0 && division % triplet != 0) triplet = 0;
    const std::uint64_t common = triplet != 0 ? std::gcd(straight, triplet) : straight;
    GridPlan plan{pair.straight, triplet != 0 ? pair.triplet : 0u, {}};
    const GridPoints bars(rhythm, pickup, straight);
    std::uint64_t sum = 0, far = 0, notes = 0;
    for (std::size_t t = 0; t < starts.size(); ++t) {
      const std::int32_t offset = sharedOffset(starts[t], common);
      plan.offsets.push_back(offset);
      BeatFit fit(bars, straight, triplet, static_cast<std::uint64_t>(division));
      BeatFit::Beat beat;
      auto count = [&] {
        sum += beat.sum;
        far += beat.far;
      };
      for (std::uint64_t tick : starts[t]) {
        // "Farther than a 32nd": whole / 32 ticks, rounded down.
        if (fit.add(movedBack(tick, offset), whole / 32, beat)) count();
        ++notes;
      }
      if (fit.finish(beat)) count();
    }
    if (std::all_of(plan.offsets.begin(), plan.offsets.end(), [](std::int32_t o) { return o == 0; })) {
      plan.offsets.clear();
    }
    if (sum == 0) return plan;
    if (!close && 96 * sum <= whole * notes && 100 * far <= notes) close = plan;
    finest = plan;
  }
  return close ? *close : finest;
}

std::string gridLine(const GridPlan& plan, int division) {
  // Appended, not "text" + a string: GCC 12 sees an overlap there (-Wrestrict).
  std::string line = "Grid:1/";
  line.append(std::to_string(plan.note));
  if (plan.tripletNote != 0) line.append("+1/").append(std::to_string(plan.tripletNote));
  line.append("\tStep:").append(std::to_string(gridStepOf(plan.note, division)));
  if (plan.tripletNote != 0) line.append("+").append(std::to_string(gridStepOf(plan.tripletNote, division)));
  const char* between = "\tOffset:";
  for (std::size_t t = 0; t < plan.offsets.size(); ++t) {
    if (plan.offsets[t] == 0) continue;
    line.append(between).append("TR(").append(std::to_string(t)).append(")=");
    line.append(std::to_string(plan.offsets[t]));
    between = ",";
  }
  return line;
}

std::optional<GridPlan> reportedGrid(std::string_view console, std::string& printed) {
  for (std::size_t at = 0; at < console.size();) {
    std::size_t end = console.find('\n', at);
    if (end == std::string_view::npos) end = console.size();
    std::string_view line = console.substr(at, end - at);
    if (line.ends_with('\r')) line.remove_suffix(1);
    at = end + 1;
    if (!line.starts_with("Grid:1/")) continue;
    printed = std::string(line);
    // It follows the bar listing.
    if (console.find("\nPointer:", at - 1) != std::string_view::npos) return std::nullopt;
    GridPlan plan;
    std::uint32_t step = 0, tripletStep = 0;
    std::string_view rest = line.substr(7);
    if (!takeNumber(rest, plan.note)) return std::nullopt;
    if (takeWord(rest, "+1/") && !takeNumber(rest, plan.tripletNote)) return std::nullopt;
    if (!takeWord(rest, "\tStep:") || !takeNumber(rest, step)) return std::nullopt;
    if (plan.tripletNote != 0 && (!takeWord(rest, "+") || !takeNumber(rest, tripletStep))) {
      return std::nullopt;
    }
    if (takeWord(rest, "\tOffset:")) {
      do {
        std::uint32_t track = 0, magnitude = 0;
        if (!takeWord(rest, "TR(") || !takeNumber(rest, track) || !takeWord(rest, ")=")) {
          return std::nullopt;
        }
        const bool negative = takeWord(rest, "-");
        if (!takeNumber(rest, magnitude) || track > 0xFFFF) return std::nullopt;
        if (plan.offsets.size() <= track) plan.offsets.resize(track + 1, 0);
        plan.offsets[track] = negative ? -static_cast<std::int32_t>(magnitude)
                                       : static_cast<std::int32_t>(magnitude);
      } while (takeWord(rest, ","));
    }
    if (!rest.empty() || plan.note == 0) return std::nullopt;
    return plan;
  }
  return std::nullopt;
}

}  // namespace vantrel::roundtrip
