#include "grid/quantize.h"

#include <algorithm>
#include <array>

namespace vantrel {

void Quantizer::quantizePass(const DecodedTrack& in, const NoteSpans& spans, int pass) {
  placed_.clear();
  constexpr std::size_t kNone = SIZE_MAX;
  // The last note of each key: where it starts, and its Note Off in placed_.
  std::array<std::uint64_t, 256> lastStart;
  std::array<std::size_t, 256> lastOff;
  lastOff.fill(kNone);
  std::uint32_t sequence = 0;
  for (std::uint32_t index = in.passBegin[pass]; index < in.passBegin[pass + 1]; ++index) {
    const DecodedEvent& event = in.events[index];
    const std::uint8_t kind = event.status & 0xF0;
    if (pass > 0 && isNoteStart(event)) {
      const std::uint8_t key = event.data1;
      std::uint64_t start = grid_.nearest(event.tick);
      if (lastOff[key] != kNone && start <= lastStart[key]) start = grid_.after(lastStart[key]);
      const std::uint64_t end =
          std::max(grid_.nearest(spans.endTick(in, index)), grid_.after(start));
      // The note before of this key ends where this one starts, at the latest.
      if (lastOff[key] != kNone && placed_[lastOff[key]].tick > start) {
        placed_[lastOff[key]].tick = start;
        placed_[lastOff[key]].event.tick = start;
      }
      DecodedEvent moved = event;
      moved.tick = start;
      placed_.push_back({start, sequence, false, moved});
      const DecodedEvent off{end, kMadeOrder, static_cast<std::uint8_t>(0x80 | (event.status & 0x0F)),
                             key, 0};
      lastOff[key] = placed_.size();
      lastStart[key] = start;
      placed_.push_back({end, sequence++, true, off});
      continue;
    }
    // The file's Note Offs give way to those made for each note.
    if (pass > 0 && (kind == 0x80 || kind == 0x90)) continue;
    DecodedEvent moved = event;
    moved.tick = grid_.nearest(event.tick);
    placed_.push_back({moved.tick, sequence++, false, moved});
  }
  std::sort(placed_.begin(), placed_.end(), [](const Placed& a, const Placed& b) {
    if (a.tick != b.tick) return a.tick < b.tick;
    if (a.noteOff != b.noteOff) return a.noteOff;
    return a.sequence < b.sequence;
  });
}

void Quantizer::quantize(const DecodedTrack& in, const NoteSpans& spans, DecodedTrack& out) {
  // Each pass's events: its own, but a Note Off for each note in place of
  // the file's.
  std::array<std::uint32_t, kPassCount> counts{};
  for (int pass = 0; pass < kPassCount; ++pass) {
    for (std::uint32_t i = in.passBegin[pass]; i < in.passBegin[pass + 1]; ++i) {
      const DecodedEvent& e = in.events[i];
      const std::uint8_t kind = e.status & 0xF0;
      if (pass == 0 || isNoteStart(e)) {
        counts[pass] += pass == 0 ? 1 : 2;
      } else if (kind != 0x80 && kind != 0x90) {
        ++counts[pass];
      }
    }
  }
  out.passBegin[0] = 0;
  for (int p = 0; p < kPassCount; ++p) out.passBegin[p + 1] = out.passBegin[p] + counts[p];
  out.events.resizeForWriting(out.passBegin[kPassCount]);
  out.dataAt.resizeForWriting(in.dataAt.size());
  std::copy(in.dataAt.begin(), in.dataAt.end(), out.dataAt.begin());

  std::uint64_t last = grid_.nearest(in.endTick);
  for (int pass = 0; pass < kPassCount; ++pass) {
    quantizePass(in, spans, pass);
    DecodedEvent* to = out.events.data() + out.passBegin[pass];
    for (const Placed& placed : placed_) *to++ = placed.event;
    if (!placed_.empty()) last = std::max(last, placed_.back().tick);
  }
  // The end of the track follows every event; it stays the last of its pass.
  out.endTick = last;
  out.endOrder = in.endOrder;
  if (out.passBegin[1] > 0) {
    DecodedEvent& lastSystem = out.events[out.passBegin[1] - 1];
    if (lastSystem.order == in.endOrder) lastSystem.tick = last;
  }
}

}  // namespace vantrel
