#include "rhythm/rhythm_table.h"

#include <algorithm>
#include <atomic>
#include <system_error>
#include <thread>

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

// What the walk finds in one track.
struct TrackScan {
  std::uint64_t start = 0;  // offset of the first event
  std::uint64_t end = 0;    // offset after the end-of-track event
  bool whole = false;       // false: the bytes end inside the track
  std::uint32_t events = 0;
  std::uint32_t dataEvents = 0;  // SysEx and meta events, left-out ones too
  struct Signature {
    std::uint64_t tick;
    std::uint8_t numerator, exponent;
  };
  std::vector<Signature> signatures;
  std::vector<KeySignature> keys;
};

// Walks the track whose first event is at `start` to its end-of-track event.
TrackScan scanTrack(std::span<const std::uint8_t> file, std::int32_t filterMask,
                    std::uint64_t start) {
  TrackScan scan;
  scan.start = start;
  EventState state{start, 0, false};
  EventHead event;
  std::uint64_t tick = 0;
  const std::uint8_t* const bytes = file.data();
  const std::uint64_t fastLimit =
      file.size() >= kShortChannelEventMost ? file.size() - kShortChannelEventMost + 1 : 0;
  while (!state.endOfTrack) {
    // Channel messages only count here: stepped over in a loop of their own
    // (see shortChannelEvent).
    std::uint64_t pos = state.position;
    std::uint8_t running = state.runningStatus;
    std::uint32_t events = 0;
    std::uint32_t delta;
    for (std::uint64_t at; pos < fastLimit && (at = shortChannelEvent(bytes, pos, delta, running));) {
      pos = at + kChannelDataBytes[running];
      tick += delta;
      ++events;
    }
    state.position = pos;
    state.runningStatus = running;
    scan.events += events;
    if (!decodeEvent(file, filterMask, state, event)) return scan;
    tick += event.delta;
    ++scan.events;
    if (event.length == 0 && event.status < 0xF0 && !state.endOfTrack) continue;
    ++scan.dataEvents;
    const std::uint64_t dataStart = state.position;
    if (event.length > file.size() - dataStart) return scan;
    state.position += event.length;
    if (event.status != 0xFF || (event.data1 != 0x58 && event.data1 != 0x59)) continue;
    // Only the first two bytes matter; shorter events are passed over.
    if (event.length < 2) continue;
    const std::uint8_t* data = file.data() + dataStart;
    if (event.data1 == 0x58) {
      scan.signatures.push_back({tick, data[0], data[1]});
    } else {
      scan.keys.push_back({tick, static_cast<std::int8_t>(data[0]), data[1]});
    }
  }
  scan.whole = true;
  scan.end = state.position;
  return scan;
}

// The walk of a big file by several threads at once. Each track is walked
// from where the chunk lengths say it begins, and no further than they say it
// ends; a walk is used only where the real walk, one track after the other,
// reaches the same place, so what it finds is what that walk would find. No
// length is trusted: a wrong one only costs its track being walked again.
std::vector<TrackScan> scanAhead(std::span<const std::uint8_t> file, const SmfHeader& header,
                                 std::int32_t filterMask, int threads) {
  std::vector<TrackScan> scans;
  std::vector<std::uint64_t> starts, ends;
  std::uint64_t offset = kFirstTrackOffset;
  for (int t = 0; t < header.trackCount; ++t) {
    TrackChunk chunk;
    if (readTrackHeader(file, offset, chunk) != nullptr) break;
    starts.push_back(chunk.start);
    ends.push_back(std::min<std::uint64_t>(chunk.start + chunk.length, file.size()));
    offset = ends.back();
  }
  scans.resize(starts.size());
  std::atomic<std::size_t> next{0};
  auto work = [&] {
    for (std::size_t t; (t = next++) < starts.size();) {
      scans[t] = scanTrack(file.first(ends[t]), filterMask, starts[t]);
    }
  };
  std::vector<std::thread> helpers;
  try {
    for (int i = 1; i < threads; ++i) helpers.emplace_back(work);
  } catch (const std::system_error&) {
    // No more threads to be had: those started, and this one, do the work.
  }
  work();
  for (std::thread& helper : helpers) helper.join();
  return scans;
}

}  // namespace

const char* buildRhythmTable(std::span<const std::uint8_t> file, const SmfHeader& header,
                             std::int32_t filterMask, std::int32_t pickupTicks,
                             RhythmTable& table, std::vector<TrackChunk>& tracks, int threads) {
  table.insertRhythm(0, 4, 2, header.division);
  if (pickupTicks != 0) {
    table.insertRhythm(static_cast<std::uint32_t>(pickupTicks), 4, 2, header.division);
  }
  std::vector<TrackScan> ahead;
  if (threads > 1) ahead = scanAhead(file, header, filterMask, threads);
  std::vector<KeySignature> keys;
  tracks.clear();
  std::uint64_t offset = kFirstTrackOffset;
  for (int t = 0; t < header.trackCount; ++t) {
    TrackChunk& chunk = tracks.emplace_back();
    if (const char* fault = readTrackHeader(file, offset, chunk)) return fault;
    const std::size_t index = static_cast<std::size_t>(t);
    const TrackScan scan = index < ahead.size() && ahead[index].whole &&
                                   ahead[index].start == chunk.start
                               ? std::move(ahead[index])
                               : scanTrack(file, filterMask, chunk.start);
    for (const TrackScan::Signature& s : scan.signatures) {
      table.insertRhythm(s.tick, s.numerator, s.exponent, header.division);
    }
    keys.insert(keys.end(), scan.keys.begin(), scan.keys.end());
    if (!scan.whole) return messages::kTrackCutShort;
    chunk.eventCount = scan.events;
    chunk.dataEventCount = scan.dataEvents;
    offset = scan.end;
  }
  table.sortEntries();
  table.insertRhythm(kSentinelTick, 4, 2, header.division);
  assignKeys(table, std::move(keys));
  return nullptr;
}

}  // namespace vantrel
