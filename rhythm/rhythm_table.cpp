#include "rhythm/rhythm_table.h"

#include <algorithm>
#include <string>

namespace vantrel {

void RhythmTable::insertRhythm(std::uint64_t tick, std::uint8_t numerator,
                               std::uint8_t exponent, std::uint16_t division) {
  if (numerator == 0 || exponent > 7) return;
  std::uint8_t denominator = static_cast<std::uint8_t>(1u << exponent);
  std::uint32_t barLength = std::uint32_t{division} * 4 * numerator / denominator;
  if (barLength == 0) return;

  auto found = indexOfTick_.find(tick);
  RhythmEntry* entry;
  if (found != indexOfTick_.end()) {
    entry = &entries[found->second];
  } else {
    indexOfTick_.emplace(tick, entries.size());
    entry = &entries.emplace_back();
  }
  entry->tick = tick;
  entry->numerator = numerator;
  entry->denominator = denominator;
  entry->barLength = barLength;
}

void RhythmTable::sortEntries() {
  std::sort(entries.begin(), entries.end(),
            [](const RhythmEntry& a, const RhythmEntry& b) { return a.tick < b.tick; });
  indexOfTick_.clear();
  for (std::size_t i = 0; i < entries.size(); ++i) indexOfTick_.emplace(entries[i].tick, i);
}

void RhythmTable::printListing(std::ostream& out) const {
  for (const RhythmEntry& e : entries) {
    // The tick is shown as its low 32 bits, signed: the sentinel shows -1.
    std::string line = "Pointer:" + std::to_string(static_cast<std::int32_t>(e.tick)) +
                       "\tLength:" + std::to_string(e.barLength) +
                       "\tKey:" + std::to_string(int{e.key}) +
                       "\tmi:" + std::to_string(unsigned{e.mi}) + "\n";
    out << line << std::flush;
  }
}

void assignKeys(RhythmTable& table, std::vector<KeySignature> keys) {
  std::stable_sort(keys.begin(), keys.end(),
                   [](const KeySignature& a, const KeySignature& b) { return a.tick < b.tick; });
  std::size_t next = 0;
  const KeySignature* inEffect = nullptr;
  for (RhythmEntry& entry : table.entries) {
    while (next < keys.size() && keys[next].tick <= entry.tick) inEffect = &keys[next++];
    if (entry.tick == kSentinelTick && !keys.empty()) inEffect = &keys.back();
    entry.key = inEffect ? inEffect->key : 0;
    entry.mi = inEffect ? inEffect->mi : 0;
  }
}

}  // namespace vantrel
