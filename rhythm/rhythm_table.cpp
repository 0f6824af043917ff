#include "rhythm/rhythm_table.h"

#include <algorithm>

#include "smf/event_reader.h"
#include "smf/smf_messages.h"

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

std::string RhythmTable::listing() const {
  std::string text;
  for (const RhythmEntry& e : entries) {
    // The tick is shown as its low 32 bits, signed: the sentinel shows -1.
    text += "Pointer:" + std::to_string(static_cast<std::int32_t>(e.tick)) +
            "\tLength:" + std::to_string(e.barLength) + "\tKey:" + std::to_string(int{e.key}) +
            "\tmi:" + std::to_string(unsigned{e.mi}) + "\n";
  }
  return text;
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

namespace {

// Reads the time signatures of the track of `chunk` into `table` and its key
// signatures into `keys`, counts its events into `chunk`, and leaves the
// reader after its end-of-track event. False when the file ends inside the
// track.
bool readSignatures(EventReader& reader, TrackChunk& chunk, std::uint16_t division,
                    RhythmTable& table, std::vector<KeySignature>& keys) {
  // The reader's state in locals, which stay in registers.
  const std::span<const std::uint8_t> file = reader.file;
  EventState state{chunk.start, 0, false};
  EventHead event;
  std::uint64_t tick = 0;
  std::uint32_t events = 0;
  std::uint32_t dataEvents = 0;
  bool whole = true;
  while (!state.endOfTrack) {
    if (!decodeEvent(file, reader.filterMask, state, event)) {
      whole = false;
      break;
    }
    tick += event.delta;
    ++events;
    if (event.length == 0 && event.status < 0xF0 && !state.endOfTrack) continue;
    // SysEx and meta events, left-out ones too, which still have data to skip.
    ++dataEvents;
    const std::uint64_t dataStart = state.position;
    if (event.length > file.size() - dataStart) {
      whole = false;
      break;
    }
    state.position += event.length;
    if (event.status != 0xFF || (event.data1 != 0x58 && event.data1 != 0x59)) continue;
    // Only the first two bytes matter; shorter events are passed over.
    if (event.length < 2) continue;
    const std::uint8_t* data = file.data() + dataStart;
    if (event.data1 == 0x58) {
      table.insertRhythm(tick, data[0], data[1], division);
    } else {
      keys.push_back({tick, static_cast<std::int8_t>(data[0]), data[1]});
    }
  }
  reader.position = state.position;
  chunk.eventCount = events;
  chunk.dataEventCount = dataEvents;
  return whole;
}

}  // namespace

const char* buildRhythmTable(std::span<const std::uint8_t> file, const SmfHeader& header,
                             std::int32_t filterMask, std::int32_t pickupTicks,
                             RhythmTable& table, std::vector<TrackChunk>& tracks) {
  table.insertRhythm(0, 4, 2, header.division);
  if (pickupTicks != 0) {
    table.insertRhythm(static_cast<std::uint32_t>(pickupTicks), 4, 2, header.division);
  }
  EventReader reader;
  reader.file = file;
  reader.filterMask = filterMask;
  std::vector<KeySignature> keys;
  tracks.clear();
  std::uint64_t offset = kFirstTrackOffset;
  for (int t = 0; t < header.trackCount; ++t) {
    TrackChunk& chunk = tracks.emplace_back();
    if (const char* fault = readTrackHeader(file, offset, chunk)) return fault;
    if (!readSignatures(reader, chunk, header.division, table, keys)) {
      return messages::kTrackCutShort;
    }
    offset = reader.position;
  }
  table.sortEntries();
  table.insertRhythm(kSentinelTick, 4, 2, header.division);
  assignKeys(table, std::move(keys));
  return nullptr;
}

}  // namespace vantrel
