#include "rhythm/rhythm_table.h"

#include <algorithm>

namespace vantrel {
namespace {

// The entry of a signature, or false when it gives no usable bar.
bool makeEntry(std::uint64_t tick, std::uint8_t numerator, std::uint8_t exponent,
               std::uint16_t division, RhythmEntry& entry) {
  if (numerator == 0 || exponent > 7) return false;
  const std::uint8_t denominator = static_cast<std::uint8_t>(1u << exponent);
  const std::uint32_t barLength = std::uint32_t{division} * 4 * numerator / denominator;
  if (barLength == 0) return false;
  entry = RhythmEntry{tick, numerator, denominator, 0, 0, barLength};
  return true;
}

}  // namespace

RhythmTable::RhythmTable(std::span<const TimeSignatureEvent> signatures,
                         std::vector<KeySignatureEvent> keys, std::uint16_t division,
                         std::int32_t pickupTicks) {
  // Every usable signature in the order met, sorted by tick: of those at one
  // tick the last met stays.
  auto insert = [&](std::uint64_t tick, std::uint8_t numerator, std::uint8_t exponent) {
    RhythmEntry entry;
    if (makeEntry(tick, numerator, exponent, division, entry)) entries_.push_back(entry);
  };
  insert(0, 4, 2);
  if (pickupTicks != 0) insert(static_cast<std::uint32_t>(pickupTicks), 4, 2);
  for (const TimeSignatureEvent& s : signatures) insert(s.tick, s.numerator, s.exponent);
  std::stable_sort(entries_.begin(), entries_.end(),
                   [](const RhythmEntry& a, const RhythmEntry& b) { return a.tick < b.tick; });
  std::size_t kept = 0;
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    if (i + 1 < entries_.size() && entries_[i + 1].tick == entries_[i].tick) continue;
    entries_[kept++] = entries_[i];
  }
  entries_.resize(kept);
  RhythmEntry sentinel;
  makeEntry(kSentinelTick, 4, 2, division, sentinel);
  entries_.push_back(sentinel);
  entries_.shrink_to_fit();

  std::stable_sort(keys.begin(), keys.end(),
                   [](const KeySignatureEvent& a, const KeySignatureEvent& b) { return a.tick < b.tick; });
  std::size_t next = 0;
  const KeySignatureEvent* inEffect = nullptr;
  for (RhythmEntry& entry : entries_) {
    while (next < keys.size() && keys[next].tick <= entry.tick) inEffect = &keys[next++];
    if (entry.tick == kSentinelTick && !keys.empty()) inEffect = &keys.back();
    entry.key = inEffect ? inEffect->key : 0;
    entry.mode = inEffect ? inEffect->mode : 0;
  }
}

Fault RhythmTable::writeListing(Sink& sink) const {
  // Line by line: a file of many signatures has a long listing.
  for (const RhythmEntry& e : entries_) {
    // The tick is shown as its low 32 bits, signed: the sentinel shows -1.
    const std::string line = "Pointer:" + std::to_string(static_cast<std::int32_t>(e.tick)) +
                             "\tLength:" + std::to_string(e.barLength) +
                             "\tKey:" + std::to_string(int{e.key}) +
                             "\tmi:" + std::to_string(unsigned{e.mode}) + "\n";
    if (Fault fault = sink.write(line.data(), line.size())) return fault;
  }
  return {};
}

std::string RhythmTable::listing() const {
  StringSink text;
  writeListing(text);
  return text.text;
}

}  // namespace vantrel
