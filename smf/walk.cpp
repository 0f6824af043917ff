#include "smf/walk.h"

#include <algorithm>
#include <cstring>

namespace vantrel {
namespace {

// The first track chunk header follows the 14 bytes of the header chunk.
// The header's own length is not trusted, nor is a track's: each track's
// header is read where the previous track's end-of-track event left off.
constexpr std::uint64_t kFirstTrackOffset = 14;

// Whether the four bytes at `p` can name a chunk: printable ASCII. Bytes that
// cannot are no chunk at all, and a file that is not MIDI is not read as a
// run of unknown chunks.
bool isChunkType(const std::uint8_t* p) {
  for (int i = 0; i < 4; ++i) {
    if (p[i] < 0x20 || p[i] > 0x7E) return false;
  }
  return true;
}

// Reads the track chunk header at `offset`, passing over chunks of other
// types by their lengths, as a reader must; false when there is no track
// chunk there (not a chunk, or the file ends first).
bool readTrackHeader(std::span<const std::uint8_t> smf, std::uint64_t offset, TrackChunk& chunk) {
  for (;;) {
    if (offset > smf.size() || smf.size() - offset < 8) return false;
    const std::uint8_t* p = smf.data() + offset;
    const std::uint32_t length = readBigEndian(p + 4, 4);
    if (std::memcmp(p, "MTrk", 4) == 0) {
      chunk.length = length;
      chunk.start = offset + 8;
      return true;
    }
    if (!isChunkType(p)) return false;
    offset += 8 + std::uint64_t{length};
  }
}

// What the walk finds in one track.
struct TrackVisitor {
  std::span<const std::uint8_t> smf;
  TrackWalk& walk;

  void channel(ChannelEvent e) {
    ++walk.events;
    ++walk.counts[kPassOfStatus[e.status]];
  }

  void system(const SystemEvent& e) {
    ++walk.events;
    ++walk.counts[kPassOfStatus[e.status]];
    if (e.status == 0) return;
    if (e.status == 0xFF && e.dataLength >= 2 && (e.metaType == 0x58 || e.metaType == 0x59)) {
      const std::uint8_t* data = smf.data() + e.dataOffset;
      if (e.metaType == 0x58) {
        walk.timeSignatures.push_back({e.tick, data[0], data[1]});
      } else {
        walk.keySignatures.push_back({e.tick, static_cast<std::int8_t>(data[0]), data[1]});
      }
    }
    if (walk.fault != FaultKind::kNone) return;
    walk.fault = systemEventFault(e.status, e.metaType, e.dataLength);
    if (walk.fault != FaultKind::kNone) walk.faultEvent = walk.counts[0] - 1;
  }
};

}  // namespace

FaultKind systemEventFault(std::uint8_t status, std::uint8_t metaType, std::uint32_t length) {
  if (status == 0xF0 || status == 0xF7) return FaultKind::kNone;
  if (status != 0xFF) return FaultKind::kInvalidMidiEvent;
  // The data length that a meta type requires; -1 for types of any length.
  struct Rule {
    int length;
    FaultKind fault;
  };
  Rule rule;
  switch (metaType) {
    case 0x00: rule = {2, FaultKind::kBadSequenceNumber}; break;
    case 0x20: rule = {1, FaultKind::kBadChannelPrefix}; break;
    case 0x21: rule = {1, FaultKind::kBadPort}; break;
    case 0x2F: rule = {0, FaultKind::kBadEndOfTrack}; break;
    case 0x51: rule = {3, FaultKind::kBadTempo}; break;
    case 0x54: rule = {5, FaultKind::kBadSmpteOffset}; break;
    case 0x58: rule = {4, FaultKind::kBadTimeSignature}; break;
    case 0x59: rule = {2, FaultKind::kBadKeySignature}; break;
    case 0x01: case 0x02: case 0x03: case 0x04:
    case 0x05: case 0x06: case 0x07: case 0x7F:
      return FaultKind::kNone;
    default:
      return FaultKind::kBadMetaEvent;
  }
  return length == static_cast<std::uint32_t>(rule.length) ? FaultKind::kNone : rule.fault;
}

TrackWalk walkTrack(std::span<const std::uint8_t> smf, const EventFilter& filter,
                    std::uint64_t start) {
  TrackWalk walk;
  walk.start = start;
  TrackVisitor visitor{smf, walk};
  const TrackEnd end = forEachEvent(smf, filter, start, visitor);
  walk.end = end.position;
  walk.whole = end.whole;
  return walk;
}

std::vector<std::uint64_t> trackStartsByLength(std::span<const std::uint8_t> smf,
                                               const SmfHeader& header) {
  std::vector<std::uint64_t> starts;
  std::uint64_t offset = kFirstTrackOffset;
  for (std::uint32_t t = 0; t < header.trackCount; ++t) {
    TrackChunk chunk;
    if (!readTrackHeader(smf, offset, chunk)) break;
    starts.push_back(chunk.start);
    offset = chunk.start + chunk.length;
  }
  return starts;
}

Walk walkTracks(std::span<const std::uint8_t> smf, const SmfHeader& header,
                std::int32_t filterMask, std::span<TrackWalk> ahead) {
  Walk walk;
  walk.tracks.reserve(header.trackCount);
  const EventFilter filter(filterMask);
  std::uint64_t offset = kFirstTrackOffset;
  for (std::uint32_t t = 0; t < header.trackCount; ++t) {
    TrackChunk chunk;
    if (!readTrackHeader(smf, offset, chunk)) {
      walk.fault = Fault{FaultKind::kNoMTrk};
      return walk;
    }
    // A track walked ahead from where it truly begins is what this walk
    // would find.
    TrackWalk track = t < ahead.size() && ahead[t].start == chunk.start && ahead[t].whole
                          ? std::move(ahead[t])
                          : walkTrack(smf, filter, chunk.start);
    walk.timeSignatures.insert(walk.timeSignatures.end(), track.timeSignatures.begin(),
                               track.timeSignatures.end());
    walk.keySignatures.insert(walk.keySignatures.end(), track.keySignatures.begin(),
                              track.keySignatures.end());
    if (!track.whole) {
      walk.fault = Fault{FaultKind::kTrackCutShort};
      return walk;
    }
    chunk.events = track.events;
    std::copy_n(track.counts.begin(), kPassCount, chunk.passEvents.begin());
    if (track.fault != FaultKind::kNone && !walk.fault) {
      walk.fault = track.fault;
      walk.faultTrack = t;
      walk.faultEvent = track.faultEvent;
    }
    walk.tracks.push_back(chunk);
    offset = track.end;
  }
  return walk;
}

}  // namespace vantrel
